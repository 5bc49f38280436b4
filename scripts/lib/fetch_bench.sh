#!/usr/bin/env bash
# Loopback download throughput of the shared fetcher under Wine against curl's, on the same
# file from the same support server stand-in, in the same run. Goal: at least 0.9 times curl.
#   scripts/lib/fetch_bench.sh WINDOWS_BUILD [--smoke]
# Runs under the caller's Wine prefix (tw_wine_up). The ratio is printed, not judged; a
# failed or wrong-sized download fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$1
mb=64 runs=5
[ "${2:-}" = --smoke ] && mb=4 runs=2
work=$(mktemp -d /tmp/tellwick-fetch-bench.XXXXXX)
trap 'python3 "$root/sim/support-server/support_server.py" stop --state "$work/state" >/dev/null 2>&1; rm -rf "$work"' EXIT
mkdir -p "$work/root/bench" "$work/state"
head -c $((mb * 1024 * 1024)) /dev/urandom >"$work/root/bench/big.bin"
bytes=$(stat -c %s "$work/root/bench/big.bin")
python3 "$root/sim/support-server/support_server.py" start --root "$work/root" --state "$work/state" >/dev/null
port=$(awk '$1 == "http" {print $2}' "$work/state/ports")
url="http://127.0.0.1:$port/bench/big.bin"

best_curl=0
for _ in $(seq "$runs"); do
  speed=$(curl -s -o "$work/curl.bin" -w '%{speed_download}' "$url")
  [ "$(stat -c %s "$work/curl.bin")" = "$bytes" ] || { echo "curl: wrong size"; exit 1; }
  best_curl=$(awk -v a="$best_curl" -v b="$speed" 'BEGIN { print (b > a ? b : a) }')
done
fetcher=$(wine "$build/tests/common/win/fetch_bench.exe" "$url" "$bytes" "$runs" | tr -d '\r' | awk '{print $2}')
awk -v f="$fetcher" -v c="$best_curl" -v mb="$mb" 'BEGIN {
  printf "fetch %d MB over loopback, best of runs: fetcher %.0f MB/s, curl %.0f MB/s, ratio %.2f (goal >= 0.9)\n",
    mb, f / 1048576, c / 1048576, f / c }'
