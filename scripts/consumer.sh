#!/usr/bin/env bash
# Installs a built talix (the given preset's build, default debug) into a
# temporary prefix and checks what another project gets from it: the shared
# library exports the public interface only and carries a versioned SONAME;
# a program using find_package(Talix), and one built with pkg-config, both
# build and print the three paragraphs of a note they make (one with
# characters outside ASCII) as three UTF-8 lines.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-debug}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
cmake --install "build/$preset" --prefix "$prefix" >/dev/null
libdir=$(dirname "$(find "$prefix" -name libtalix.so -print -quit)")
lib=$(readlink -f "$libdir/libtalix.so")

fail() { echo "consumer: $*" >&2; exit 1; }

readelf -d "$lib" | grep -q 'Library soname: \[libtalix\.so\.[0-9][0-9]*\]' || fail "libtalix.so has no versioned SONAME"
# Every exported symbol is a member of a public class, the version query or
# a driver entry point (or the version node itself).
others=$(nm -D --defined-only -C "$lib" | awk '{ $1 = ""; $2 = ""; sub(/^  /, ""); print }' |
         grep -Ev '^(RARIvoSession|ZervaRTItem|ZervaRTChunk)::|^talix::LibraryVersion\(\)|^DBD[A-Za-z]+|^TALIX_[0-9]+$' || true)
[ -z "$others" ] || fail "libtalix.so exports more than its public interface:"$'\n'"$others"

expected=$'Hello from an installed talix\nGr\303\274\303\237e aus Z\303\274rich\nand a third paragraph'
cmake -S tests/consumer -B "$work/cmake-build" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/cmake-build" >/dev/null
out=$(cd "$work" && "$work/cmake-build/talix_consumer" "$work/cmake.db")
[[ "$out" == "talix "*": $expected" ]] || fail "the find_package program printed '$out'"

export PKG_CONFIG_PATH=$libdir/pkgconfig
# shellcheck disable=SC2046
g++ -std=c++20 tests/consumer/main.cpp -o "$work/pkg-consumer" $(pkg-config --cflags --libs talix) \
    -Wl,-rpath,"$libdir"
out=$(cd "$work" && "$work/pkg-consumer" "$work/pkg.db")
[[ "$out" == "talix "*": $expected" ]] || fail "the pkg-config program printed '$out'"
echo "consumer: installed talix $(pkg-config --modversion talix) found by CMake and pkg-config; ${out%%$'\n'*} ..."
