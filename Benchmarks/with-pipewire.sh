#!/bin/sh
# Runs a command beside a PipeWire of its own: a private runtime folder and session bus, the
# daemon and its session manager (WirePlumber), and two null sinks, "bench" (the default) and
# "spare"; all of it stopped when the command ends, whatever happens. The command sees
# PIPEWIRE_RUNTIME_DIR and finds the sinks by name (pw-cli ls Node).
#
# usage: Benchmarks/with-pipewire.sh COMMAND [ARGS]
set -u
if [ -z "${WITH_PIPEWIRE_BUS:-}" ]; then  # first, a session bus of its own
  WITH_PIPEWIRE_BUS=1 exec dbus-run-session -- "$0" "$@"
fi
runtime="$(mktemp -d /tmp/pipewire-XXXXXX)"
export XDG_RUNTIME_DIR="$runtime" PIPEWIRE_RUNTIME_DIR="$runtime"
export XDG_CONFIG_HOME="$runtime/config" XDG_STATE_HOME="$runtime/state"
servers=""  # by pid: inside a trap's $(...), sh may list no jobs
trap 'kill $servers 2>/dev/null; wait; rm -rf "$runtime"' EXIT
trap 'exit 1' INT TERM
pipewire > "$runtime/pipewire.log" 2>&1 &
servers="$!"
for i in $(seq 50); do pw-cli info 0 >/dev/null 2>&1 && break; sleep 0.1; done
wireplumber > "$runtime/wireplumber.log" 2>&1 &
servers="$servers $!"
sink() {  # NAME PRIORITY
  pw-cli create-node adapter "{ factory.name=support.null-audio-sink node.name=$1
    media.class=Audio/Sink object.linger=true audio.position=[FL FR] audio.rate=48000
    priority.session=$2 priority.driver=$2 }" >/dev/null
}
sink bench 2000
sink spare 1000
for i in $(seq 50); do
  wpctl inspect @DEFAULT_AUDIO_SINK@ 2>/dev/null | grep -q 'node.name = "bench"' && break
  sleep 0.1
done
if ! wpctl inspect @DEFAULT_AUDIO_SINK@ 2>/dev/null | grep -q 'node.name = "bench"'; then
  echo "with-pipewire.sh: no PipeWire could start here" >&2
  exit 1
fi
"$@"
