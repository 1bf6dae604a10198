#!/bin/sh
# The engine as an engineer embedding it meets it: installed into a prefix of its own, the
# example program built out of tree against it, through its CMake package and through
# pkg-config, and each build run headless: it must start, find its bundle (nothing printed)
# and end cleanly when asked to.
#
# usage: example.sh BUILD_DIR SOURCE_DIR
set -eu
build="$1"
source="$2"
work="$(mktemp -d /tmp/example-XXXXXX)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" > "$work/install.log"

# Runs a build of the example for two seconds; fails on any printed line or a bad exit.
run() {
  status=0
  SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout --preserve-status -s TERM 2 "$1" > "$work/out.txt" 2>&1 || status=$?
  grep -v "AddressSanitizer\|^$" "$work/out.txt" > "$work/printed.txt" || true
  if [ "$status" -ne 0 ] || [ -s "$work/printed.txt" ]; then
    echo "example.sh: $1 ended with $status and printed:" >&2
    cat "$work/out.txt" >&2
    exit 1
  fi
}

cmake -S "$source/Examples" -B "$work/cmake" -DCMAKE_PREFIX_PATH="$prefix" > "$work/cmake.log"
cmake --build "$work/cmake" > "$work/cmake-build.log"
run "$work/cmake/Hello"
echo "example.sh: built with find_package(SoundboardEngine) and ran"

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
mkdir -p "$work/pkg/Images"
c++ -std=c++20 "$source/Examples/Hello.cpp" -o "$work/pkg/Hello" $(pkg-config --cflags --libs soundboard-engine)
data="$(pkg-config --variable=datadir soundboard-engine)"
for file in Background.png Pindle.png Coin1.png Coin2.png Jump1.png Jump2.png Coin.wav Icon.png Images/EmptyRed.png; do
  cp "$data/$file" "$work/pkg/$file"
done
run "$work/pkg/Hello"
echo "example.sh: built with pkg-config and ran"
