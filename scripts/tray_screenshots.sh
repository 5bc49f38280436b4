#!/usr/bin/env bash
# Screenshots of what a user sees of the tray: Wickpost on Wine's desktop with a taskbar
# (the desktop named "shell"), with probe modules answering as a scene needs. Saves PNGs
# under build/screenshots/ (tray-*.png). Needs the win32 (or given) build with its tests.
#   scripts/tray_screenshots.sh [preset]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/wine-env.sh
preset=${1:-win32}
build=build/$preset
shots=$PWD/build/screenshots
mkdir -p "$shots"
for f in "$build/out/sim/Wickpost.exe" "$build/out/sim/Popcard.dll" "$build/out/test/probe_module.dll"; do
  [ -e "$f" ] || { echo "missing $f: build $preset first" >&2; exit 1; }
done

tw_wine_up
trap tw_wine_down EXIT
reg() { wine reg add "$1" /v "$2" /t "$3" /d "$4" /f >/dev/null 2>&1; }
reg 'HKCU\Software\Velmorant\WICKPOST' ClockSpeed REG_DWORD 50
reg 'HKCU\Software\Velmorant\WICKPOST' InitialDlgShown REG_DWORD 1

# scene NAME RELEASE MINIPOPUP SECONDS MODULE=INI...: runs the host and saves the desktop.
scene() {
  local name=$1 release=$2 mini=$3 seconds=$4
  shift 4
  local dir
  dir=$(mktemp -d /tmp/tellwick-tray.XXXXXX)
  cp "$build/out/sim/Wickpost.exe" "$build/out/sim/Popcard.dll" "$dir/"
  for m in "$@"; do
    cp "$build/out/test/probe_module.dll" "$dir/${m%%=*}.dll"
    printf '[probe]\r\n%b\r\n' "${m#*=}" >"$dir/${m%%=*}.ini"
  done
  reg 'HKCU\Software\Wine\AppDefaults\Wickpost.exe' Version REG_SZ "$release"
  reg 'HKCU\Software\Velmorant\WICKPOST' MiniPopup REG_DWORD "$mini"
  wine explorer /desktop=shell,800x600 "Z:$(echo "$dir/Wickpost.exe" | tr / '\\')" >/dev/null 2>&1 &
  sleep "$seconds"
  xwd -root -display "$DISPLAY" -silent | convert xwd:- -crop 800x600+0+0 +repage "$shots/tray-$name.png"
  echo "screenshot: $shots/tray-$name.png"
  wineserver -k >/dev/null 2>&1 || true
  wait 2>/dev/null || true
  wineserver -p >/dev/null 2>&1
  rm -rf "$dir"
}

line='interval=0\r\nauto=1\r\ntext=New drivers are available for your PC.'
warn='interval=0\r\nauto=0x10000001\r\ntext=Battery: the pack is worn and should be replaced.'
held='interval=0\r\nauto=0x20000002\r\ntext=Hard disk: errors were found on drive C:.'
scene normal win2008r2 1 5 "wkptrss=interval=0"
scene pending win2008r2 0 5 "wkptrss=$line"
scene alert win2008r2 1 5 "wkptrss=$held"
scene mini-one win2008r2 1 5 "wkptrss=$line"
scene mini-three win2008r2 1 5 "wkpthdd=$line" "wkptrss=$warn" "wkptxwpk=interval=0\r\nauto=1\r\ntext=Your warranty ends in 30 days: extend it now and keep your PC covered."
scene toast win81 1 6 "wkptrss=$line"

# The tray menu and the three-line mini popup as the scenario tests leave them.
reg 'HKCU\Software\Velmorant\WICKPOST' MiniPopup REG_DWORD 1
wine "$build/tests/host/tray_scenario_test.exe" --gtest_filter='*ContextMenu*:*MiniPopupPlacement*' >/dev/null 2>&1 ||
  echo "tray_scenario_test failed" >&2
for bmp in "$build"/screenshots/tray-menu.bmp "$build"/screenshots/mini-popup-three-lines.bmp; do
  [ -e "$bmp" ] || continue
  png="$shots/tray-test-$(basename "$bmp" .bmp).png"
  convert "$bmp" "$png" && echo "screenshot: $png"
done
