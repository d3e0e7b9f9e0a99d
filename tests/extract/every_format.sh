#!/bin/sh
# Every format, each with --extract, on every card file given: each run
# ends with status 0 or 1 and nothing from a sanitizer on standard error
# (in the sanitizer build, any fault or undefined behaviour fails here).
#   every_format.sh CRDVIEW SCRATCH_DIR CARD_FILE...
set -u
crdview=$1
scratch=$2
shift 2
rm -rf "$scratch"
mkdir -p "$scratch"
failed=0
runs=0
for card_file in "$@"; do
    for format in listing json csv html vcard vcard4; do
        runs=$((runs + 1))
        out="$scratch/$runs"
        "$crdview" --format=$format --extract="$out" "$card_file" >/dev/null 2>"$scratch/err"
        status=$?
        if [ $status -gt 1 ] || grep -q 'Sanitizer\|runtime error' "$scratch/err"; then
            echo "FAIL: --format=$format --extract $card_file: status $status"
            head -20 "$scratch/err"
            failed=1
        fi
        rm -rf "$out"
    done
done
echo "$runs runs"
exit $failed
