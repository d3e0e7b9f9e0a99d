# The committed sample card files, golden cases and code page tables are
# exactly what their generators write: regenerate them and fail on any difference.
set -euo pipefail
python3 examples/make_examples.py
python3 tests/golden/make_cases.py
python3 src/decode/make_code_pages.py
changes=$(git status --porcelain -- examples tests/golden/cases src/decode/code_pages.inc)
if [ -n "$changes" ]; then
  echo "generated files differ from the committed ones:"
  echo "$changes"
  exit 1
fi
echo "generated files match their generators"
