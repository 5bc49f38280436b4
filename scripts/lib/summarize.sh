#!/usr/bin/env bash
# Adds up the GoogleTest results of each build and prints one closing line.
set -u
total_pass=0
total_fail=0
for dir in "$@"; do
  pass=0 fail=0
  for xml in "$dir"/test-results/*.xml; do
    [ -e "$xml" ] || continue
    read -r tests failures errors < <(sed -n 's/.*<testsuites tests="\([0-9]*\)" failures="\([0-9]*\)" disabled="[0-9]*" errors="\([0-9]*\)".*/\1 \2 \3/p' "$xml" | head -n 1)
    [ -n "${tests:-}" ] || continue
    pass=$((pass + tests - failures - errors))
    fail=$((fail + failures + errors))
  done
  printf '%-12s %5d passed, %d failed\n' "$(basename "$dir"):" "$pass" "$fail"
  total_pass=$((total_pass + pass))
  total_fail=$((total_fail + fail))
done
echo "total: $total_pass passed, $total_fail failed"
[ "$total_fail" -eq 0 ] && [ "$total_pass" -gt 0 ]
