#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time
# (seconds per target, default 20), starting from the project's own samples.
# TALIX_JOBS sets how many build jobs run at once (default: one per core).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
seconds=${1:-20}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j "${TALIX_JOBS:-$(nproc 2>/dev/null || echo 2)}"
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
mkdir -p "$corpus/dxl" "$corpus/other"
cp samples/dxl/*.xml "$corpus/dxl/"
for target in build/fuzz/fuzz/*_fuzz; do
  name=$(basename "$target")
  seeds="$corpus/other"
  [ "$name" = dxl_import_fuzz ] && seeds="$corpus/dxl"
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 "$seeds" 2>&1 | tail -n 3
done
