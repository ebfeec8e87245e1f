#!/usr/bin/env bash
# Builds the project and runs its tests. With "asan" as argument, builds and
# runs them under AddressSanitizer and UndefinedBehaviorSanitizer; with
# "tsan", builds the test of sessions on threads under ThreadSanitizer and
# runs it 5 times in a row. TALIX_JOBS
# sets how many jobs run at once (default: one per core).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
preset=${1:-debug}
jobs=${TALIX_JOBS:-$(nproc 2>/dev/null || echo 2)}
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$jobs"
ctest --preset "$preset" -j "$jobs"
