#!/bin/bash
# The anomaly module's page as the real module writes it at its first check (win64 sim build,
# Wine, a red battery, a not-recommended adaptor and a deleted test application) in English and Japanese, rendered
# with headless Chromium into docs/screenshots/anomaly-<language>.png.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=win64
{ cmake --preset $preset && cmake --build --preset $preset --target Wickpost_sim wkptanm_sim tray_command; } >/dev/null
source scripts/lib/wine-env.sh
source scripts/lib/render.sh
source scripts/lib/notebook.sh
tw_wine_up
work=$(mktemp -d)
trap 'tw_wine_down; rm -rf "$work"' EXIT
out=build/$preset/out/sim
pages=build/anomaly-pages
mkdir -p "$pages" docs/screenshots
{ cat sim/scenarios/default.ini; printf '\n[anomaly]\nbattery = red\nadaptor = not-recommended\n'; } > "$work/scenario.ini"
scenario="Z:$(echo "$work/scenario.ini" | tr / '\\')"
wine reg add 'HKCU\Software\Velmorant\WICKPOST' /v InitialDlgShown /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg add 'HKLM\SOFTWARE\Velmorant\Common' /v DisableFutureOSWarning /t REG_DWORD /d 1 /f /reg:64 >/dev/null 2>&1
# A repair record for an application that is not installed.
wine reg add 'HKLM\SOFTWARE\Velmorant\Repair\TestApp' /v Name /t REG_SZ /d 'Velmorant <Test> App' /f >/dev/null 2>&1
wine reg add 'HKLM\SOFTWARE\Velmorant\Repair\TestApp' /v InstallKey /t REG_SZ /d 'SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\VelmorantTestApp' /f >/dev/null 2>&1
wine reg add 'HKLM\SOFTWARE\Velmorant\Repair\TestApp' /v InstallCmd /t REG_SZ /d 'C:\Repair\setup.exe /s' /f >/dev/null 2>&1
temp_dir=$(tw_prefix_temp)
for lang in en_US ja_JP; do
  rm -f "$temp_dir"/WAM*.tmp
  LANG=$lang.UTF-8 LC_ALL=$lang.UTF-8 TELLWICK_SCENARIO="$scenario" wine "$out/Wickpost.exe" >/dev/null 2>&1 &
  host=$!
  # The module's first check, right after it loads, finds the faults.
  page=$(tw_wait_page "$temp_dir" WAM)
  tw_page_copy "$page" "$out" "$pages/$lang.html"
  wine "$out/tray_command.exe" exit || true
  wait "$host" 2>/dev/null || true
  tw_render "$pages/$lang.html" 380,1400 "$pages/$lang.png" "anomaly-${lang%_*}"
done
