#!/usr/bin/env bash
# Cross-builds kt57d.exe, the substitute FTD2XX.dll (whole and without FT_Close), kt57-post.exe,
# kt57-run.exe and kt57-check.exe into build-win32/, and the Linux kt57-run and kt57-check they are
# compared with into build/, then runs tests/platform/win32/wine_test.py under Xvfb in a fresh Wine
# prefix. Screenshots and logs stay in build-win32/wine-test/. Extra arguments go to the test (e.g. -k clicks).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
for tool in x86_64-w64-mingw32-g++ x86_64-w64-mingw32-windres wine xvfb-run import python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "test-win32: '$tool' is missing; scripts/install-deps.sh installs it" >&2
    exit 2
  fi
done
cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
  -DKT57_WERROR=ON >/dev/null
cmake --build build-win32 --target kt57d kt57_ftd2xx_substitute kt57_ftd2xx_incomplete kt57_post kt57-run kt57-check \
  -j "${KT57_JOBS:-$(nproc)}"
if [ ! -f build/CMakeCache.txt ]; then
  cmake -S . -B build -DKT57_WERROR=ON >/dev/null
fi
cmake --build build --target kt57-run kt57-check -j "${KT57_JOBS:-$(nproc)}"
export KT57_NATIVE_TOOLS="$root/build/tools"
results=build-win32/wine-test
rm -rf "$results"
timeout 900 xvfb-run -a -s "-screen 0 1280x1024x24" \
  python3 tests/platform/win32/wine_test.py build-win32/platform/win32 "$results" "$@"
