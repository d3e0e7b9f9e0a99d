# Every C++ source is formatted by the checked-in .clang-format.
set -euo pipefail
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
