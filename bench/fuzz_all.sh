#!/usr/bin/env bash
# Longer fuzzing runs of every libFuzzer target: builds them with clang (scripts/fuzz-short does
# the building) and runs each for SECONDS, then prints executions and crashes per target.
#   bench/fuzz_all.sh [SECONDS] [--build DIR]     (default 120 s each, build-fuzz)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=120
build=build-fuzz
while [ $# -gt 0 ]; do
  case "$1" in
    --build) build="$2"; shift 2 ;;
    *) seconds="$1"; shift ;;
  esac
done
if ! command -v clang++ >/dev/null 2>&1; then
  echo "fuzz_all: clang++ not found" >&2
  exit 0
fi
targets=(fuzz_loader fuzz_receiver fuzz_settings fuzz_hex_text)
scripts/fuzz-short --seconds 1 --build "$build" >/dev/null
status=0
for t in "${targets[@]}"; do
  corpus="$build/corpus/$t"
  crashes="$build/crashes/$t"
  mkdir -p "$corpus" "$crashes"
  seeds="tests/fuzz/seeds_${t#fuzz_}"
  [ "$t" = fuzz_loader ] && seeds=tests/fuzz/seeds
  seed_args=()
  [ -d "$seeds" ] && seed_args=("$seeds")
  before=$(ls "$crashes" | wc -l)
  set +e
  "$build/tests/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$crashes/" "$corpus" "${seed_args[@]}" 2>"$build/$t.long.log"
  rc=$?
  set -e
  after=$(ls "$crashes" | wc -l)
  execs=$(grep -Eo "stat::number_of_executed_units: *[0-9]+" "$build/$t.long.log" | grep -Eo "[0-9]+$" || echo "?")
  echo "$t: ${seconds}s, executions: ${execs}, corpus: $(ls "$corpus" | wc -l) inputs, crashes: $((after - before)), exit status ${rc}"
  [ "$rc" = 0 ] || status=1
done
exit $status
