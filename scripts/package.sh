#!/usr/bin/env bash
# Builds the three packages into dist/: the Debian package kt57d_<version>_amd64.deb (in
# build-package/, with Debian's hardening flags), the Windows installer kt57d-<version>-setup.exe
# and the portable kt57d-<version>-win64.zip (cross-built in build-win32/, as the Wine test does).
# The version comes from project() in CMakeLists.txt. Usage: scripts/package.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
for tool in cmake cpack dpkg-buildflags dpkg-shlibdeps x86_64-w64-mingw32-g++ makensis; do
  if ! command -v "$tool" >/dev/null; then
    echo "package: '$tool' is missing; scripts/install-deps.sh installs it" >&2
    exit 2
  fi
done
jobs=$(nproc)
rm -f dist/kt57d_*.deb dist/kt57d-*-setup.exe dist/kt57d-*-win64.zip

echo "== Debian package"
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# Only the packaged programs are built: cpack is told not to build everything (the tests) first.
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
  -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)" \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build build-package -j "$jobs" --target kt57d kt57-board kt57-run kt57-check kt57-ctl kt57_package_files
(cd build-package && cpack -G DEB)

echo "== Windows installer and zip"
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DKT57_WERROR=ON >/dev/null
cmake --build build-win32 -j "$jobs" --target kt57_windows_packages

ls -l dist/
