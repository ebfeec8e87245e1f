#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a bounded time
# (seconds per target, default 20), starting from the project's own samples;
# as many targets run at once as there are cores, each on a copy of its
# seeds. The second argument names the preset that builds them: "fuzz" (the
# default: optimised, nothing else built, the comparisons reported to the
# fuzzer too) or "asan" (the sanitizers' test build, which builds them too
# with the edges' counters alone, as .ci/run uses it). TALIX_JOBS sets how
# many build jobs and targets run at once (default: one per core). Exits 1
# when a target found a fault.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
seconds=${1:-20}
preset=${2:-fuzz}
cmake --preset "$preset" >/dev/null
jobs=${TALIX_JOBS:-$(nproc 2>/dev/null || echo 2)}
cmake --build --preset "$preset" -j "$jobs"
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
mkdir -p "$corpus/dxl" "$corpus/other" "$corpus/driver" "$corpus/html" "$corpus/css" "$corpus/mime" "$corpus/awkward" \
  "$corpus/passthru"
cp samples/dxl/*.xml "$corpus/dxl/"
# One well-formed driver call: @DbCommand with "ItemNOOP", "", "N100", "Body".
printf '\x02\x04\x0a\x00\x00\x05ItemNOOP\x02\x00\x00\x05\x06\x00\x00\x05N100\x00\x05Body' >"$corpus/driver/noop"
# The HTML import's first byte picks its options; the rest is the HTML.
printf '\000<p>caf\303\251 <b><b>x</b></b></p><table><thead><tr><td rowspan=3>a<br></td></tr></thead></table>' \
  >"$corpus/html/prose"
printf '\201<html xmlns:o="urn:schemas-microsoft-com:office:office"><body><p class=MsoListBullet><![if !supportLists]>*<![endif]>x<o:p></o:p></p><ul><ul><p>y</ul></ul><img src="cid:a">' \
  >"$corpus/html/word"
# The walk's elements: style rules, headings, fonts, breaks, pre, rules, blocks and the page colour.
printf '\000<style>p.a{color:red;font-size:12px}</style><h2 dir=rtl>T</h2><font face="Arial" size=+2 color=blue>f<br>g</font><pre>a\nb</pre><hr><blockquote><div style="border:1px solid;margin-left:2em">q</div></blockquote><body bgcolor=white>' \
  >"$corpus/html/walk"
# Markup made to be slow for the parser, a few kilobytes of each shape: the
# HTML import's seeds (after its options byte) and the pass-through writer's.
repeat() { local i; for ((i = 0; i < $2; i++)); do printf '%s' "$1"; done; }
hostile() {
  { printf '\000'; printf '%s' "$2"; } >"$corpus/html/hostile-$1"
  printf '%s' "$2" >"$corpus/passthru/hostile-$1"
}
hostile textarea "<textarea>$(repeat '<div>' 1200)"
hostile title "<title>$(repeat '<div>' 1200)"
hostile xmp "<xmp>$(repeat '<div>' 1200)"
hostile options "<select>$(repeat '<option><optgroup>' 600)"
hostile cells "<table><tr>$(repeat '<td>x' 1500)"
hostile lists "$(repeat '<ul><li>' 700)x"
hostile inline "$(repeat '<b><i>' 700)x"
hostile attributes "<p$(for ((i = 0; i < 1100; i++)); do printf ' a%d=1' "$i"; done)>x"
hostile attribute-name "<p $(repeat a 300)=1 $(repeat B 200)>x"
hostile fonts "$(repeat '<font>x' 1200)"
hostile reopened "$(repeat '<div><font>x</div>' 330)"
hostile tags-in-tags "$(repeat '<div ' 1200)>x"
printf '<p>caf\303\251 <b>bold<br>line</b><img src=x.gif alt="a &quot;q&quot;"><td>cell</td><script>if (a < b) {}</script>' \
  >"$corpus/passthru/prose"
# The style code's first byte picks units and nesting; the rest is the sheet
# and the style attribute.
printf '\000p.a, div p { margin: 1px 2px 3px; border: 2px solid #ff0000 } @import x; .b{background:url(x) no-repeat}' \
  >"$corpus/css/rules"
printf '\377border-top: 12px dotted rgb(1, 2, 3); text-indent: 10%%; margin-right: 2in; padding-left: 1e400px' \
  >"$corpus/css/style"
# The MIME reader's first byte picks raw part items or a message to split;
# the test messages are its seeds.
for message in tests/mime/messages/*.eml; do
  { printf '\000'; cat "$message"; } >"$corpus/mime/$(basename "$message")"
  { printf '\002'; cat "$message"; } >"$corpus/mime/ok-$(basename "$message")"
done
# The awkward documents' first byte picks the size and the option set; the
# rest are the generator's draws: a seed for each option set.
for set in 0 1 2 3 4 5 6 7 8 9; do
  printf "\\$(printf '%03o' $((set * 6 + 3)))\001\002\003\004\005\006\007" >"$corpus/awkward/set$set"
done
targets=("build/$preset"/fuzz/*_fuzz)
if [ ! -x "${targets[0]}" ]; then
  echo "fuzz: the preset $preset builds no fuzz targets" >&2
  exit 1
fi
names=()
for target in "${targets[@]}"; do
  name=$(basename "$target")
  seeds="$corpus/other"
  [ "$name" = dxl_import_fuzz ] && seeds="$corpus/dxl"
  [ "$name" = driver_call_fuzz ] && seeds="$corpus/driver"
  [ "$name" = html_import_fuzz ] && seeds="$corpus/html"
  [ "$name" = passthru_xhtml_fuzz ] && seeds="$corpus/passthru"
  [ "$name" = style_sheet_fuzz ] && seeds="$corpus/css"
  [ "$name" = mime_reading_fuzz ] && seeds="$corpus/mime"
  [ "$name" = awkward_generation_fuzz ] && seeds="$corpus/awkward"
  # Seeds kept with the sources, for targets whose input is binary.
  [ -d "fuzz/seeds/$name" ] && seeds="fuzz/seeds/$name"
  # The target adds what it finds to its own copy of the seeds.
  mkdir -p "$corpus/run/$name"
  cp -r "$seeds"/. "$corpus/run/$name/"
  while (($(jobs -pr | wc -l) >= jobs)); do wait -n || true; done
  (status=0
   "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 "$corpus/run/$name" \
     >"$corpus/$name.log" 2>&1 || status=$?
   echo "$status" >"$corpus/$name.status") &
  names+=("$name")
done
wait
failed=0
for name in "${names[@]}"; do
  echo "== $name for ${seconds}s"
  tail -n 3 "$corpus/$name.log"
  if [ "$(cat "$corpus/$name.status")" != 0 ]; then
    echo "fuzz: $name failed (exit $(cat "$corpus/$name.status")); its whole output:" >&2
    cat "$corpus/$name.log" >&2
    failed=1
  fi
done
exit "$failed"
