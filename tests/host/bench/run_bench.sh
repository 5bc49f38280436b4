#!/usr/bin/env bash
# The host's idle benchmark under Wine, for a Windows build directory (default build/win32):
#   tests/host/bench/run_bench.sh [BUILD_DIR] [--smoke]
# Configures build/win32 or build/win64 from its preset when it is not there yet, builds
# host_bench and its programs, starts a fresh Wine prefix and prints the figures.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$root/build/win32
smoke=
for arg in "$@"; do
  case "$arg" in
    --smoke) smoke=--smoke ;;
    -*) echo "usage: $0 [BUILD_DIR] [--smoke]" >&2; exit 2 ;;
    /*) build=${arg%/} ;;
    *) build=$PWD/${arg%/} ;;
  esac
done
log=$(mktemp)
trap 'rm -f "$log"' EXIT
if [ ! -e "$build/CMakeCache.txt" ]; then
  preset=$(basename "$build")
  case "$preset" in
    win32 | win64) (cd "$root" && cmake --preset "$preset") >"$log" 2>&1 || { cat "$log"; exit 1; } ;;
    *) echo "$build is not configured (cmake --preset win32 or win64 makes build/win32 or build/win64)" >&2; exit 1 ;;
  esac
fi
echo "building host_bench in $build"
cmake --build "$build" --target host_bench >"$log" 2>&1 || { tail -n 40 "$log"; echo "build failed" >&2; exit 1; }
source "$root/scripts/lib/wine-env.sh"
tw_wine_up
trap 'tw_wine_down; rm -f "$log"' EXIT
wine "$build/tests/host/host_bench.exe" $smoke
