# Lints the manual page, builds the .deb, installs it into the system, runs
# the installed crdview on an example and removes the package again; then
# builds the Windows .zip from the MinGW build of step 40. Both hold the web
# page that step 45 built (build-web/crdview.html).
set -euo pipefail
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# The manual page: no warnings from mandoc, nor from groff in the UTF-8 and
# the ASCII device (which man uses in a C or POSIX locale). (mandoc's style
# notes are not asked for: one is that .Os names its system, which the page
# does, so that groff does not print "BSD" in its footer.)
mandoc -T lint -W warning man/crdview.1
test -z "$(groff -Tutf8 -man -ww -z man/crdview.1 2>&1)"
test -z "$(groff -Tascii -man -ww -z man/crdview.1 2>&1)"

web_page="$PWD/build-web/crdview.html"
test -s "$web_page"

build=build-pkg
cmake -S . -B "$build" -DCRDVIEW_WERROR=ON -DCRDVIEW_BUILD_TESTS=OFF -DCMAKE_INSTALL_PREFIX=/usr \
  -DCRDVIEW_WEB_PAGE="$web_page"
cmake --build "$build" -j 2
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/crdview_*.deb)
dpkg-deb --info "$deb"
dpkg-deb --contents "$deb"

if [ "$(dpkg-query -W -f='${Status}' crdview 2>/dev/null)" = "install ok installed" ]; then
  echo "crdview is already installed on this system; not testing the package over it"
  exit 1
fi
trap '"${sudo_cmd[@]}" dpkg --remove crdview >/dev/null || true' EXIT
"${sudo_cmd[@]}" dpkg --install "$deb"

# The installed program lists an example exactly as the built one does.
test "$(command -v crdview)" = /usr/bin/crdview
/usr/bin/crdview -e Windows-1251 examples/contacts.crd >"$build/installed.txt"
"$build"/crdview -e Windows-1251 examples/contacts.crd >"$build/built.txt"
cmp "$build/installed.txt" "$build/built.txt"
grep -q 'MGC card file, total cards: ' "$build/installed.txt"
status=0
/usr/bin/crdview >/dev/null || status=$?
test "$status" -eq 2
test "$(man -w crdview)" = /usr/share/man/man1/crdview.1.gz
# (Whole outputs are captured before grep -q looks at them: with pipefail,
# grep -q leaving early would fail the writer by SIGPIPE.)
page=$(man -P cat crdview)
grep -q 'chcp 1251' <<<"$page"
# The web page, as built, where the manual page says it is.
cmp /usr/share/crdview/crdview.html "$web_page"
grep -q '/usr/share/crdview/crdview.html' <<<"$page"

"${sudo_cmd[@]}" dpkg --remove crdview
trap - EXIT
test ! -e /usr/bin/crdview
test ! -e /usr/share/crdview/crdview.html

# The Windows .zip: crdview.exe and the web page beside it, README.md and LICENSE.
cmake -S . -B build-mingw -DCRDVIEW_WEB_PAGE="$web_page"
(cd build-mingw && cpack -G ZIP)
zip=$(ls build-mingw/crdview-*-win64.zip)
members=$(unzip -l "$zip")
echo "$members"
for member in bin/crdview.exe bin/crdview.html README.md LICENSE; do
  grep -q "/$member\$" <<<"$members"
done

# The crdview.exe from the zip (stripped) lists the examples with the same
# bytes as the Linux build.
unpacked=build-mingw/zip-check
rm -rf "$unpacked" && mkdir -p "$unpacked"
unzip -q "$zip" -d "$unpacked"
exe=$(ls "$unpacked"/crdview-*/bin/crdview.exe)
export WINEPREFIX="$PWD/build-mingw/wineprefix"
trap 'WINEDEBUG=-all wineserver --kill || true' EXIT
for example in "-e Windows-1251 examples/contacts.crd" "examples/office.crd"; do
  # shellcheck disable=SC2086
  cmake/wine-run.sh "$WINEPREFIX" "$exe" $example >"$unpacked/windows.txt" 2>"$unpacked/stderr.txt"
  # shellcheck disable=SC2086
  "$build"/crdview $example >"$unpacked/linux.txt"
  cmp "$unpacked/windows.txt" "$unpacked/linux.txt"
  test ! -s "$unpacked/stderr.txt"
done
