#!/usr/bin/env bash
# Builds zvkisp-sim, zvkisp-cli and bench_soak in build/ (or $ZVKISP_BUILD_DIR) and runs the soak.
#   bench/soak.sh [DOWNLOADS] [CORRUPT] [extra sim options...]     (default 200 0.01)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${ZVKISP_BUILD_DIR:-build}"
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target zvkisp-sim zvkisp-cli bench_soak >/dev/null
ZVKISP_SIM="$build/sim/zvkisp-sim" ZVKISP_CLI="$build/src/zvkisp-cli" "$build/bench/bench_soak" "$@"
