#!/usr/bin/env bash
# The main job: builds talix, imports the sample notes into a stand-in
# database and lists the notes and the records of a form's rich text.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc 2>/dev/null || echo 2)" --target talix_cli
talix=build/release/tools/talix
db=$(mktemp -d)/samples.db
"$talix" import "$db" samples/dxl/*.xml >/dev/null
echo "== notes of $db"
"$talix" notes "$db"
note=$("$talix" notes "$db" | awk -F'\t' '$4 == "Layout Form" {print $1; exit}')
echo "== records of \$Body in note $note (Layout Form)"
"$talix" records "$db" "$note" '$Body'
