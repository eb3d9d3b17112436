#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Fails when the library exports a dynamic symbol that is not part of vorn::core.
#   check-exports.sh <library>
set -euo pipefail
lib=$1
nm_tool=${NM:-nm}

symbols=$("$nm_tool" -D --defined-only -C "$lib" | cut -d' ' -f3-)
[ -n "$symbols" ] || { echo "no exported symbols in $lib"; exit 1; }

strays=$(printf '%s\n' "$symbols" | sed -E \
    -e 's/^(typeinfo name for |typeinfo for |vtable for |VTT for |non-virtual thunk to |virtual thunk to )//' \
    | grep -v -E '^vorn::core::' || true)
if [ -n "$strays" ]; then
    echo "symbols exported outside vorn::core:"
    printf '%s\n' "$strays" | sed 's/^/  /'
    exit 1
fi
echo "$(printf '%s\n' "$symbols" | wc -l) exported symbols, all in vorn::core"
