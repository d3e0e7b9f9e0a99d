#!/bin/sh
# Memory refused is a file that could not be read, never a crash. crdview is
# run on one card with a 65535-byte text under a falling limit on its address
# space: each run must list the card whole (exit 0), end with "Error reading
# file." (exit 1), or not start at all (the loader's 127, where the search
# stops); no run may die of a signal, and some limit must reach the refusal.
#   refused_memory.sh CRDVIEW SCRATCH_DIR
set -u
crdview=$1
dir=$2
mkdir -p "$dir"
card="$dir/long_card.crd"
{
    # "MGC", 1 card; an entry with body offset 57, flag 0 and the line "T";
    # the body: no graphic block, text length 65535, the text.
    printf 'MGC\001\000\000\000\000\000\000\000\071\000\000\000\000T'
    head -c 40 /dev/zero
    printf '\000\000\377\377'
    head -c 65535 /dev/zero | tr '\000' x
} > "$card"
out="$dir/refused.out"
failed=0
refused=0
kb=8192
while [ "$kb" -ge 512 ]; do
    sh -c 'ulimit -v "$1" && exec "$2" -e Windows-1251 "$3"' sh "$kb" "$crdview" "$card" \
        > "$out" 2> /dev/null
    status=$?
    case "$status" in
    0) [ "$(wc -c < "$out")" -gt 65535 ] || { echo "FAIL: $kb KiB: listing cut short"; failed=1; } ;;
    1) if [ "$(tail -c 22 "$out" | od -An -c | tr -d ' \n')" = '\nErrorreadingfile.\n\n' ]; then
           refused=$((refused + 1))
       else
           echo "FAIL: $kb KiB: exit 1 without the closing message"; failed=1
       fi ;;
    127) break ;;
    *) echo "FAIL: $kb KiB: exit status $status"; failed=1 ;;
    esac
    kb=$((kb - 128))
done
if [ "$refused" -eq 0 ]; then
    echo "FAIL: no limit reached the refusal of memory (stopped at $kb KiB)"
    failed=1
fi
exit "$failed"
