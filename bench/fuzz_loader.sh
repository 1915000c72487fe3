#!/usr/bin/env bash
# A longer fuzzing run of the program-file loaders: builds the libFuzzer target with clang in
# build-fuzz (scripts/fuzz-short does the building) and runs it, then prints executions and crashes.
#   bench/fuzz_loader.sh [SECONDS]     (default 300)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-300}"
build=build-fuzz
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz_loader: clang++ not found" >&2
  exit 0
fi
scripts/fuzz-short --seconds 1 --build "$build" >/dev/null
corpus="$build/corpus/fuzz_loader"
crashes="$build/crashes/fuzz_loader"
mkdir -p "$corpus" "$crashes"
before=$(ls "$crashes" | wc -l)
set +e
"$build/tests/fuzz/fuzz_loader" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$crashes/" "$corpus" tests/fuzz/seeds 2>"$build/fuzz_loader.long.log"
rc=$?
set -e
after=$(ls "$crashes" | wc -l)
execs=$(grep -Eo "stat::number_of_executed_units: *[0-9]+" "$build/fuzz_loader.long.log" | grep -Eo "[0-9]+$" || echo "?")
echo "fuzz_loader: ${seconds}s, executions: ${execs}, corpus: $(ls "$corpus" | wc -l) inputs, crashes: $((after - before)), exit status ${rc}"
[ "$rc" = 0 ]
