#!/usr/bin/env bash
# The native Windows build: both mingw-w64 targets (32- and 64-bit), then the Wine tests
# (tests/wine/*.sh) against each, on an Xvfb display and a fresh Wine prefix of this run.
set -euo pipefail
cd "$(dirname "$0")/../.."

source scripts/lib/apt.sh
source scripts/lib/xvfb.sh
source scripts/lib/wine.sh
# openbox: the viewer scenario runs under a window manager.
apt_install_missing cmake ninja-build g++ g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 \
  fonts-wine xvfb xauth xdotool x11-utils imagemagick python3 nsis icoutils openbox
# wine32 (needed to run the 32-bit build) comes from the i386 archive, apart: a mirror whose
# i386 index is caught mid-sync cannot give it, and the 64-bit build's tests need none of it.
# Without it the 32-bit runs are skipped below, visibly.
if ! apt_install_missing wine32:i386; then
  echo "SKIPPED: installing wine32:i386 failed (see apt's message above);" \
    "the 32-bit build is still built, its Wine runs are skipped"
fi

# The GDI comparison and the differential run the same scripts through the Linux replay
# tool (the differential also through its variant with Wine's far-line rule); the Windows
# programs and their installers carry the icon the Linux build renders.
if [[ ! -x build/default/fpu-sample-replay ||
      ! -x build/default/tests/parity/fpu-parity-replay-wine-lines ||
      ! -f build/default/tools/icon/fpu-sample.ico ]]; then
  cmake --preset default >/dev/null
  cmake --build --preset default --target fpu-sample-replay fpu-parity-replay-wine-lines fpu_icons
fi
for preset in mingw32 mingw64; do
  cmake --preset "$preset" -DFPU_WINDOWS_ICON="$PWD/build/default/tools/icon/fpu-sample.ico" \
    >/dev/null
  cmake --build --preset "$preset"
done

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

# Both builds run under Wine where this machine runs 32-bit programs; elsewhere the 32-bit
# build is built above, and its runs are skipped, visibly.
run_presets=(mingw32 mingw64)
if ! wine_runs_32bit; then
  run_presets=(mingw64)
  echo "SKIPPED: the 32-bit build's Wine tests: this machine runs no 32-bit programs" \
    "(Wine's 32-bit loader fails: $(/usr/lib/wine/wine --version 2>&1 | tail -n 1))"
fi

failed=()
for preset in "${run_presets[@]}"; do
  for test in tests/wine/*.sh; do
    echo "== ${test} (${preset})"
    FPU_WIN_BUILD="build/${preset}" FPU_LINUX_REPLAY=build/default/fpu-sample-replay \
      timeout 300 bash "$test" || failed+=("${test} (${preset})")
  done
done
# The three builds on generated scripts: JSON and frames must agree (2-4 minutes).
echo "== tests/parity/run-differential.sh"
FPU_LINUX_REPLAY=build/default/fpu-sample-replay FPU_WIN_BUILDS="${run_presets[*]/#/build/}" \
  timeout 600 bash tests/parity/run-differential.sh --count 24 --seed 16 --jobs 2 ||
  failed+=("tests/parity/run-differential.sh")
if [[ ${#failed[@]} -gt 0 ]]; then
  printf 'failed: %s\n' "${failed[@]}" >&2
  exit 1
fi
echo "all Wine tests passed on ${run_presets[*]}"
