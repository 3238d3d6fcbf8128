#!/usr/bin/env bash
# Everything CI checks: installs what is missing, builds with warnings as errors, runs the tests.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh

jobs=$(nproc)
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKT57_WERROR=ON
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs"

# The fuzz targets run side by side for their minute: a smoke test here; long campaigns are
# scripts/test-fuzz.sh's own (FUZZ_SECONDS).
export FUZZ_PARALLEL=${FUZZ_PARALLEL:-1}
for extra in scripts/test-win32.sh scripts/test-packages.sh scripts/test-sanitizers.sh scripts/test-fuzz.sh; do
  if [ -f "$extra" ]; then
    echo "== $extra"
    bash "$extra"
  fi
done
echo "== scripts/soak-desktop.sh (1 minute)"
SOAK_MINUTES=1 bash scripts/soak-desktop.sh
echo "All tests passed."
