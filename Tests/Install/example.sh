#!/bin/sh
# The engine as an engineer embedding it meets it: installed (by cmake --install from a build,
# or as the Debian packages left it under a root), the example built out of tree by the two
# recipes of Docs/Engine.md, run as written there, and each build run headless: it must start,
# find its bundle with the pictures' sharper twins (nothing printed) and end cleanly when asked;
# then the example's own test, run by the guide's third recipe, must pass.
#
# usage: example.sh SOURCE_DIR --build BUILD_DIR | --prefix PREFIX
set -eu
source="$(cd "$1" && pwd)"
work="$(mktemp -d /tmp/example-XXXXXX)"
trap 'rm -rf "$work"' EXIT
case "$2" in
  --build) PREFIX="$work/prefix"; cmake --install "$3" --prefix "$PREFIX" > "$work/install.log" ;;
  --prefix) PREFIX="$(cd "$3" && pwd)" ;;
  *) echo "usage: example.sh SOURCE_DIR --build BUILD_DIR | --prefix PREFIX" >&2; exit 2 ;;
esac
export PREFIX

# Runs a build of the example for two seconds; fails on any printed line or a bad exit.
run() {
  [ -e "$(dirname "$1")/Coin1@2x.png" ] || { echo "example.sh: $1 has no @2x pictures" >&2; exit 1; }
  status=0
  SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout --preserve-status -s TERM 2 "$1" > "$work/out.txt" 2>&1 || status=$?
  grep -v "AddressSanitizer\|^$" "$work/out.txt" > "$work/printed.txt" || true
  if [ "$status" -ne 0 ] || [ -s "$work/printed.txt" ]; then
    echo "example.sh: $1 ended with $status and printed:" >&2
    cat "$work/out.txt" >&2
    exit 1
  fi
}

# The guide's sh blocks, in order: the CMake recipe, the pkg-config one, then Hello's test.
awk 'BEGIN {n = 0} /^```sh$/ {n++; on = 1; next} /^```/ {on = 0; next}
     on {print > (dir "/recipe" n ".sh")}' dir="$work" "$source/Docs/Engine.md"
(cd "$work" && sh -e recipe1.sh > cmake.log 2>&1) || { cat "$work/cmake.log" >&2; exit 1; }
run "$work/hello/Hello"
echo "example.sh: built with find_package(SoundboardEngine) as the guide says, and ran"
(cd "$work" && sh -e recipe2.sh > pkg.log 2>&1) || { cat "$work/pkg.log" >&2; exit 1; }
run "$work/hello2/Hello"
echo "example.sh: built with pkg-config as the guide says, and ran"
(cd "$work" && sh -e recipe3.sh > test.log 2>&1) || { cat "$work/test.log" >&2; exit 1; }
grep -q "HelloTest .*Passed" "$work/test.log" || { cat "$work/test.log" >&2; exit 1; }
echo "example.sh: Hello's test built and passed as the guide says"
