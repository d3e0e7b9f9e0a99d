# The web page: builds build-web/crdview.html with Debian's Emscripten (the
# README's command) and checks it in headless Chromium against the crdview
# that step 10 built (CI is set there: a missing browser fails the test).
set -euo pipefail
emcmake cmake -S . -B build-web -DCRDVIEW_WERROR=ON
cmake --build build-web -j 2
python3 tests/web/check_web.py build/crdview build-web/crdview.html . build-web/check
