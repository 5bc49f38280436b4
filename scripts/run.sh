#!/usr/bin/env bash
# The main job: builds the Windows programs and runs them on the simulated notebook under Wine
# (on $DISPLAY when there is one, else on Xvfb), printing what they report.
#   scripts/run.sh [--scenario FILE]     a scenario file as described in sim/README.md
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
source scripts/lib/wine-env.sh

args=()
if [ "${1:-}" = "--scenario" ] && [ -n "${2:-}" ]; then
  args=(--scenario "Z:$(realpath "$2" | tr / '\\')")
fi

for preset in win32 win64; do
  { cmake --preset "$preset" && cmake --build --preset "$preset" --target wickinfo_sim wickinfo; } >/dev/null
done

tw_wine_up
trap tw_wine_down EXIT
for preset in win32 win64; do
  exe=build/$preset/out/sim/wickinfo.exe
  echo "== $preset sim variant ($(x86_64-w64-mingw32-objdump -f "$exe" | sed -n 's/.*file format //p'))"
  wine "$exe" "${args[@]}" | tr -d '\r' || echo "(wickinfo exited with $?)"
done
