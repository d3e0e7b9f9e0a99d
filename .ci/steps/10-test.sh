# The README's test command: build with warnings as errors, run every test.
set -euo pipefail
cmake -S . -B build -DCRDVIEW_WERROR=ON
cmake --build build -j "$(nproc)"
ctest --test-dir build --output-on-failure -j "$(nproc)"
