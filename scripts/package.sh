#!/usr/bin/env bash
# Makes the packages into dist/: the Debian package (from a release build of its own), the
# Windows archive holding the 32-bit and the 64-bit programs with their viewers, and an
# installer of each (fpu-sample-VERSION-win32-setup.exe, -win64-).
#   scripts/package.sh [--deb-only]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/install-deps.sh --package
mkdir -p dist

# A build folder of its own, without tests or benchmarks: it needs only what the programs
# need, and leaves the developer's build/default as it is.
cmake --preset default -B build/package -DBUILD_TESTING=OFF -DFPU_BUILD_BENCH=OFF >/dev/null
cmake --build build/package -j2
(cd build/package && cpack -G DEB -B "$root/dist" >/dev/null)
rm -rf dist/_CPack_Packages
[[ "${1:-}" == "--deb-only" ]] && { ls dist/*.deb; exit 0; }

# The Windows programs carry the icon the Linux build made.
for preset in mingw32 mingw64; do
  cmake --preset "$preset" -DFPU_WINDOWS_ICON="$root/build/package/tools/icon/fpu-sample.ico" >/dev/null
  cmake --build --preset "$preset" -j2
done
# One archive from both builds: each installs into its own folder inside it.
(cd build/mingw64 && cpack -G ZIP -B "$root/dist" \
  -D "CPACK_INSTALL_CMAKE_PROJECTS=$root/build/mingw32;fpu_sample;ALL;/32-bit;$root/build/mingw64;fpu_sample;ALL;/64-bit" \
  >/dev/null)
for preset in mingw32 mingw64; do
  (cd "build/$preset" && cpack -G NSIS -B "$root/dist" >/dev/null)
done
rm -rf dist/_CPack_Packages
ls dist/*.deb dist/*.zip dist/*-setup.exe
