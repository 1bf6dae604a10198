#!/bin/sh
# Installs, from Debian's packages, what the named parts of the work need and the machine lacks.
# Uses sudo when not run as root. Does nothing when all is there.
#
# usage: Tools/install-deps.sh GROUP...
#   run    build the desktop program and run it (make run, make release, make demo)
#   test   every test: all the groups below (make test)
#   web    build for the browser (make web)
#   browse drive browsers for the web's tests and figures (make web-test)
#   bench  the benchmarks and the sound servers they measure (make bench)
#   fuzz   the fuzzers (make fuzz)
#   deb    build and check the Debian packages (make deb)
set -e

group() {
  case "$1" in
    run) echo "cmake make g++ pkg-config libsdl2-dev libsdl2-ttf-dev libspng-dev libsndfile1-dev
              libsamplerate0-dev fonts-dejavu-core" ;;
    test) for g in run native web browse fuzz deb; do group $g; done ;;
    native) echo "libsdl2-image-dev libgtest-dev libbenchmark-dev libsdl2-mixer-dev xvfb xdotool
                  imagemagick desktop-file-utils" ;;
    web) group run; echo "emscripten node-acorn webp lame" ;;
    browse) group web; echo "chromium webkit2gtk-driver gstreamer1.0-plugins-base
                             gstreamer1.0-plugins-good pulseaudio pulseaudio-utils" ;;
    bench) group native; group browse; echo "pipewire pipewire-bin wireplumber dbus
                                            dbus-user-session" ;;
    fuzz) echo "cmake make pkg-config clang libclang-rt-dev libspng-dev libsndfile1-dev
                libsamplerate0-dev" ;;
    deb) group run; echo "dpkg-dev file lintian" ;;
    *) echo "install-deps.sh: no group \"$1\" (run test web browse bench fuzz deb)" >&2; exit 2 ;;
  esac
}

packages=""
for g in "$@"; do packages="$packages $(group "$g")"; done
# Node.js and npm run the browser's build and tests; a machine's own newer ones are kept.
if echo "$packages" | grep -q emscripten; then
  command -v node >/dev/null 2>&1 || packages="$packages nodejs"
  command -v npm >/dev/null 2>&1 || packages="$packages npm"
fi

missing=""
for p in $(echo $packages | tr ' ' '\n' | sort -u); do
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
