#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Compiles a few real locales into <dir> so that the suites can run under them through LOCPATH,
# even on a machine that has none installed. Needs localedef and the locale sources (Debian's
# "locales" package); without them it creates nothing and the suites skip those cases.
#   make_locales.sh <dir> <locale>...
set -u
dir=$1
shift
mkdir -p "$dir"
command -v localedef >/dev/null 2>&1 || exit 0
for name in "$@"; do
    [ -d "$dir/$name.UTF-8" ] && continue
    # -c: keep the output despite warnings about the locale sources themselves.
    localedef -c -i "$name" -f UTF-8 "$dir/$name.UTF-8" >/dev/null 2>&1 || true
done
exit 0
