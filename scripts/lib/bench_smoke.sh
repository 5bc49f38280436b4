#!/usr/bin/env bash
# Runs every benchmark once, briefly, so that none stops working unnoticed. Their figures are
# printed, not judged: a benchmark fails this only when it cannot run or finds a wrong result.
#   scripts/lib/bench_smoke.sh NATIVE_BUILD [WINDOWS_BUILD...]
# The Windows ones run under the Wine prefix of the caller's shell (tw_wine_up), after the
# Wine tests: the host benchmark writes its own settings into that prefix.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
logs=$root/build/logs
mkdir -p "$logs"
failed=0

smoke() {
  local name=$1 log
  shift
  log="$logs/bench-$name.log"
  echo "-- $name"
  if "$@" --smoke >"$log" 2>&1; then
    cat "$log"
  else
    cat "$log"
    echo "$name: FAILED to run (log: build/logs/bench-$name.log)"
    failed=1
  fi
}

native=$1
shift
for program in tests/pattern/pattern_bench tests/registration/qr_bench tests/web/web_filter_bench tests/web/catalogue_bench; do
  if [ -x "$native/$program" ]; then
    smoke "$(basename "$program")-$(basename "$native")" "$native/$program"
  else
    echo "$(basename "$program"): FAILED, not built in $native"
    failed=1
  fi
done
for build in "$@"; do
  if [ -e "$build/tests/host/host_bench.exe" ]; then
    smoke "host_bench-$(basename "$build")" wine "$build/tests/host/host_bench.exe"
  else
    echo "host_bench: FAILED, not built in $build"
    failed=1
  fi
  if [ -e "$build/tests/common/win/fetch_bench.exe" ]; then
    smoke "fetch_bench-$(basename "$build")" bash "$root/scripts/lib/fetch_bench.sh" "$build"
  else
    echo "fetch_bench: FAILED, not built in $build"
    failed=1
  fi
done
exit $failed
