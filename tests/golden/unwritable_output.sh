#!/bin/sh
# A listing that cannot be written is a failure: crdview exits 1 and writes
# exactly one line to standard error, whether standard output is full
# (/dev/full) or closed.
#   unwritable_output.sh CRDVIEW CARD_FILE...
set -u
crdview=$1
shift
err=$(mktemp)
trap 'rm -f "$err"' EXIT
failed=0

check() {  # what status lines
    if [ "$2" -ne 1 ]; then
        echo "FAIL: $1: exit status $2, expected 1"
        failed=1
    fi
    lines=$(wc -l < "$err")
    if [ "$lines" -ne 1 ]; then
        echo "FAIL: $1: $lines lines on standard error, expected 1:"
        cat "$err"
        failed=1
    fi
}

for card_file in "$@"; do
    "$crdview" "$card_file" > /dev/full 2> "$err"
    check "$card_file > /dev/full" $?
    "$crdview" -e Windows-1251 "$card_file" >&- 2> "$err"
    check "$card_file, standard output closed" $?
done
[ "$failed" -eq 0 ] && echo "unwritable output: every check held"
exit "$failed"
