#!/usr/bin/env bash
# Benchmark of crdview against cat on the two benchmark card files.
#
# Builds a Release crdview in build-bench/ (beside this tree's other build
# directories), writes the benchmark files there, then for each file times
# `cat FILE`, `crdview FILE` and `crdview -e Windows-1251 FILE`, all writing to
# /dev/null, in turn: one warm-up round, then RUNS timed rounds (default 11),
# and prints the median of each and its ratio to cat. Then the peak resident memory of each
# (/usr/bin/time -v) and the read and seek system calls (strace -c -f), where
# those tools are installed.
#
# Usage: bench/run.sh
# Environment: RUNS (timed runs per command), BUILD_DIR (default build-bench),
#              CRDVIEW (a crdview binary to measure instead of building one).
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

# Times the commands "cat FILE", "crdview FILE" and "crdview -e Windows-1251
# FILE" in turn, one warm-up round and then `runs` rounds, so that all three
# meet the same load on the machine; prints the median wall time of each in
# microseconds, one per line.
median_us() {
    local file=$1 round k start end
    local -a times0=() times1=() times2=()
    for ((round = 0; round <= runs; round++)); do
        for k in 0 1 2; do
            start=$(now_us)
            case $k in
            0) cat "$file" >/dev/null ;;
            1) "$crdview" "$file" >/dev/null || true ;;
            2) "$crdview" -e Windows-1251 "$file" >/dev/null || true ;;
            esac
            end=$(now_us)
            ((round == 0)) && continue
            eval "times$k+=($((end - start)))"
        done
    done
    for k in 0 1 2; do
        eval 'printf "%s\n" "${times'$k'[@]}"' | sort -n | awk '{ t[NR] = $1 } END { print t[int((NR + 1) / 2)] }'
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
echo "timed runs per command: $runs (after one warm-up), median wall time"

for file in "$build_dir/bench.mgc" "$build_dir/bench.rrg"; do
    echo
    echo "$(basename "$file") ($(wc -c <"$file") bytes)"
    printf '  %-30s %10s %8s %12s %8s %8s\n' command "median ms" "x cat" "peak RSS KiB" reads seeks
    mapfile -t medians < <(median_us "$file")
    cat_us=${medians[0]}
    for k in 0 1 2; do
        case $k in
        0) label="cat FILE" cmd=(cat "$file") ;;
        1) label="crdview FILE" cmd=("$crdview" "$file") ;;
        2) label="crdview -e Windows-1251 FILE" cmd=("$crdview" -e Windows-1251 "$file") ;;
        esac
        us=${medians[$k]}
        rss=n/a
        ((have_time)) && rss=$(peak_rss_kib "${cmd[@]}")
        calls="n/a n/a"
        ((have_strace)) && calls=$(read_seek_calls "${cmd[@]}")
        read -r reads seeks <<<"$calls"
        awk -v l="$label" -v us="$us" -v cat="$cat_us" -v rss="$rss" -v r="$reads" -v s="$seeks" \
            'BEGIN { printf "  %-30s %10.2f %8.2f %12s %8s %8s\n", l, us / 1000, us / cat, rss, r, s }'
    done
done
