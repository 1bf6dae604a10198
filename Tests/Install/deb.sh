#!/bin/sh
# The Debian packages as a user and an engineer meet them: unpacked into a throwaway root, with
# their dependencies computed, the menu entry valid and naming the program at /usr, the
# installed program started headless from the root (it must find its bundle and print nothing),
# and the example built against the packaged engine by the guide's recipes.
#
# usage: deb.sh DEB_DIR SOURCE_DIR
set -eu
debs="$(cd "$1" && pwd)"
source="$2"
root="$(mktemp -d /tmp/deb-root-XXXXXX)"
trap 'rm -rf "$root"' EXIT
fail() { echo "deb.sh: $*" >&2; exit 1; }

for package in soundboard soundboard-engine-dev; do
  deb="$(ls "$debs"/${package}_*.deb 2>/dev/null | head -1)"
  [ -n "$deb" ] || fail "no $package package in $debs"
  dpkg-deb -x "$deb" "$root"
  echo "deb.sh: $(basename "$deb"): depends on $(dpkg-deb -f "$deb" Depends)"
done
dpkg-deb -f "$debs"/soundboard_*.deb Depends | grep -q "libsdl2" || fail "soundboard does not depend on SDL"
dpkg-deb -f "$debs"/soundboard-engine-dev_*.deb Depends | grep -q "soundboard (= $(dpkg-deb -f "$debs"/soundboard_*.deb Version))" ||
  fail "the engine's package does not depend on the program's bundle"

entry="$root/usr/share/applications/soundboard.desktop"
desktop-file-validate "$entry"
grep -qx "Exec=/usr/bin/Soundboard" "$entry" || fail "the menu entry names $(grep ^Exec "$entry")"
[ -s "$root/usr/share/icons/hicolor/256x256/apps/soundboard.png" ] || fail "no icon"

status=0
SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy timeout --preserve-status -s TERM 2 \
  "$root/usr/bin/Soundboard" > "$root/printed.txt" 2>&1 || status=$?
if [ "$status" -ne 0 ] || [ -s "$root/printed.txt" ]; then
  cat "$root/printed.txt" >&2
  fail "the installed Soundboard ended with $status"
fi
echo "deb.sh: the installed Soundboard ran headless"
sh "$source/Tests/Install/example.sh" "$source" --prefix "$root/usr"
