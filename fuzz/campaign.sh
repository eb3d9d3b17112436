#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# A longer fuzzing campaign: runs every fuzz target for a while, then merges what it found
# into fuzz/corpus/<target>/ with -merge=1 (only inputs that add coverage are kept).
#
#   fuzz/campaign.sh [seconds per target] [target ...]
#                                 (default 600 s and every target; FUZZ_JOBS=N runs N workers)
# Findings (crash-*, leak-*, timeout-*, oom-*) are left in build/fuzz/campaign/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

printf '%-28s %8s %12s %8s %8s  %s\n' target minutes executions before after findings
if [ $# -gt 0 ]; then
    targets=()
    for name in "$@"; do targets+=("build/fuzz/fuzz/$name"); done
else
    targets=(build/fuzz/fuzz/*_fuzz)
fi
for target in "${targets[@]}"; do
    name=$(basename "$target")
    corpus=fuzz/corpus/$name
    work=build/fuzz/campaign/$name
    mkdir -p "$corpus" "$work/new"
    before=$(find "$corpus" -type f | wc -l)
    # Grow a scratch corpus seeded with the committed one, leaving the committed one alone.
    cp -r "$corpus/." "$work/new/"
    (cd "$work" && "$OLDPWD/$target" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -print_final_stats=1 ${FUZZ_JOBS:+-jobs=$FUZZ_JOBS -workers=$FUZZ_JOBS} new \
        >run.log 2>&1) || true
    "$target" -merge=1 "$corpus" "$work/new" >"$work/merge.log" 2>&1
    after=$(find "$corpus" -type f | wc -l)
    runs=$(grep -h '^stat::number_of_executed_units' "$work/run.log" | awk '{s+=$2} END {print s+0}')
    findings=$(find "$work" -maxdepth 1 -name 'crash-*' -o -maxdepth 1 -name 'leak-*' \
        -o -maxdepth 1 -name 'timeout-*' -o -maxdepth 1 -name 'oom-*' | wc -l)
    printf '%-28s %8s %12s %8s %8s  %s\n' "$name" "$(awk "BEGIN {print $seconds / 60}")" \
        "$runs" "$before" "$after" "$findings"
done
