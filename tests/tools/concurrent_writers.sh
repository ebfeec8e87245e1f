#!/usr/bin/env bash
# Writers of one note at once, each a process running a series of talix
# commands: WRITERS x EACH appends to one item, WRITERS x EACH appends to
# items of their own, and WRITERS/2 x EACH formulas that read an item and
# write it back through @DbCommand. Every change must be there afterwards,
# every command must succeed or say that the database was busy, and the
# check must find nothing wrong.
#
#   bash tests/tools/concurrent_writers.sh TALIX [WRITERS] [EACH]   (8 and 50 by default)
set -euo pipefail
talix=$(realpath "$1")
writers=${2:-8}
each=${3:-50}
samples=$(cd "$(dirname "$0")/../../samples/dxl" && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
db=writers.nsf
note=$("$talix" import "$db" "$samples/2194.xml" | cut -f1 | head -n 1)
driver_note=N${note#0x}
failed=0

# Runs count writers at once, writer w running "$@" with W and I replaced by
# its number and the run's number; reports commands that failed other than
# as busy.
run() {
  local count=$1
  shift
  local w
  for ((w = 0; w < count; w++)); do
    (
      for ((i = 0; i < each; i++)); do
        args=()
        for arg in "$@"; do
          arg=${arg//@W@/$w}
          args+=("${arg//@I@/$i}")
        done
        if ! "$talix" "${args[@]}" >/dev/null 2>"err-$w"; then
          if grep -q "the database is busy" "err-$w"; then
            echo "writer $w, run $i: busy" >>busy
          else
            echo "writer $w, run $i: $(cat "err-$w")" >>failures
          fi
        fi
      done
    ) &
  done
  wait
}

# The markers "[w-i]" an item holds, each counted once.
markers() {
  "$talix" text "$db" "$note" "$1" | grep -o '\[[0-9]*-[0-9]*\]' | sort -u | wc -l
}

expect() {
  local what=$1 found=$2 wanted=$3
  echo "$what: $found of $wanted"
  [ "$found" -eq "$wanted" ] || failed=1
}

start=$(date +%s)
run "$writers" append "$db" "$note" Shared text '[@W@-@I@]'
expect "appends to one item" "$(markers Shared)" $((writers * each))

run "$writers" append "$db" "$note" 'Own@W@' text '[@W@-@I@]'
own=0
for ((w = 0; w < writers; w++)); do own=$((own + $(markers "Own$w"))); done
expect "appends to items of their own" "$own" $((writers * each))

formulas=$((writers / 2 > 0 ? writers / 2 : 1))
read_item="@DbCommand(\"Talix\"; \"Text\"; \"\"; \"$driver_note\"; \"Formula\")"
run "$formulas" formula "$db" "$note" \
  "@DbCommand(\"Talix\"; \"Text\"; \"\"; \"$driver_note\"; \"Formula\"; $read_item + \"[@W@-@I@]\")"
expect "formulas reading and writing one item" "$(markers Formula)" $((formulas * each))
expect "appends to one item, afterwards" "$(markers Shared)" $((writers * each))
echo "$(( $(date +%s) - start )) seconds"

if [ -s busy ]; then
  echo "busy: $(wc -l <busy) command(s)"
fi
if [ -s failures ]; then
  echo "failed commands:"
  head -n 20 failures
  failed=1
fi
if ! "$talix" check "$db"; then
  echo "talix check found problems"
  failed=1
fi
exit "$failed"
