#!/usr/bin/env bash
# Builds the fuzz targets in build-fuzz/ and runs each in turn for SECONDS
# seconds (fixed seed, so a failure can be replayed), on a corpus of its own
# in build-fuzz/corpus/TARGET that starts from the seeds: fuzz/seeds,
# fuzz/regressions, the examples and the golden fixtures. Fails on any
# finding (build-fuzz/artifacts/TARGET/) and prints each target's runs a
# second.
#
# Usage: fuzz/run.sh SECONDS [TARGET...]   (default: every target)
# Environment: CRDVIEW_FUZZ_FRESH=1 empties the corpora first (CI does);
#              otherwise a corpus grows from run to run, as a campaign's should.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:?usage: fuzz/run.sh SECONDS [TARGET...]}
shift
targets=("$@")
((${#targets[@]})) || targets=(listing_fuzzer json_csv_fuzzer html_vcard_png_fuzzer extract_fuzzer)

CXX=clang++ cmake -S . -B build-fuzz -DCRDVIEW_FUZZ=ON -DCRDVIEW_BUILD_TESTS=OFF \
  -DCRDVIEW_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j 2 --target "${targets[@]}" >/dev/null

shopt -s nullglob
seeds=(fuzz/seeds/* fuzz/regressions/*.crd examples/*.crd tests/golden/cases/*.crd)
echo "seed files: ${#seeds[@]}; $seconds s a target"
failed=()
for target in "${targets[@]}"; do
  corpus=build-fuzz/corpus/$target
  artifacts=build-fuzz/artifacts/$target
  [[ ${CRDVIEW_FUZZ_FRESH:-0} == 1 ]] && rm -rf "$corpus"
  rm -rf "$artifacts"
  mkdir -p "$corpus" "$artifacts"
  for seed in "${seeds[@]}"; do
    cp -- "$seed" "$corpus/$(echo "$seed" | tr / _)"  # the same name in two places stays two seeds
  done
  log=build-fuzz/$target.log
  status=0
  "build-fuzz/fuzz/$target" -seed=1 -max_total_time="$seconds" -max_len=70000 -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" \
    >"$log" 2>&1 || status=$?
  runs=$(awk '/^stat::number_of_executed_units/ { print $2 }' "$log")
  rate=$(awk '/^stat::average_exec_per_sec/ { print $2 }' "$log")
  echo "$target: ${runs:-0} runs, ${rate:-0} a second; corpus $(find "$corpus" -type f | wc -l) files"
  findings=("$artifacts"/*)
  if [ "$status" -ne 0 ] || [ "${#findings[@]}" -gt 0 ]; then
    tail -n 40 "$log"
    echo "$target failed (status $status); findings: ${findings[*]:-none}" >&2
    failed+=("$target")
  fi
done
if ((${#failed[@]})); then
  echo "fuzzing failed: ${failed[*]}" >&2
  exit 1
fi
