#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Line and branch coverage of src/ by the test suites (GCC --coverage, gcovr).
#
#   cmake/coverage.sh            builds the coverage preset, runs the suites, prints the
#                                summary and fails under the thresholds below
# The thresholds are set here and nowhere else.
set -euo pipefail
cd "$(dirname "$0")/.."

line_threshold=${COVERAGE_LINES:-98}
branch_threshold=${COVERAGE_BRANCHES:-95}

cmake --preset coverage
cmake --build --preset coverage
find build/coverage -name '*.gcda' -delete
ctest --preset coverage

# Branches the compiler adds for exception unwinding (every call that may throw) and branches
# it proves unreachable say nothing about the tests; they are left out of the branch figure.
gcovr --root . --filter 'src/' build/coverage \
      --exclude-throw-branches --exclude-unreachable-branches \
      --print-summary --txt build/coverage/coverage.txt \
      --fail-under-line "$line_threshold" --fail-under-branch "$branch_threshold"
