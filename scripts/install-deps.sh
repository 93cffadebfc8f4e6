#!/usr/bin/env bash
# Installs the Debian packages the project needs, only those not yet installed.
#   install-deps.sh          build and run the program
#   install-deps.sh --test   also everything the tests, benchmarks and fuzzers need
#   install-deps.sh --package  also what scripts/package.sh needs (Debian tools, mingw-w64, NSIS)
#   install-deps.sh --web    the web page's build (Emscripten; acorn for its optimiser)
#   install-deps.sh --web-test  also headless Chromium and what drives it
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libsdl2-dev libsdl2-ttf-dev libfontconfig1-dev libx11-dev libpng-dev
  scdoc fonts-dejavu-core)
case "${1:-}" in
  --web) packages=(cmake ninja-build emscripten node-acorn) ;;
  --web-test) packages=(cmake ninja-build emscripten node-acorn chromium chromium-driver python3-selenium imagemagick) ;;
esac
if [[ "${1:-}" == "--test" ]]; then
  # libclang-rt-14-dev: the sanitizer and libFuzzer runtimes clang needs (only recommended by it).
  # time and python3: the replay tool's hostile-input test measures memory with /usr/bin/time
  # and writes its largest scripts with python3 (neither is in a minimal Debian). openbox,
  # wmctrl and x11-utils: the viewer's placement beside a window a window manager moved.
  # xclip: reads the selections the viewer offers. libgif-dev: giflib decodes the GIFs our own
  # encoder writes, as a check from outside.
  packages+=(libgif-dev clang libclang-rt-14-dev libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool xclip
    x11-apps x11-utils openbox wmctrl imagemagick time python3 desktop-file-utils man-db)
fi
if [[ "${1:-}" == "--package" ]]; then
  packages+=(dpkg-dev file g++-mingw-w64-i686 g++-mingw-w64-x86-64 nsis)
fi

# shellcheck source=lib/apt.sh
source "$(dirname "$0")/lib/apt.sh"
apt_install_missing "${packages[@]}"
