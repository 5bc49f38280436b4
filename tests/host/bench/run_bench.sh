#!/usr/bin/env bash
# The host's idle benchmark under Wine, for a Windows build directory (default build/win32):
#   tests/host/bench/run_bench.sh [BUILD_DIR]
# Builds host_bench and its programs, starts a fresh Wine prefix and prints the figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=${1:-$root/build/win32}
cmake --build "$build" --target host_bench >/dev/null
source "$root/scripts/lib/wine-env.sh"
tw_wine_up
trap tw_wine_down EXIT
wine "$build/tests/host/host_bench.exe"
