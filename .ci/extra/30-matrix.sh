#!/usr/bin/env bash
# The build matrix: Debug and Release with GCC 12 and clang 14, the tests built in each and
# run (without the end-to-end window tests, which the main stage runs), and Release for both
# mingw-w64 targets with the Windows test programs built (the Wine stage runs them). Warnings
# are errors here, as in the presets. Build folders persist under build/matrix/, so a
# later run rebuilds only what changed.
#   FPU_MATRIX="gcc-debug clang-release ..." picks entries (default: all six).
set -euo pipefail
cd "$(dirname "$0")/../.."

# The cross compilers (the Wine stage after this one needs them too).
source scripts/lib/apt.sh
apt_install_missing g++-12 clang-14 g++-mingw-w64-i686 g++-mingw-w64-x86-64

entries=${FPU_MATRIX:-gcc-debug gcc-release clang-debug clang-release mingw32-release mingw64-release}
started=$SECONDS
for entry in $entries; do
  dir="build/matrix/$entry"
  args=(-G Ninja -DCMAKE_COMPILE_WARNING_AS_ERROR=ON -DFPU_BUILD_BENCH=OFF)
  case "$entry" in
    gcc-*) args+=(-DCMAKE_CXX_COMPILER=g++-12) ;;
    clang-*) args+=(-DCMAKE_CXX_COMPILER=clang++-14) ;;
    mingw32-*) args+=(--toolchain cmake/toolchains/mingw-i686.cmake -DBUILD_TESTING=ON) ;;
    mingw64-*) args+=(--toolchain cmake/toolchains/mingw-x86_64.cmake -DBUILD_TESTING=ON) ;;
    *) echo "unknown matrix entry $entry" >&2; exit 1 ;;
  esac
  case "$entry" in
    *-debug) args+=(-DCMAKE_BUILD_TYPE=Debug) ;;
    *-release) args+=(-DCMAKE_BUILD_TYPE=Release) ;;
  esac
  echo "== matrix: $entry"
  entry_start=$SECONDS
  cmake -S . -B "$dir" "${args[@]}" >/dev/null
  cmake --build "$dir" -j2
  if [[ "$entry" != mingw* ]]; then
    ctest --test-dir "$dir" -LE e2e -j2 --output-on-failure --no-tests=error >"$dir/ctest.log" ||
      { cat "$dir/ctest.log"; exit 1; }
    tail -n 1 "$dir/ctest.log"
  fi
  echo "== matrix: $entry done in $((SECONDS - entry_start)) s"
done
echo "== matrix: all entries in $((SECONDS - started)) s"
