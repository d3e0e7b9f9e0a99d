#!/usr/bin/env bash
# Benchmark of crdview on hostile card files beside ordinary ones.
#
# Writes the hostile files (bench/make_hostile_files.py) and the ordinary
# benchmark file bench.rrg (bench/make_bench_files.py) into the build
# directory, then runs every format on each (the listing, JSON, CSV, HTML,
# vCard 3.0), writing to /dev/null, and prints for each the wall time, the
# cost in milliseconds per megabyte of text and pictures the file makes a
# reader meet (a body shared by 64 entries counts 64 times), and the peak
# resident memory. With BEFORE set, an earlier crdview runs each command
# too, on the next line. A command that runs past TIMEOUT seconds is
# stopped and its time shown as ">TIMEOUT".
#
# Usage: bench/hostile.sh
# Environment: BUILD_DIR (default build-bench), CRDVIEW (a crdview to measure
#              instead of building one), BEFORE (an earlier crdview),
#              TIMEOUT (seconds a command may run, default 60),
#              ONLY (a pattern: only the files whose names match it).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build-bench}
limit=${TIMEOUT:-60}
before=${BEFORE:-}

if [[ -z "${CRDVIEW:-}" ]]; then
    cmake -S "$root" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DCRDVIEW_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build_dir" -j 2 >/dev/null
    crdview=$build_dir/crdview
else
    crdview=$CRDVIEW
fi
hostile_dir=$build_dir/hostile
python3 "$root/bench/make_hostile_files.py" "$hostile_dir"
[[ -f $build_dir/bench.rrg ]] || python3 "$root/bench/make_bench_files.py" "$build_dir"

formats=(listing json csv html vcard)

# Prints "SECONDS KIB" for one run of `"$@" >/dev/null`, or ">LIMIT KIB" when stopped.
measure() {
    local log start end status=0
    log=$(mktemp)
    start=$EPOCHREALTIME
    /usr/bin/time -v -o "$log" timeout "$limit" "$@" >/dev/null 2>&1 || status=$?
    end=$EPOCHREALTIME
    local kib
    kib=$(awk -F: '/Maximum resident set size/ { gsub(/ /, "", $2); print $2 }' "$log")
    rm -f "$log"
    if ((status == 124)); then
        echo ">$limit ${kib:-n/a}"
    else
        awk -v s="$start" -v e="$end" -v k="${kib:-n/a}" 'BEGIN { printf "%.3f %s\n", e - s, k }'
    fi
}

# One row: the binary's label, the file, its megabytes, then each format's figures.
row() {
    local label=$1 binary=$2 file=$3 megabytes=$4 format seconds kib
    printf '  %-8s' "$label"
    for format in "${formats[@]}"; do
        if [[ $format == listing ]]; then
            read -r seconds kib < <(measure "$binary" "$file")
        else
            read -r seconds kib < <(measure "$binary" --format="$format" "$file")
        fi
        awk -v s="$seconds" -v k="$kib" -v mb="$megabytes" 'BEGIN {
            if (s ~ /^>/) { printf " %9s %8s %7s", s " s", "", k; exit }
            printf " %9.3f %8.1f %7s", s, (mb > 0 ? s * 1000 / mb : 0), k }'
    done
    echo
}

echo "crdview: $crdview${before:+; BEFORE: $before}"
echo "machine: $(nproc) cores; stopped after $limit s; to /dev/null"
printf '  %-8s' ""
for format in "${formats[@]}"; do
    printf ' %-26s' "$format: s, ms/MB, KiB"
done
echo

run_file() {
    local file=$1 megabytes=$2
    echo "$(basename "$file") ($(du -k --apparent-size "$file" | cut -f1) KiB," \
        "$(du -k "$file" | cut -f1) KiB on disk; $megabytes MB met)"
    row after "$crdview" "$file" "$megabytes"
    [[ -n $before ]] && row before "$before" "$file" "$megabytes"
    return 0
}

ordinary_mb=$(awk -v n="$(wc -c <"$build_dir/bench.rrg")" 'BEGIN { printf "%.3f", n / 1e6 }')
run_file "$build_dir/bench.rrg" "$ordinary_mb"
while read -r name megabytes; do
    [[ -n ${ONLY:-} && ! $name =~ ${ONLY} ]] && continue
    run_file "$hostile_dir/$name" "$megabytes"
done <"$hostile_dir/hostile.list"
