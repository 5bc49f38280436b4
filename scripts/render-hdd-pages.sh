#!/bin/bash
# The hard-disk module's page as the real module writes it (win64 sim build, Wine, the disk
# viewer's stand-in on sim/scenarios/disk-all.ini) in English, German and Japanese, rendered
# with headless Chromium into docs/screenshots/hdd-<language>.png.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=win64
{ cmake --preset $preset && cmake --build --preset $preset --target Wickpost_sim wkpthdd_sim Diskwarn_sim sysglance_sim tray_command; } >/dev/null
source scripts/lib/wine-env.sh
tw_wine_up
trap tw_wine_down EXIT
out=build/$preset/out/sim
pages=build/hdd-pages
mkdir -p "$pages" docs/screenshots
scenario="Z:$(realpath sim/scenarios/disk-all.ini | tr / '\\')"
wine reg add 'HKCU\Software\Velmorant\WICKPOST' /v InitialDlgShown /t REG_DWORD /d 1 /f >/dev/null 2>&1
wine reg add 'HKLM\SOFTWARE\Velmorant\Common' /v DisableFutureOSWarning /t REG_DWORD /d 1 /f /reg:64 >/dev/null 2>&1
wine "$out/sysglance_sim.exe" install "$scenario" 'C:\windows\temp\sysglance.log'
temp_dir="$WINEPREFIX/drive_c/users/${USER:-$(id -un)}/AppData/Local/Temp"
[ -d "$temp_dir" ] || temp_dir=$(find "$WINEPREFIX/drive_c/users" -maxdepth 4 -type d -name Temp | head -n 1)
for lang in en_US de_DE ja_JP; do
  rm -f "$temp_dir"/WHD*.tmp
  LANG=$lang.UTF-8 LC_ALL=$lang.UTF-8 TELLWICK_SCENARIO="$scenario" wine "$out/Wickpost.exe" >/dev/null 2>&1 &
  host=$!
  wine "$out/tray_command.exe" checknow
  page=
  for _ in $(seq 1 300); do page=$(ls "$temp_dir"/WHD*.tmp 2>/dev/null | head -n 1 || true); [ -n "$page" ] && [ -s "$page" ] && break; sleep 0.1; done
  [ -n "$page" ] || { echo "no page for $lang" >&2; exit 1; }
  # The page's base is the module's own path in Wine; here the module's folder.
  sed "s|<base href=\"[^\"]*\">|<base href=\"file://$(realpath "$out")/\">|" "$page" > "$pages/$lang.html"
  wine "$out/tray_command.exe" exit || true
  wait "$host" 2>/dev/null || true
  shot=$pages/$lang.png
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$pages/profile" --hide-scrollbars \
    --screenshot="$shot" --window-size=380,1400 "file://$(realpath "$pages/$lang.html")" >/dev/null 2>&1
  [ -s "$shot" ] || { echo "no screenshot for $lang" >&2; exit 1; }
  convert "$shot" -strip -colors 64 "docs/screenshots/hdd-${lang%_*}.png"
  echo "rendered: docs/screenshots/hdd-${lang%_*}.png ($(grep -o '<html lang="[^"]*"' "$pages/$lang.html"))"
done
wine "$out/sysglance_sim.exe" remove
