#!/usr/bin/env bash
# The main job fails when it must, on what is built (after the test command or scripts/run.sh):
# with the web module taken out of the sim set it names the web notice, and with the host
# killed once the television is plugged in it says that the host ended.
#   tests/run/run_fails_test.sh [win64|win32]
set -euo pipefail
cd "$(dirname "$0")/../.."
preset=${1:-win64}
sim=build/$preset/out/sim
work=$(mktemp -d)
put_back() { [ ! -e "$work/wkptrss.dll" ] || mv "$work/wkptrss.dll" "$sim/"; }
trap 'put_back; rm -rf "$work"' EXIT
failed=0

# expect NAME STATUS LOG TEXT: the run failed and said TEXT.
expect() {
  if [ "$2" -ne 0 ] && grep -qF -- "$4" "$3"; then
    echo "$1: ok, exit status $2:"
    grep -E '^(FAIL |== |run: )' "$3" | sed 's/^/  /'
  else
    echo "$1: FAILED (exit status $2, no \"$4\"):"
    sed 's/^/  /' "$3"
    failed=1
  fi
}

mv "$sim/wkptrss.dll" "$work/"
status=0
scripts/run.sh --preset "$preset" --no-build >"$work/without.log" 2>&1 || status=$?
put_back
expect "without the web module" "$status" "$work/without.log" "FAIL $preset: missing after \"Check now\": web notice"

# The host is killed as soon as the job reports the television plugged in.
scripts/run.sh --preset "$preset" --no-build >"$work/killed.log" 2>&1 &
run=$!
host=
while kill -0 "$run" 2>/dev/null; do
  [ -n "$host" ] || host=$(sed -n 's/^host: started (pid \([0-9]*\))$/\1/p' "$work/killed.log")
  if [ -n "$host" ] && grep -q '^plugged:' "$work/killed.log"; then
    kill -KILL "$host"
    break
  fi
  sleep 0.2
done
status=0
wait "$run" || status=$?
expect "host killed halfway" "$status" "$work/killed.log" "FAIL $preset: the host ended on its own"
exit $failed
