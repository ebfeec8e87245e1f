#!/usr/bin/env bash
# The main job: builds talix, imports the sample notes into a fresh stand-in
# database and shows what the library does with them: the notes, the text of
# a document, a form with tables and a styled document rendered as HTML and
# XHTML, the styled document as a mail message, and values read out of a
# table by the formula driver's @DbColumn and @DbLookup.
#
#   bash scripts/demo.sh [OUT] [--records]
#
# OUT: the folder the files are written to (made when missing; files of the
# same names in it are replaced), by default a fresh one under the system's
# temporary directory. --records also lists the CD records of the form's
# body. TALIX_PROGRAM names a talix program to use as it is (no set-up, no
# build); TALIX_JOBS sets how many build jobs run at once (default: one per
# core).
set -euo pipefail

usage() {
  echo "usage: bash scripts/demo.sh [OUT] [--records]" >&"$1"
  exit "$2"
}
out=
records=0
for arg in "$@"; do
  case $arg in
    --records) records=1 ;;
    -h | --help) usage 1 0 ;;
    -*) echo "demo.sh: unknown option '$arg'" >&2; usage 2 2 ;;
    *) [ -z "$out" ] || { echo "demo.sh: one output folder only" >&2; usage 2 2; }; out=$arg ;;
  esac
done

# Paths the caller gave are taken from where the caller stands.
if [ -n "$out" ]; then
  mkdir -p -- "$out"
  out=$(cd -- "$out" && pwd)
fi
talix=
if [ -n "${TALIX_PROGRAM:-}" ]; then
  if [ ! -x "$TALIX_PROGRAM" ]; then
    echo "demo.sh: TALIX_PROGRAM '$TALIX_PROGRAM' is not a program" >&2
    exit 1
  fi
  talix=$(realpath -- "$TALIX_PROGRAM")
fi

cd "$(dirname "$0")/.."
if [ -z "$talix" ]; then
  bash scripts/setup.sh
  cmake --preset release >/dev/null
  # The formula driver is the library itself, loaded beside the platform's.
  cmake --build --preset release -j "${TALIX_JOBS:-$(nproc 2>/dev/null || echo 2)}" --target talix_cli talix
  talix=$PWD/build/release/tools/talix
fi
[ -n "$out" ] || out=$(mktemp -d "${TMPDIR:-/tmp}/talix-demo.XXXXXX")
work=$(mktemp -d "${TMPDIR:-/tmp}/talix-demo-db.XXXXXX")
trap 'rm -rf -- "$work"' EXIT
db=$work/samples.nsf

fail() {
  echo "demo.sh: $*" >&2
  exit 1
}

# The id, UNID, class, title and kinds of every note, a line each.
"$talix" import "$db" samples/dxl/*.xml >/dev/null
listing=$("$talix" notes "$db")
# The notes whose kinds (the last column, "document", "form, default" ...)
# include the given one.
notes_of_kind() {
  awk -F'\t' -v kind="$1" '{ n = split($5, k, ", "); for (i = 1; i <= n; i++) if (k[i] == kind) { print $1; next } }' \
    <<<"$listing"
}
title_of() {
  awk -F'\t' -v note="$1" '$1 == note { print $4 }' <<<"$listing"
}
# How many targets of a type a chunk of an item holds; 0 without the item.
count() {
  "$talix" count "$db" "$1" "$2" "$3" "${4:-Everything}" 2>/dev/null || echo 0
}

# The form with tables: the form whose body holds the most tables.
form= tables=0
for note in $(notes_of_kind form); do
  n=$(count "$note" '$Body' Table)
  if ((n > tables)); then form=$note tables=$n; fi
done
[ -n "$form" ] || fail "no sample form holds a table"

# The styled document: the document whose body's text runs use the most
# different fonts (style and face words; colour and size aside).
document= fonts=0
for note in $(notes_of_kind document); do
  n=$(count "$note" Body Text)
  distinct=$(for ((i = 1; i <= n; i++)); do "$talix" get-property "$db" "$note" Body Font "Text $i" || true; done |
    awk '{ key = ""; s = 0; for (i = 1; i <= NF; i++) if ($i ~ /^[0-9.]+pt$/) { s = i; break }
           for (i = 1; i <= NF; i++) if (i < s - 1 || i > s) key = key " " $i; print key }' | sort -u | wc -l)
  if ((distinct > fonts)); then document=$note fonts=$distinct; fi
done
[ -n "$document" ] || fail "no sample document holds text"

# The table of the look-ups: the form's first table of two rows and two
# columns or more.
table= rows=0 columns=0
for ((t = 1; t <= tables; t++)); do
  rows=$(count "$form" '$Body' Row "Table $t")
  columns=$(count "$form" '$Body' Column "Table $t; Row 1")
  if ((rows >= 2 && columns >= 2)); then table="Table $t"; break; fi
done
[ -n "$table" ] || fail "no table of the form $form has two rows and two columns"

echo "== The sample notes: id, UNID, class, title, kind (talix notes)"
printf '%s\n' "$listing"

echo
echo "== The text of the body of the styled document $document (talix text)"
"$talix" text "$db" "$document" Body

echo
echo "== The form \"$(title_of "$form")\" and the styled document as HTML and XHTML (talix export-html)"
for pair in "form-with-tables:$form:\$Body" "styled-document:$document:Body"; do
  IFS=: read -r name note item <<<"$pair"
  "$talix" export-html "$db" "$note" "$item" "$out/$name.html"
  "$talix" export-html "$db" "$note" "$item" "$out/$name.xhtml" --format xhtml
  echo "$out/$name.html"
  echo "$out/$name.xhtml"
done

echo
echo "== The styled document as a mail message (talix mime)"
"$talix" mime "$db" "$document" Body --out "$out/styled-document.eml"
echo "$out/styled-document.eml"
grep -m 1 '^Subject:' "$out/styled-document.eml" || true

echo
echo "== $table of the form's body, a line per row (talix text of each cell)"
for ((r = 1; r <= rows; r++)); do
  line=
  for ((c = 1; c <= columns; c++)); do
    cell=$("$talix" text "$db" "$form" '$Body' "$table; Row $r; Column $c" | paste -sd ' ')
    line+=${line:+$'\t'}$cell
  done
  printf '%s\n' "$line"
done

# The key is what the look-up compares: the first text of the key cell of
# the last row that has one, written as a formula string.
key=
for ((r = rows; r >= 1 && ${#key} == 0; r--)); do
  key=$("$talix" text "$db" "$form" '$Body' "$table; Row $r; Column 1; NonBlankText 1" 2>/dev/null | head -n 1 || true)
done
echo
echo "== Column 2 of that table, and of its rows keyed \"$key\", read by formula (talix formula)"
key=${key//\\/\\\\}
key=${key//\"/\\\"}
address=$(printf '"Talix" : ""; ""; "N%X"; "$Body" : "%s"' "$((form))" "$table")
for formula in "@DbColumn($address; 2)" "@DbLookup($address; \"$key\"; 2)"; do
  echo "$formula"
  # The first line is the result's type, then a value a line.
  "$talix" formula "$db" "$form" "$formula" | tail -n +2 | sed 's/^/  /'
done

if ((records)); then
  echo
  echo "== The CD records of the form's body (talix records)"
  "$talix" records "$db" "$form" '$Body'
fi

echo
echo "The files are in $out"
