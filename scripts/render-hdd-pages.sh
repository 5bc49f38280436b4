#!/bin/bash
# The hard-disk module's page as the real module writes it (win64 sim build, Wine, the disk
# viewer's stand-in on sim/scenarios/disk-all.ini) in English, German and Japanese, rendered
# with headless Chromium into docs/screenshots/hdd-<language>.png.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=win64
{ cmake --preset $preset && cmake --build --preset $preset --target Wickpost_sim wkpthdd_sim Diskwarn_sim sysglance_sim tray_command; } >/dev/null
source scripts/lib/wine-env.sh
source scripts/lib/render.sh
source scripts/lib/notebook.sh
tw_wine_up
trap tw_wine_down EXIT
out=build/$preset/out/sim
pages=build/hdd-pages
mkdir -p "$pages" docs/screenshots
scenario="Z:$(realpath sim/scenarios/disk-all.ini | tr / '\\')"
wine reg add 'HKCU\Software\Velmorant\WICKPOST' /v InitialDlgShown /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg add 'HKLM\SOFTWARE\Velmorant\Common' /v DisableFutureOSWarning /t REG_DWORD /d 1 /f /reg:64 >/dev/null 2>&1
wine "$out/sysglance_sim.exe" install "$scenario" 'C:\windows\temp\sysglance.log'
temp_dir=$(tw_prefix_temp)
for lang in en_US de_DE ja_JP; do
  rm -f "$temp_dir"/WHD*.tmp
  LANG=$lang.UTF-8 LC_ALL=$lang.UTF-8 TELLWICK_SCENARIO="$scenario" wine "$out/Wickpost.exe" >/dev/null 2>&1 &
  host=$!
  wine "$out/tray_command.exe" checknow
  page=$(tw_wait_page "$temp_dir" WHD)
  # The page's base is the module's own path in Wine; here the module's folder.
  tw_page_copy "$page" "$out" "$pages/$lang.html"
  wine "$out/tray_command.exe" exit || true
  wait "$host" 2>/dev/null || true
  tw_render "$pages/$lang.html" 380,1400 "$pages/$lang.png" "hdd-${lang%_*}"
done
wine "$out/sysglance_sim.exe" remove
