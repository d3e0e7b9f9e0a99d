# The README's test command, with warnings as errors: builds the tests and
# runs every one (no test found is an error; CI=true makes a test whose tool
# is missing fail instead of being skipped).
set -euo pipefail
export CI=true
cmake -S . -B build -DCRDVIEW_BUILD_TESTS=ON -DCRDVIEW_WERROR=ON && cmake --build build -j && ctest --test-dir build --output-on-failure --no-tests=error
