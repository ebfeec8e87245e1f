#!/usr/bin/env bash
# Every file the HTML import opens, recorded by strace, while it imports
# HTML that names files out of its directory: by "..", by absolute and
# "\"-rooted names, through a link leading out, a pipe and /dev/zero. The
# HTML comes from a file (import-html), from an item (from-html, without and
# with a directory named for it) and from a mail (from-mime). Nothing out of
# the allowed directory may be opened, no pipe or device opened for
# reading, and the canary's bytes must be in no stored item.
#
#   bash tests/tools/local_files_trace.sh TALIX     (exit 77: strace cannot trace here)
set -euo pipefail
talix=$(realpath "$1")
if ! command -v strace >/dev/null || ! strace -f -o /dev/null true 2>/dev/null; then
  echo "strace cannot trace here" >&2
  exit 77
fi
samples=$(cd "$(dirname "$0")/../../samples/dxl" && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
mkdir -p inside/sub outside
# A small GIF inside, the canary outside, and the ways out.
printf 'GIF89a\001\000\001\000\200\000\000\000\000\000\377\377\377!\371\004\001\000\000\000\000,\000\000\000\000\001\000\001\000\000\002\002D\001\000;' >inside/icon.gif
{ cat inside/icon.gif; printf 'CANARY-BYTES'; } >outside/canary.gif
printf 'p { color: red } /* CANARY-BYTES */' >outside/canary.css
ln -s ../outside/canary.gif inside/out.gif
ln -s /dev/zero inside/zero.gif
mkfifo inside/fifo.gif
canary=$dir/outside/canary.gif
backslashed=${canary//\//\\}
images=""
for name in icon.gif ../outside/canary.gif sub/../../outside/canary.gif "$canary" "$backslashed" out.gif zero.gif fifo.gif; do
  images+="<img src=\"$name\">"
done
html="<html><head><link rel=stylesheet href=\"../outside/canary.css\"><link rel=stylesheet href=\"$dir/outside/canary.css\"></head><body><p>pictures</p>$images</body></html>"
printf '%s' "$html" >inside/page.html
printf 'From: a@b.c\nTo: d@e.f\nSubject: pictures\nMIME-Version: 1.0\nContent-Type: text/html; charset=utf-8\n\n%s\n' "$html" >mail.eml
printf 'ZelundaNoImageSkip=1\n' >notes.ini
export NOTES_INI=$dir/notes.ini

db=$dir/t.nsf
note=$("$talix" import "$db" "$samples/2194.xml" | cut -f1 | head -n 1)
"$talix" append "$db" "$note" Source text "$html" >/dev/null
"$talix" append "$db" "$note" FromItem text x >/dev/null
"$talix" append "$db" "$note" FromItemInside text x >/dev/null
"$talix" store-eml "$db" "$note" Mail mail.eml >/dev/null

traced() {
  strace -f -y -e trace=open,openat,openat2,creat -o "$dir/trace" -A "$talix" --verbose "$@" >/dev/null 2>>"$dir/errors" || true
}
traced import-html "$db" "$note" FromFile "$dir/inside/page.html"
traced from-html "$db" "$note" FromItem Source
traced from-html "$db" "$note" FromItemInside Source --options "BasePathname='$dir/inside/'"
traced from-mime "$db" "$note" Mail

failed=0
# Successful opens: "... = 5</path>"; a pipe or device only looked at (O_PATH).
opened=$(grep -E '= [0-9]+<' trace || true)
if grep -F "$dir/outside" <<<"$opened"; then
  echo "a file out of the directory was opened"
  failed=1
fi
if grep -E '</dev/zero>|fifo\.gif>' <<<"$opened" | grep -v O_PATH; then
  echo "a device or a pipe was opened for reading"
  failed=1
fi
for item in FromFile FromItem FromItemInside Mail; do
  if "$talix" value "$db" "$note" "$item" | grep -qa CANARY-BYTES; then
    echo "item $item holds the canary's bytes"
    failed=1
  fi
done
# The picture inside the directory is read where a directory is open to the import.
for item in FromFile FromItemInside; do
  if ! "$talix" records "$db" "$note" "$item" | grep -q CD_IMAGESEGMENT; then
    echo "item $item lacks the picture inside the directory"
    failed=1
  fi
done
if "$talix" records "$db" "$note" FromItem | grep -q CD_IMAGESEGMENT; then
  echo "item FromItem holds a picture though no directory was named for it"
  failed=1
fi
echo "$(wc -l <trace) opens traced; $(grep -c 'left out' errors || true) pictures and style sheets left out"
exit "$failed"
