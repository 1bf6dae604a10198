#!/bin/sh
# The desktop's sound through PipeWire, as its users hear it: touch to sound, the period the
# server runs at, its underruns, SDL2_mixer through the same server, and how long the sound
# breaks when its device goes. Run inside Benchmarks/with-pipewire.sh; prints `name value`.
#
# usage: Benchmarks/pipewire-figures.sh BIN_DIR
set -u
bin="$1"
export SDL_AUDIODRIVER=pipewire
work="$(mktemp -d /tmp/pipewire-figures-XXXXXX)"
trap 'rm -rf "$work"' EXIT

"$bin/LatencyBench" touch 200 pipewire_ 500 | grep -E "p50|p99"
"$bin/MixerLatencyBench" "$bin" 2048 200 pipewire_sdl_mixer_ | grep -E "p99"
"$bin/MixerLatencyBench" "$bin" 256 200 pipewire_sdl_mixer_tuned_ | grep -E "p99"

# Underruns as pw-top counts them (ERR): each period the server's profiler reports a stream
# that had not finished when the period ended. One minute of presses, at the period the program
# asks for, then at the shorter ones it could ask for (PIPEWIRE_LATENCY overrides its request).
underruns() {  # NAME [PIPEWIRE_LATENCY]
  # In the work folder: the profiler also leaves its plots where it runs.
  (cd "$work" && exec timeout 63 pw-profiler -o profile.txt) >/dev/null 2>&1 &
  profiler=$!
  sleep 1
  if [ -n "${2:-}" ]; then
    PIPEWIRE_LATENCY="$2" "$bin/LatencyBench" play 60
  else
    "$bin/LatencyBench" play 60
  fi
  wait $profiler
  # Per line: the driver's 4 columns, then 8 per stream, its status 7th (3: finished).
  awk -v name="$1" '{ q = $4; for (i = 5; i + 7 <= NF; i += 8) if ($(i + 6) != 3) n++ }
    END { printf "%s_underruns_60s %d\n%s_quantum_frames %d\n", name, n, name, q * 48000 / 1e6 + 0.5 }' \
    "$work/profile.txt"
}
underruns pipewire
underruns pipewire_256 256/48000 | grep underruns
underruns pipewire_512 512/48000 | grep underruns

# The default sink removed while Coin plays every 250 ms, with another one there: the server
# moves the stream to it, or SDL reports the device gone and the program opens the new default.
sink=$(pw-cli ls Node | awk '$1 == "id" {id = $2} $1 == "node.name" && $3 == "\"bench\"" {print id + 0}')
"$bin/LatencyBench" play 8 pipewire_switch_ "pw-cli destroy $sink > /dev/null" |
  sed 's/^pipewire_switch_device_switch_ms/device_switch_ms/'
