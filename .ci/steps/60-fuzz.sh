# A bounded fuzz run of every fuzz target (40 s each, under three minutes in
# all, fixed seed so a failure can be replayed), from fresh corpora of the
# seeds: fuzz/seeds, fuzz/regressions, the example files and the golden
# fixtures. Fails on any finding.
#
# Replay a finding: build-fuzz/fuzz/TARGET build-fuzz/artifacts/TARGET/crash-...
# then add the input to fuzz/regressions/ (through fuzz/make_seeds.py), where
# a unit test lists every file.
set -euo pipefail
CRDVIEW_FUZZ_FRESH=1 bash fuzz/run.sh "${CRDVIEW_FUZZ_SECONDS:-40}"
