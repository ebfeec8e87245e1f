#!/usr/bin/env bash
# Installs a built talix (the given preset's build, default debug) into a
# temporary prefix and checks what another project gets from it: both shared
# libraries (libtalix.so and the platform library libtalix_platform.so)
# export their public interface only and carry a versioned SONAME; no test
# header is installed; the installed talix program runs; a program using
# find_package(Talix), and one built with pkg-config, both build and print
# the three paragraphs of a note they make (one with characters outside
# ASCII) as three UTF-8 lines.
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

platform=$(readlink -f "$libdir/libtalix_platform.so")
readelf -d "$platform" | grep -q 'Library soname: \[libtalix_platform\.so\.[0-9][0-9]*\]' ||
    fail "libtalix_platform.so has no versioned SONAME"
# Every symbol the platform library exports is a function of the plat
# namespace that an installed header declares (or the version node).
declared=$(grep -rhoE '^TPLAT_API [^(]*[ *&][A-Za-z_][A-Za-z0-9_]*\(' "$prefix/include" |
           sed -E 's/.*[ *&]([A-Za-z_][A-Za-z0-9_]*)\($/\1/' | sort -u)
others=$(nm -D --defined-only -C "$platform" | awk '{ $1 = ""; $2 = ""; sub(/^  /, ""); print }' |
         grep -Ev '^TALIX_PLATFORM_[0-9]+$' |
         while IFS= read -r symbol; do
             name=$(sed -nE 's/^plat::([A-Za-z_][A-Za-z0-9_]*)[[(].*/\1/p' <<<"$symbol")
             if [ -z "$name" ] || ! grep -qx "$name" <<<"$declared"; then echo "$symbol"; fi
         done)
[ -z "$others" ] || fail "libtalix_platform.so exports more than its public interface:"$'\n'"$others"
tests=$(find "$prefix/include" -iname '*test*')
[ -z "$tests" ] || fail "a test header is installed:"$'\n'"$tests"
# The installed talix program runs on the installed libraries.
"$prefix/bin/talix" --help >/dev/null || fail "the installed talix program does not run"

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
