#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails when the shared library carries a function or object of its own that nothing reaches:
# no caller inside the library and not exported. It builds the library alone with one section
# per function and per object, lets the linker drop every section unreachable from the
# exported symbols, and lists what it dropped under the library's namespaces.
#   cmake/unused-code-check.sh [build-dir]       (default build/unused-code)
# Inlining is turned down so that a helper whose every call was inlined still counts as
# called; what remains listed has no caller at all.
set -euo pipefail
export LC_ALL=C
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build_dir=${1:-$source_dir/build/unused-code}

cmake -S "$source_dir" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -DNDEBUG" \
      -DVORN_CORE_BUILD_TESTS=OFF -DVORN_CORE_BUILD_EXAMPLES=OFF \
      "-DCMAKE_CXX_FLAGS=-ffunction-sections -fdata-sections -fno-inline-functions -fno-inline-small-functions" \
      "-DCMAKE_SHARED_LINKER_FLAGS=-Wl,--gc-sections -Wl,--print-gc-sections" >/dev/null
# Relink every time: the list comes from the link step.
rm -f "$build_dir"/libvorn-core.so*
log=$(cmake --build "$build_dir" -j "$(nproc)" 2>&1) || { printf '%s\n' "$log"; exit 1; }

# The linker names each dropped section; keep the library's own symbols (mangled _ZN4vorn).
# A header's inline function or object is emitted in every object file that uses it and the
# linker keeps one copy, so a dropped copy counts only when no copy is left in the library.
kept=$(nm --defined-only "$build_dir"/libvorn-core.so.*.*.* | awk '{print $3}' | sort -u)
unused=$(printf '%s\n' "$log" |
         sed -n "s/.*removing unused section '\.[a-z.]*\.\(_ZN4vorn[^'[]*\)[^']*' in file '\([^']*\)'.*/\1 \2/p" |
         sed 's/\.str1\.[0-9]* / /' |
         sort -u -k1,1 | join -v 1 - <(printf '%s\n' "$kept"))
if [ -n "$unused" ]; then
    echo "unused-code-check: functions or objects that nothing in the library reaches:"
    printf '%s\n' "$unused" | while read -r symbol file; do
        printf '  %s  (%s)\n' "$(printf '%s' "$symbol" | c++filt)" "${file##*/}"
    done
    exit 1
fi
echo "unused-code-check: every function and object of the library is exported or called"
