#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The style gate: every C++ file's opening lines (the licence, then what the file holds),
# clang-format over every C++ file of the project, clang-tidy (the root's
# .clang-tidy) over the library's sources and, through its header filter, the project's
# headers. Exits non-zero on any format difference or any clang-tidy finding.
#   cmake/style-check.sh [build dir with compile_commands.json]   (default: build/default)
#   STYLE_CHECK=format|tidy to run one half only; JOBS=N for clang-tidy's parallelism.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build/default}
what=${STYLE_CHECK:-all}
jobs=${JOBS:-2}
status=0

# Tracked files only, so that build trees and scratch files are never looked at.
mapfile -t cxx_files < <(git ls-files -- 'include/*.hpp' 'src/*.cpp' 'src/*.hpp' \
    'tests/*.cpp' 'tests/*.hpp' 'bench/*.cpp' 'bench/*.hpp' 'fuzz/*.cpp' 'fuzz/*.hpp' \
    'examples/*.cpp' 'examples/*.hpp')
[ ${#cxx_files[@]} -gt 0 ] || { echo "style-check: no C++ files found" >&2; exit 1; }

if [ "$what" = all ] || [ "$what" = format ]; then
    # Every file opens with its licence line and then a comment saying what it holds.
    echo "== opening lines (${#cxx_files[@]} files)"
    for f in "${cxx_files[@]}"; do
        if [ "$(sed -n 1p "$f")" != "// SPDX-License-Identifier: MIT" ]; then
            echo "style-check: $f: the first line is not '// SPDX-License-Identifier: MIT'" >&2
            status=1
        elif ! sed -n 2p "$f" | grep -q '^//'; then
            echo "style-check: $f: no comment saying what the file holds after the licence line" >&2
            status=1
        fi
    done
    echo "== clang-format (${#cxx_files[@]} files)"
    if ! clang-format --dry-run -Werror "${cxx_files[@]}" 2>"${TMPDIR:-/tmp}/style-format.$$"; then
        cat "${TMPDIR:-/tmp}/style-format.$$"
        echo "style-check: clang-format: $(grep -c 'error: code should be clang-formatted' \
            "${TMPDIR:-/tmp}/style-format.$$") places in" \
            "$(grep 'error: code should be' "${TMPDIR:-/tmp}/style-format.$$" | cut -d: -f1 | sort -u | wc -l) files" >&2
        status=1
    fi
    rm -f "${TMPDIR:-/tmp}/style-format.$$"
fi

if [ "$what" = all ] || [ "$what" = tidy ]; then
    [ -f "$build_dir/compile_commands.json" ] ||
        { echo "style-check: no $build_dir/compile_commands.json (configure first)" >&2; exit 1; }
    mapfile -t lib_sources < <(printf '%s\n' "${cxx_files[@]}" | grep -E '^src/.*\.cpp$')
    echo "== clang-tidy (${#lib_sources[@]} library sources)"
    log=$build_dir/clang-tidy.log
    # run-clang-tidy runs the files in parallel; the header filter comes from .clang-tidy. It
    # always asks for colours: they are stripped before the findings are read.
    run-clang-tidy -quiet -j "$jobs" -p "$build_dir" "${lib_sources[@]/#/$PWD/}" 2>&1 |
        sed -E 's/\x1b\[[0-9;]*m//g' >"$log" || true
    findings=$(grep -E '^/.*:[0-9]+:[0-9]+: (warning|error):' "$log" | sort -u || true)
    if [ -n "$findings" ]; then
        printf '%s\n' "$findings"
        echo "style-check: clang-tidy: $(printf '%s\n' "$findings" | wc -l) findings:" >&2
        printf '%s\n' "$findings" | sed -E 's/.*\[([^]]+)\]$/\1/' | sort | uniq -c | sort -rn >&2
        status=1
    elif grep -qE 'error:|Error while processing' "$log"; then
        cat "$log"
        echo "style-check: clang-tidy did not run cleanly" >&2
        status=1
    fi
    echo "(clang-tidy's full output: $log)"
fi

[ $status -eq 0 ] && echo "style-check: clean"
exit $status
