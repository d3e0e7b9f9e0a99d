#!/usr/bin/env bash
# Benchmark of crdview against cat and iconv on the benchmark card files.
#
# Builds a Release crdview in build-bench/ (beside this tree's other build
# directories), writes the benchmark files there (bench.mgc and bench.rrg in
# Windows-1251, bench-1252.mgc in Windows-1252, bench-1253.mgc in
# Windows-1253), and for each file and its code page NNNN times
#   cat FILE
#   crdview FILE                       the plain listing
#   crdview -e Windows-NNNN FILE       the converted listing
#   iconv -c -f CPNNNN -t UTF-8 FILE   the whole file through the system's converter
#   cat CONVERTED                      a file holding the converted listing
#   crdview --format=json -e Windows-NNNN FILE, and csv, html, vcard: the other formats
#   crdview -e auto FILE               the listing in the code page the texts look like
#   BEFORE ...                         another crdview, when BEFORE is set: each of the
#                                      crdview commands above again with it
# each once writing to /dev/null and once through a pipe (`| cat >/dev/null`),
# all in turn: one warm-up round, then RUNS timed rounds (default 11). It
# prints the median wall time of each and its ratios to the plain listing, to
# cat of the converted listing and to iconv, measured the same way; then the
# peak resident memory of each (/usr/bin/time -v) and the read and seek system
# calls (strace -c -f), where those tools are installed.
#
# A crdview that does not know a code page lists its file as stored; then the
# converted listing is the plain one through iconv, and the row of
# `crdview -e` says n/a.
#
# Usage: bench/run.sh
# Environment: RUNS (timed runs per command), BUILD_DIR (default build-bench),
#              CRDVIEW (a crdview binary to measure instead of building one),
#              BEFORE (an earlier crdview binary, timed in the same rounds).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
runs=${RUNS:-11}
build_dir=${BUILD_DIR:-$root/build-bench}

if [[ -z "${CRDVIEW:-}" ]]; then
    cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DCRDVIEW_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build_dir" -j 2 >/dev/null
    crdview=$build_dir/crdview
else
    crdview=$CRDVIEW
fi
mkdir -p "$build_dir"
python3 "$root/bench/make_bench_files.py" "$build_dir"

now_us() {
    local t=$EPOCHREALTIME
    echo "${t//[.,]/}"
}

labels=("cat FILE" "crdview FILE" "crdview -e Windows-NNNN FILE" "iconv -c -f CPNNNN FILE"
    "cat CONVERTED" "json -e Windows-NNNN FILE" "csv -e Windows-NNNN FILE" "crdview -e auto FILE"
    "html -e Windows-NNNN FILE" "vcard -e Windows-NNNN FILE" "BEFORE FILE"
    "BEFORE -e Windows-NNNN FILE" "BEFORE json -e Windows-NNNN" "BEFORE csv -e Windows-NNNN"
    "BEFORE -e auto FILE" "BEFORE html -e Windows-NNNN" "BEFORE vcard -e Windows-NNNN")
commands=17
before_k=10  # the commands from here on are BEFORE's
before=${BEFORE:-}
modes=(null pipe)

# Sets the array `cmd` to command k for the current file, page and converted listing.
set_command() {
    case $1 in
    0) cmd=(cat "$file") ;;
    1) cmd=("$crdview" "$file") ;;
    2) cmd=("$crdview" -e "Windows-$page" "$file") ;;
    3) cmd=(iconv -c -f "CP$page" -t UTF-8 "$file") ;;
    4) cmd=(cat "$converted") ;;
    5) cmd=("$crdview" --format=json -e "Windows-$page" "$file") ;;
    6) cmd=("$crdview" --format=csv -e "Windows-$page" "$file") ;;
    7) cmd=("$crdview" -e auto "$file") ;;
    8) cmd=("$crdview" --format=html -e "Windows-$page" "$file") ;;
    9) cmd=("$crdview" --format=vcard -e "Windows-$page" "$file") ;;
    10) cmd=("$before" "$file") ;;
    11) cmd=("$before" -e "Windows-$page" "$file") ;;
    12) cmd=("$before" --format=json -e "Windows-$page" "$file") ;;
    13) cmd=("$before" --format=csv -e "Windows-$page" "$file") ;;
    14) cmd=("$before" -e auto "$file") ;;
    15) cmd=("$before" --format=html -e "Windows-$page" "$file") ;;
    16) cmd=("$before" --format=vcard -e "Windows-$page" "$file") ;;
    esac
}

# Runs command k once, to /dev/null (mode 0) or through a pipe (mode 1).
run_once() {
    local cmd
    set_command "$1"
    if (($2 == 0)); then
        "${cmd[@]}" >/dev/null 2>&1 || true
    else
        "${cmd[@]}" 2>/dev/null | cat >/dev/null || true
    fi
}

# Times every command in every mode in turn, one warm-up round and then
# `runs` rounds, so that all meet the same load on the machine; sets
# median[k * 2 + mode] to the median wall time in microseconds.
time_commands() {
    local round k mode start end i
    local -a times=()
    for ((i = 0; i < commands * 2; i++)); do
        times[i]=""
    done
    for ((round = 0; round <= runs; round++)); do
        for ((k = 0; k < commands; k++)); do
            ((k == 2 && !converts)) && continue
            ((k >= before_k)) && [[ -z "$before" ]] && continue
            for mode in 0 1; do
                start=$(now_us)
                run_once $k $mode
                end=$(now_us)
                ((round == 0)) && continue
                times[k * 2 + mode]+="$((end - start)) "
            done
        done
    done
    median=()
    for ((i = 0; i < commands * 2; i++)); do
        if [[ -z "${times[i]}" ]]; then
            median[i]=0
        else
            median[i]=$(printf '%s\n' ${times[i]} | sort -n |
                awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }')
        fi
    done
}

# Prints the peak resident memory in KiB of `"$@" >/dev/null`.
peak_rss_kib() {
    /usr/bin/time -v "$@" 2>&1 >/dev/null | awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }'
}

# Prints "reads seeks" counted by strace for `"$@" >/dev/null`.
read_seek_calls() {
    local log
    log=$(mktemp)
    strace -f -c -o "$log" -e trace=read,lseek,_llseek "$@" >/dev/null 2>&1 || true
    awk '$NF == "read" { r = $4 } $NF == "lseek" || $NF == "_llseek" { s += $4 }
         END { printf "%d %d\n", r, s }' "$log"
    rm -f "$log"
}

have_time=0
[[ -x /usr/bin/time ]] && have_time=1
have_strace=0
command -v strace >/dev/null && have_strace=1

echo "crdview: $crdview"
echo "machine: $(nproc) cores, $(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo)"
echo "timed runs per command: $runs (after one warm-up), median wall time in ms;"
echo "x list, x cat-conv, x iconv: ratio to crdview FILE, to cat CONVERTED and to iconv, same output"

for entry in bench.mgc:1251 bench.rrg:1251 bench-1252.mgc:1252 bench-1253.mgc:1253; do
    file=$build_dir/${entry%:*}
    page=${entry#*:}
    converted=$build_dir/${entry%:*}.$page.txt
    converts=1
    "$crdview" -e "Windows-$page" "$file" >"$converted" || true
    if cmp -s "$converted" <("$crdview" "$file"); then
        converts=0
        "$crdview" "$file" | iconv -c -f "CP$page" -t UTF-8 >"$converted" || true
    fi
    echo
    echo "$(basename "$file") ($(wc -c <"$file") bytes, Windows-$page;" \
        "converted listing $(wc -c <"$converted") bytes)"
    ((converts)) || echo "  crdview does not convert Windows-$page: CONVERTED is its listing through iconv"
    time_commands
    printf '  %-30s  %-36s %-36s\n' "" "to /dev/null:" "through | cat >/dev/null:"
    printf '  %-30s %8s %8s %10s %7s %8s %8s %10s %7s %9s %6s %6s\n' command ms "x list" "x cat-conv" \
        "x iconv" ms "x list" "x cat-conv" "x iconv" "RSS KiB" reads seeks
    for ((k = 0; k < commands; k++)); do
        label=${labels[k]//NNNN/$page}
        if ((k == 2 && !converts)); then
            printf '  %-30s %8s\n' "$label" n/a
            continue
        fi
        ((k >= before_k)) && [[ -z "$before" ]] && continue
        set_command $k
        rss=n/a
        ((have_time)) && rss=$(peak_rss_kib "${cmd[@]}")
        calls="n/a n/a"
        ((have_strace)) && calls=$(read_seek_calls "${cmd[@]}")
        read -r reads seeks <<<"$calls"
        awk -v l="$label" -v n="${median[k * 2]}" -v p="${median[k * 2 + 1]}" \
            -v nl="${median[2]}" -v pl="${median[3]}" -v nc="${median[8]}" -v pc="${median[9]}" \
            -v ni="${median[6]}" -v pi="${median[7]}" -v rss="$rss" -v r="$reads" -v s="$seeks" '
            function ratio(a, b) { return b > 0 ? sprintf("%.2f", a / b) : "n/a" }
            BEGIN {
                printf "  %-30s %8.2f %8s %10s %7s %8.2f %8s %10s %7s %9s %6s %6s\n", l,
                    n / 1000, ratio(n, nl), ratio(n, nc), ratio(n, ni),
                    p / 1000, ratio(p, pl), ratio(p, pc), ratio(p, pi), rss, r, s
            }'
    done
done
