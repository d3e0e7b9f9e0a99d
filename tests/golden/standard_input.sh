#!/bin/sh
# Input that cannot seek is listed as a file is: standard input given as "-"
# or as /dev/stdin, through a pipe or a FIFO, gives the listing of the file
# with the path as given in the banner, in every format.
#   standard_input.sh CRDVIEW CARD_FILE
set -u
crdview=$1
card_file=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failed=0

# The listing of CARD_FILE, with its banner showing $1 instead.
expect() {
    "$crdview" "$@" "$card_file" >"$dir/file.out"
}

same() {  # what path...
    what=$1
    shift
    # The banner (listing) or "file" (JSON) shows the path as given.
    sed "s#$card_file#$1#" "$dir/file.out" >"$dir/expected"
    if ! cmp -s "$dir/expected" "$dir/got"; then
        echo "FAIL: $what differs from the listing of the file"
        failed=1
    fi
}

for format in listing json csv; do
    expect --format=$format -e Windows-1251
    cat "$card_file" | "$crdview" --format=$format -e Windows-1251 - >"$dir/got"
    same "$format, a pipe as -" -
    cat "$card_file" | "$crdview" --format=$format -e Windows-1251 /dev/stdin >"$dir/got"
    same "$format, a pipe as /dev/stdin" /dev/stdin
    "$crdview" --format=$format -e Windows-1251 - <"$card_file" >"$dir/got"
    same "$format, a file as -" -
done

# Input that does not begin as a card file ends at once, after its first
# bytes, with the usual reason: an endless one too.
yes | timeout 20 "$crdview" - >"$dir/got" 2>"$dir/err"
status=$?
if [ $status -ne 1 ] || ! grep -q 'not a card file (it begins with "y\\x0Ay")' "$dir/err"; then
    echo "FAIL: endless input that is not a card file: status $status, $(cat "$dir/err")"
    failed=1
fi

# The page reads its cards twice with --find (the titles come first): a
# pipe is read as the file is.
expect --format=html -e Windows-1251 --find=495
cat "$card_file" | "$crdview" --format=html -e Windows-1251 --find=495 - >"$dir/got"
same "html with --find, a pipe as -" -

expect
mkfifo "$dir/fifo"
cat "$card_file" >"$dir/fifo" &
"$crdview" "$dir/fifo" >"$dir/got"
same "a FIFO" "$dir/fifo"
wait

exit $failed
