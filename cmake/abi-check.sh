#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Compares the exported ABI of the built library with the committed baseline.
#   cmake/abi-check.sh <library>            check (CI)
#   cmake/abi-check.sh --update <library>   write the baseline (a deliberate commit, with
#                                           the reason in its message)
# The library must carry debug information (the default preset builds RelWithDebInfo).
# Only types declared in the public headers are considered. Fails on any removed or changed
# function, variable or type; additions are printed and pass (regenerate the baseline to
# record them).
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/.." && pwd)
baseline=${VORN_CORE_ABI_BASELINE:-$source_dir/abi/libvorn-core.so.2.abi}
headers=$source_dir/include/vorn

update=no
if [ "${1:-}" = "--update" ]; then update=yes; shift; fi
[ $# -eq 1 ] || { echo "usage: $0 [--update] <library>" >&2; exit 2; }
lib=$1
[ -f "$lib" ] || { echo "abi-check: no library at $lib" >&2; exit 2; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# --no-corpus-path and --no-comp-dir-path keep build paths out of the baseline; --no-show-locs
# keeps header line numbers out, so that editing a comment does not touch it.
abidw --headers-dir "$headers" --drop-private-types --no-corpus-path --no-comp-dir-path \
      --no-show-locs --out-file "$scratch/current.abi" "$lib"

if [ "$update" = yes ]; then
    mkdir -p "$(dirname "$baseline")"
    cp "$scratch/current.abi" "$baseline"
    echo "abi-check: wrote $baseline ($(grep -c '<elf-symbol ' "$baseline") ELF symbols)"
    exit 0
fi
[ -f "$baseline" ] || { echo "abi-check: no baseline at $baseline (generate it with --update)" >&2; exit 2; }

# abidiff's exit status is a bit field: 1 error, 2 usage error, 4 ABI change,
# 8 incompatible change (a removed symbol, a moved virtual function).
set +e
abidiff --no-default-suppression "$baseline" "$scratch/current.abi" >"$scratch/full.txt" 2>&1
full=$?
abidiff --no-default-suppression --no-added-syms "$baseline" "$scratch/current.abi" \
    >"$scratch/changes.txt" 2>&1
changes=$?
set -e

if (( (full | changes) & 3 )); then
    cat "$scratch/full.txt" "$scratch/changes.txt"
    echo "abi-check: abidiff failed (status $full / $changes)" >&2
    exit 1
fi
if (( full & 8 )) || (( changes & 4 )); then
    cat "$scratch/full.txt"
    echo "abi-check: INCOMPATIBLE ABI change against $(basename "$baseline")" \
         "(abidiff status $full): a symbol or type was removed or changed" >&2
    exit 1
fi
if (( full & 4 )); then
    cat "$scratch/full.txt"
    echo "abi-check: compatible additions only; record them with $0 --update $lib"
    exit 0
fi
echo "abi-check: ABI identical to $(basename "$baseline")"
