#!/bin/sh
# Every figure of what a user feels, each beside its competitor measured the same way in the
# same run: one `name value` line per figure (the unit in the name), then a table to read.
# Asserts nothing: these machines are shared and noisy, so read the ratios.
#
# usage: Benchmarks/bench.sh BIN_DIR [WEB_SITE_DIR]   (make bench)
set -u
bin="$(cd "$1" && pwd)"
site="${2:-}"
work="$(mktemp -d /tmp/bench-XXXXXX)"
figures="$work/figures.txt"
servers=""  # by pid: inside a trap's $(...), sh may list no jobs
trap 'kill $servers 2>/dev/null; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
: > "$figures"
say() { tee -a "$figures"; }

# CPU time over wall time of a process, in percent of one core, from the kernel's own counts,
# over SECONDS after a second of warming up.
cpu_percent() {  # PID SECONDS NAME
  sleep 1
  t0=$(awk '{print $14 + $15}' /proc/$1/stat); s0=$(date +%s.%N)
  sleep "$2"
  t1=$(awk '{print $14 + $15}' /proc/$1/stat); s1=$(date +%s.%N)
  awk -v a="$t0" -v b="$t1" -v s="$s0" -v e="$s1" -v hz="$(getconf CLK_TCK)" -v n="$3" \
    'BEGIN {printf "%s %.3f\n", n, 100 * (b - a) / hz / (e - s)}'
}

echo "# machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo), $(uname -r), load $(cut -d' ' -f1-3 /proc/loadavg)" | say

# --- Scale: the tables and the mixer at their limits ------------------------------------------
"$bin/Benchmarks" 2>/dev/null | say

# --- Clock ------------------------------------------------------------------------------------
"$bin/LatencyBench" clock 10 | say

# --- Touch to sound and to screen, SDL's device (dummy driver: no sound card here) ------------
export SDL_AUDIODRIVER=dummy
"$bin/LatencyBench" touch 200 | grep -v first_buffer | grep -v start_stall | say
"$bin/MixerLatencyBench" "$bin" 2048 200 sdl_mixer_ | grep -E "p99|period" | say
"$bin/MixerLatencyBench" "$bin" 256 200 sdl_mixer_tuned_ | grep -E "p99" | say
unset SDL_AUDIODRIVER

# --- What a desktop hears: PipeWire, with null sinks, started here and stopped after ----------
"$(dirname "$0")/with-pipewire.sh" "$(dirname "$0")/pipewire-figures.sh" "$bin" 2>/dev/null | say ||
  echo "# no PipeWire could start here" | say

# --- A real audio server: PulseAudio with a null sink, started here and stopped after ---------
pulse="$work/pulse"
mkdir -p "$pulse"
export PULSE_RUNTIME_PATH="$pulse" PULSE_STATE_PATH="$pulse" PULSE_SERVER="unix:$pulse/native"
HOME="$pulse" pulseaudio -n --daemonize=no --exit-idle-time=-1 --log-time=1 -vvvv \
  --log-target="file:$pulse/log.txt" --load="module-null-sink sink_name=bench rate=48000" \
  --load="module-native-protocol-unix auth-anonymous=1 socket=$pulse/native" 2>/dev/null &
pulse_server=$!
servers="$servers $pulse_server"
for i in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
if pactl info >/dev/null 2>&1; then
  # The null sink sleeps through its first two-second block before it hears a new stream:
  # presses start after that, and the stall is a figure of its own.
  SDL_AUDIODRIVER=pulseaudio "$bin/LatencyBench" touch 200 pulse_ 2500 | grep -E "p99|stall" | say
  : > "$pulse/log.txt"
  SDL_AUDIODRIVER=pulseaudio "$bin/LatencyBench" play 62 &
  player=$!
  sleep 5
  pactl list sink-inputs | awk '/Buffer Latency/ {b = $3} /Sink Latency/ {s = $3}
    END {printf "pulse_server_latency_ms %.3f\n", (b + s) / 1000}' | say
  wait $player
  # Underruns while it played, not the one at the stream's own end.
  awk '/Implicit underrun/ {gsub(/[()|]/, " "); t[++n] = $1}
       /Freeing input/ {gsub(/[()|]/, " "); end = $1}
       END {c = 0; for (i = 1; i <= n; i++) if (t[i] < end - 0.5) c++; printf "pulse_underruns_60s %d\n", c}' \
    "$pulse/log.txt" | say
else
  echo "# no PulseAudio server could start here" | say
fi
kill $pulse_server 2>/dev/null
unset PULSE_RUNTIME_PATH PULSE_STATE_PATH PULSE_SERVER

# --- Sound at the ear in a browser: headless Chromium, the page on loopback -------------------
if [ -n "$site" ]; then
  node "$(dirname "$0")/web-latency.mjs" "$site" "$bin" 200 | say
fi

# --- A phone's first visit and its second, over slow 4G, its CPU four times slower ----------
if [ -n "$site" ]; then
  node "$(dirname "$0")/web-firstvisit.mjs" "$site" | say
  node "$(dirname "$0")/clip-format.mjs" "$site" "$bin" | say
  CHROME_PATH=/usr/bin/chromium node "$(dirname "$0")/lighthouse.mjs" "$site" 2>/dev/null | say
fi

# --- What a finger and a screen reader meet: targets, contrast, axe-core ----------------------
if [ -n "$site" ]; then
  node "$(dirname "$0")/web-a11y.mjs" "$site" | say
fi

# --- Start-up and memory, headless ---------------------------------------------------------
for i in 1 2 3; do "$bin/StartupBench" "" "$bin/Soundboard"; done > "$work/startup.txt"
for i in 1 2 3; do "$bin/StartupBench" bare_ "$bin/BareSDL" once 320x460; done >> "$work/startup.txt"
for name in startup_ms peak_rss_mb bare_startup_ms bare_peak_rss_mb; do  # the median of three
  echo "$name $(awk -v n="$name" '$1 == n {print $2}' "$work/startup.txt" | sort -n | sed -n 2p)"
done > "$work/startup-median.txt"
say < "$work/startup-median.txt"
awk '/^startup_ms/ {s = $2} /^bare_startup_ms/ {b = $2} END {printf "startup_ratio %.3f\n", s / b}' \
  "$work/startup-median.txt" | say

# --- Idle cost in a real X window, on Xvfb ----------------------------------------------------
exec 5> "$work/display"
Xvfb -displayfd 5 -screen 0 1920x1080x24 -nolisten tcp 2>/dev/null &
xserver=$!
servers="$servers $xserver"
for i in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")" SDL_AUDIODRIVER=dummy
idle() {  # NAME WIDTHxHEIGHT PROGRAM [ARGS]
  name=$1 size=$2; shift 2
  "$@" >/dev/null 2>&1 &
  pid=$!
  window=$(timeout 10 xdotool search --sync --onlyvisible --pid $pid 2>/dev/null | head -1)
  [ -n "$window" ] && xdotool windowsize "$window" "${size%x*}" "${size#*x}"
  cpu_percent $pid 10 "$name" | say
  kill $pid; wait $pid 2>/dev/null
}
idle idle_cpu_percent 640x920 "$bin/Soundboard"
idle floor_idle_cpu_percent 640x920 "$bin/BareSDL" sprite 640x920
idle bare_idle_cpu_percent 640x920 "$bin/BareSDL" whole 640x920
idle idle_cpu_percent_1080p 1920x1080 "$bin/Soundboard"
kill $xserver 2>/dev/null

# --- The table ---------------------------------------------------------------------------------
awk '
  {v[$1] = $2}
  function row(what, ours, theirs, them) {
    printf "%-34s %12s   %-28s %s\n", what, (ours in v ? v[ours] : "-"), them, (theirs in v ? v[theirs] : "-")
  }
  END {
    print ""
    printf "%-34s %12s   %-28s %s\n", "figure", "soundboard", "competitor", "value"
    row("PipeWire: touch to sound p50, ms", "pipewire_touch_to_sound_p50_ms", "", "")
    row("PipeWire: touch to sound p99, ms", "pipewire_touch_to_sound_p99_ms", "pipewire_sdl_mixer_touch_to_sound_p99_ms", "SDL2_mixer, chunk 2048")
    row("", "", "pipewire_sdl_mixer_tuned_touch_to_sound_p99_ms", "SDL2_mixer, chunk 256")
    row("PipeWire: period (quantum), frames", "pipewire_quantum_frames", "", "")
    row("PipeWire: underruns in 60 s", "pipewire_underruns_60s", "pipewire_256_underruns_60s", "ours at 256 frames")
    row("", "", "pipewire_512_underruns_60s", "ours at 512 frames")
    row("PipeWire: device switch, ms", "device_switch_ms", "pipewire_switch_longest_silence_ms", "longest silence")
    row("PipeWire: presses heard after it", "pipewire_switch_presses_heard_after", "", "")
    row("touch to sound p99, dummy device, ms", "touch_to_sound_p99_ms", "sdl_mixer_touch_to_sound_p99_ms", "SDL2_mixer, chunk 2048")
    row("", "", "sdl_mixer_tuned_touch_to_sound_p99_ms", "SDL2_mixer, chunk 256")
    row("audio period, dummy device, ms", "audio_period_ms", "sdl_mixer_audio_period_ms", "SDL2_mixer, chunk 2048")
    row("touch to sound p99 on PulseAudio, ms", "pulse_touch_to_sound_p99_ms", "pulse_server_latency_ms", "server latency of our stream")
    row("PulseAudio underruns in 60 s", "pulse_underruns_60s", "", "")
    row("browser: touch to audible p50, ms", "web_touch_to_audible_p50_ms", "web_bare_touch_to_audible_p50_ms", "bare AudioBufferSourceNode page")
    row("", "", "web_script_touch_to_audible_p50_ms", "our page, script processor")
    row("browser: touch to audible p99, ms", "web_touch_to_audible_p99_ms", "web_bare_touch_to_audible_p99_ms", "bare AudioBufferSourceNode page")
    row("", "", "web_script_touch_to_audible_p99_ms", "our page, script processor")
    row("browser: glitches in 5 s, idle", "web_idle_glitches", "web_bare_idle_glitches", "bare AudioBufferSourceNode page")
    row("", "", "web_script_idle_glitches", "our page, script processor")
    row("browser: glitches in 5 s, busy", "web_busy_glitches", "web_bare_busy_glitches", "bare AudioBufferSourceNode page")
    row("", "", "web_script_busy_glitches", "our page, script processor")
    row("browser: event to listener p50, ms", "web_event_wait_p50_ms", "web_bare_event_wait_p50_ms", "bare AudioBufferSourceNode page")
    row("browser: base / output latency, ms", "web_base_latency_ms", "web_output_latency_ms", "output latency")
    row("slow 4G: board on screen (filmstrip), ms", "web_slow4g_first_frame_ms", "web_slow4g_page_first_frame_ms", "the page's own count")
    row("slow 4G: every clip playable, ms", "web_slow4g_all_clips_ms", "", "")
    row("first visit: bytes / requests", "web_first_visit_bytes", "web_first_visit_requests", "requests")
    row("first visit: files sent twice", "web_first_visit_files_sent_twice", "", "")
    row("press at the first frame to audible, ms", "web_early_press_to_audible_ms", "", "")
    row("cached visit: board on screen, ms", "web_first_frame_cached_ms", "web_page_first_frame_cached_ms", "the program's own first frame")
    row("clips: bytes sent / WAV bytes", "web_clip_bytes", "web_clip_wav_bytes", "the bundle's WAVs")
    row("clips: SNR against the WAV, dB", "web_clip_snr_db_mean", "web_clip_snr_db_min", "the least")
    row("Lighthouse mobile: performance", "lighthouse_performance", "lighthouse_accessibility", "accessibility")
    row("", "", "lighthouse_best_practices", "best practices")
    row("", "", "lighthouse_seo", "SEO")
    row("axe-core violations", "axe_violations", "", "")
    row("smallest control, CSS px (390 wide)", "web_target_min_height_css_px", "web_target_min_width_css_px", "its width")
    row("controls under 24 px (WCAG 2.2)", "web_targets_under_24_css_px", "web_targets_under_44_css_px", "under 44 px (Apple)")
    row("text contrast, least, : 1", "web_text_contrast_min", "", "")
    row("touch to screen p99, ms", "touch_to_screen_p99_ms", "", "")
    row("tick lateness p99, ms", "tick_late_p99_ms", "", "")
    row("drift after 300 ticks, ms", "drift_ms", "naive_drift_ms", "a SDL_Delay(33) loop")
    row("idle CPU, % of a core, 640x920", "idle_cpu_percent", "floor_idle_cpu_percent", "bare SDL, changed rects only")
    row("", "", "bare_idle_cpu_percent", "bare SDL, whole window")
    row("idle CPU at 1920x1080, %", "idle_cpu_percent_1080p", "", "")
    row("start-up to first frame, ms", "startup_ms", "bare_startup_ms", "bare SDL window, one present")
    row("peak resident memory, MB", "peak_rss_mb", "bare_peak_rss_mb", "bare SDL window, one present")
  }' "$figures"
