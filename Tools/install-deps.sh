#!/bin/sh
# Installs, from Debian's packages, whatever the build, the program and the tests need and the
# machine lacks. Uses sudo when not run as root. Does nothing when all is there.
set -e

packages="cmake make g++ pkg-config libsdl2-dev libsdl2-image-dev libsdl2-ttf-dev
libspng-dev libsndfile1-dev libsamplerate0-dev fonts-dejavu-core libgtest-dev libbenchmark-dev
clang libclang-rt-dev xvfb xdotool imagemagick libsdl2-mixer-dev pulseaudio pulseaudio-utils desktop-file-utils
emscripten node-acorn chromium webkit2gtk-driver gstreamer1.0-plugins-base gstreamer1.0-plugins-good"

# Node.js and npm run the browser's build and tests; a machine's own newer ones are kept.
command -v node >/dev/null 2>&1 || packages="$packages nodejs"
command -v npm >/dev/null 2>&1 || packages="$packages npm"

missing=""
for p in $packages; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  sudo=""
elif command -v sudo >/dev/null 2>&1; then
  sudo="sudo"
else
  echo "Missing packages:$missing. Install them as root: apt-get install$missing" >&2
  exit 1
fi
echo "Installing:$missing"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq $missing
