#!/bin/sh
# The soak: one simulated hour (108,000 ticks) of random presses through the replay tool, its
# sound streamed to /dev/null, and resident memory after the first frame and at the end. Fails
# when memory grew by more than 10 %.
#
# usage: Tests/Soak/soak.sh REPLAY OUTPUT_DIR [SEED]
set -e
replay="$1"
out="$2"
seed="${3:-1}"
mkdir -p "$out"
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy "$replay" --ticks 108000 --random-presses "$seed" \
  --wav /dev/null --memory "$out/memory.txt"
start=$(awk '/rss_start_kb/ {print $2}' "$out/memory.txt")
end=$(awk '/rss_end_kb/ {print $2}' "$out/memory.txt")
growth=$(awk -v s="$start" -v e="$end" 'BEGIN {printf "%.1f", 100 * (e - s) / s}')
echo "soak: one hour of presses, resident memory $start KiB after the first frame, $end KiB at the end ($growth %)"
awk -v s="$start" -v e="$end" 'BEGIN {exit !(e <= s * 1.10)}' || {
  echo "soak: resident memory grew by more than 10 %" >&2
  exit 1
}
