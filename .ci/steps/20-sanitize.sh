# The whole test suite, golden listings included, built with AddressSanitizer
# and UndefinedBehaviorSanitizer (no recovery: the first fault fails the test).
# Its test every_format runs each format with --extract on every example,
# golden card file and fuzz input.
set -euo pipefail
CXX=clang++ cmake -S . -B build-asan -DCRDVIEW_SANITIZE=ON -DCRDVIEW_WERROR=ON \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-asan -j 2
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
  CI=true ctest --test-dir build-asan --output-on-failure --no-tests=error -j 2
