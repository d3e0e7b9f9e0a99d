# The committed sample card files, golden case inputs (card files and
# arguments), fuzz seeds and regressions and code page tables are exactly what
# their generators write: regenerate them and fail on any difference (a
# changed, missing or new file). The golden cases' expected outputs are held
# to the program by ctest.
set -euo pipefail
python3 tests/regenerate.py
python3 src/decode/make_code_pages.py
changes=$(git status --porcelain --untracked-files=all -- examples tests/golden/cases fuzz/seeds \
  fuzz/regressions src/decode/code_pages.inc)
if [ -n "$changes" ]; then
  echo "generated files differ from the committed ones:"
  echo "$changes"
  exit 1
fi
echo "generated files match their generators"
