#!/usr/bin/env bash
# The host's idle benchmark under Wine, for a Windows build directory (default build/win32):
#   tests/host/bench/run_bench.sh [BUILD_DIR] [--smoke] [--product]
# Configures build/win32 or build/win64 from its preset when it is not there yet, builds
# host_bench and its programs, starts a fresh Wine prefix and prints the figures. --product
# measures the host with the seven delivered modules on the default simulated notebook (the
# support server's stand-in, the disk viewer's and graphics driver's stand-ins, the settings
# of scripts/run.sh) instead of do-nothing modules.
set -euo pipefail
root=$(cd "$(dirname "$0")/../../.." && pwd)
build=$root/build/win32
smoke=
product=
for arg in "$@"; do
  case "$arg" in
    --smoke) smoke=--smoke ;;
    --product) product=--product ;;
    -*) echo "usage: $0 [BUILD_DIR] [--smoke] [--product]" >&2; exit 2 ;;
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
targets=host_bench
[ -n "$product" ] && targets="host_bench wkpthdd_sim wkptrss_sim wkptreg wkptbat_sim wkpthdmi_sim wkptanm_sim wkptxwpk_sim
  Diskwarn_sim sysglance_sim igfxsim vidassist"
echo "building $targets in $build"
# shellcheck disable=SC2086
cmake --build "$build" --target $targets >"$log" 2>&1 || { tail -n 40 "$log"; echo "build failed" >&2; exit 1; }
cd "$root"
source scripts/lib/wine-env.sh
source scripts/lib/notebook.sh
tw_wine_up
trap 'tw_support_down; tw_wine_down; rm -f "$log"' EXIT
if [ -n "$product" ]; then
  tw_support_up
  tw_notebook_settings 1000
  tw_notebook_devices "${build#"$root"/}/out/sim" "$root/sim/scenarios/default.ini"
fi
wine "$build/tests/host/host_bench.exe" $smoke $product
