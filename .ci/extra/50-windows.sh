#!/usr/bin/env bash
# The native Windows build: both mingw-w64 targets (32- and 64-bit), then the Wine tests
# (tests/wine/*.sh) against each, on an Xvfb display and a fresh Wine prefix of this run.
set -euo pipefail
cd "$(dirname "$0")/../.."

sudo=""
[[ "$(id -u)" -eq 0 ]] || sudo="sudo"
packages=(cmake ninja-build g++ g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386
  fonts-wine xvfb xauth xdotool x11-utils imagemagick python3 nsis icoutils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  # wine32 (needed by the 32-bit build, and by Wine's own start-up) comes from the i386 archive.
  dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
  $sudo apt-get update -q
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
    "${missing[@]}"
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
export WINEPREFIX="$state/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid=""
cleanup() {
  wineserver -k 2>/dev/null || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$state"
}
trap cleanup EXIT

# A display of our own: the first free number from 97.
display=97
while [[ -e "/tmp/.X${display}-lock" ]]; do display=$((display + 1)); done
Xvfb ":${display}" -screen 0 1920x1080x24 -noreset -nolisten tcp >"$state/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=":${display}"
for _ in $(seq 50); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.1
done
xdpyinfo >/dev/null 2>&1 || { cat "$state/xvfb.log"; exit 1; }

# The prefix is made only now that wine32 is installed (one made before fails to load
# kernel32). Unmanaged windows: without a window manager Wine otherwise stalls 2 s on
# every window hide or destroy. A persistent wineserver makes each later start quick.
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
wineserver -w
wineserver -p 600

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
