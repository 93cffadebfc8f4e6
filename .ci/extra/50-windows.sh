#!/usr/bin/env bash
# The native Windows build: both mingw-w64 targets (32- and 64-bit), then the Wine tests
# (tests/wine/*.sh) against each, on an Xvfb display and a fresh Wine prefix of this run.
set -euo pipefail
cd "$(dirname "$0")/../.."

source scripts/lib/apt.sh
source scripts/lib/xvfb.sh
source scripts/lib/wine.sh
# wine32 (needed by the 32-bit build, and by Wine's own start-up) comes from the i386 archive.
apt_install_missing cmake ninja-build g++ g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 \
  wine32:i386 fonts-wine xvfb xauth xdotool x11-utils imagemagick python3

for preset in mingw32 mingw64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
# The GDI comparison and the differential run the same scripts through the Linux replay
# tool (the differential also through its variant with Wine's far-line rule).
if [[ ! -x build/default/fpu-sample-replay ||
      ! -x build/default/tests/parity/fpu-parity-replay-wine-lines ]]; then
  cmake --preset default >/dev/null
  cmake --build --preset default --target fpu-sample-replay fpu-parity-replay-wine-lines
fi

state=$(mktemp -d)
cleanup() {
  stop_wine_prefix
  stop_xvfb
  rm -rf "$state"
}
trap cleanup EXIT

start_xvfb
# The prefix is made only now that wine32 is installed (one made before fails to load
# kernel32).
start_wine_prefix "$state/prefix" 600

failed=()
for preset in mingw32 mingw64; do
  for test in tests/wine/*.sh; do
    echo "== ${test} (${preset})"
    FPU_WIN_BUILD="build/${preset}" FPU_LINUX_REPLAY=build/default/fpu-sample-replay \
      timeout 300 bash "$test" || failed+=("${test} (${preset})")
  done
done
# The three builds on generated scripts: JSON and frames must agree (2-4 minutes).
echo "== tests/parity/run-differential.sh"
FPU_LINUX_REPLAY=build/default/fpu-sample-replay FPU_WIN_BUILDS="build/mingw32 build/mingw64" \
  timeout 600 bash tests/parity/run-differential.sh --count 24 --seed 16 --jobs 2 ||
  failed+=("tests/parity/run-differential.sh")
if [[ ${#failed[@]} -gt 0 ]]; then
  printf 'failed: %s\n' "${failed[@]}" >&2
  exit 1
fi
echo "all Wine tests passed on both builds"
