# Cross-builds crdview.exe with MinGW-w64 and runs the whole test suite
# against it under Wine, so the Windows program is held to the same bytes.
set -euo pipefail
build=build-mingw
cmake -S . -B "$build" -DCRDVIEW_WERROR=ON \
  --toolchain cmake/toolchain-mingw-w64-x86_64.cmake
cmake --build "$build" -j 2

# Only system DLLs may be imported: the C and C++ runtimes are linked in.
for exe in "$build"/crdview.exe "$build"/tests/crdview_unit_tests.exe; do
  imports=$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p')
  echo "$exe imports: $(echo $imports)"
  if grep -Eqvi '^(kernel32|shell32|msvcrt|ucrtbase|api-ms-win-.*)\.dll$' <<<"$imports"; then
    echo "$exe imports a DLL that Windows does not ship"
    exit 1
  fi
done

# One Wine prefix for the run, and one wineserver with Wine's background
# services kept alive for it, so that each test does not pay Wine's start-up.
# The services are started here, with no inherited output: started by a test,
# they would hold its output pipe open and ctest would wait for them.
export WINEPREFIX="$PWD/$build/wineprefix" WINEDEBUG=-all
cmake/wine-run.sh "$WINEPREFIX" cmd /c exit 0 </dev/null >/dev/null 2>&1
wineserver --wait
wineserver --persistent
trap 'wineserver --kill || true' EXIT
wine cmd /c exit 0 </dev/null >/dev/null 2>&1
CI=true ctest --test-dir "$build" --output-on-failure --no-tests=error -j 2
