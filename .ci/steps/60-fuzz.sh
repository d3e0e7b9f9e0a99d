# A bounded fuzz run of the card file listing (about two minutes, fixed seed so
# a failure can be replayed). Fails on any finding. The seeds are the files in
# fuzz/seeds, the example files and the golden fixtures, copied into a scratch
# corpus so the tree is never written to.
#
# Replay a finding: build-fuzz/fuzz/list_card_file_fuzzer build-fuzz/artifacts/crash-...
# then add the input to fuzz/regressions/, where a unit test lists every file.
set -euo pipefail
seconds="${CRDVIEW_FUZZ_SECONDS:-120}"
CXX=clang++ cmake -S . -B build-fuzz -DCRDVIEW_FUZZ=ON -DCRDVIEW_BUILD_TESTS=OFF \
  -DCRDVIEW_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz -j 2 --target list_card_file_fuzzer

corpus=build-fuzz/corpus
artifacts=build-fuzz/artifacts
rm -rf "$corpus" "$artifacts"
mkdir -p "$corpus" "$artifacts"
shopt -s nullglob
seeds=(fuzz/seeds/* fuzz/regressions/*.crd examples/*.crd tests/golden/cases/*.crd)
for seed in "${seeds[@]}"; do
  cp -- "$seed" "$corpus/$(echo "$seed" | tr / _)"  # the same name in two places stays two seeds
done
echo "seed files: ${#seeds[@]}"

log=build-fuzz/fuzz.log
status=0
build-fuzz/fuzz/list_card_file_fuzzer -seed=1 -max_total_time="$seconds" -max_len=70000 \
  -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts/" \
  "$corpus" >"$log" 2>&1 || status=$?

grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)' "$log" || true
grep -E '^stat::' "$log" || true
echo "corpus: $(find "$corpus" -type f | wc -l) files"
findings=("$artifacts"/*)
if [ "$status" -ne 0 ] || [ "${#findings[@]}" -gt 0 ]; then
  tail -n 60 "$log"
  echo "fuzzing failed (status $status); findings: ${findings[*]:-none}" >&2
  exit 1
fi
