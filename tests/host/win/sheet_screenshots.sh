#!/bin/bash
# Screenshots of the settings sheet (general page and a module page) and the About box, in one
# language: tests/host/win/sheet_screenshots.sh BUILD_DIR OUT_DIR [UNIX_LOCALE]
# Needs a running prefix and display (scripts/lib/wine-env.sh: tw_wine_up) and xdotool.
set -euo pipefail
build=$1 out=$2 locale=${3:-en_US.UTF-8}
tag=$(basename "$build")-${locale%%.*}
work=$(mktemp -d /tmp/tellwick-shots.XXXXXX)
mkdir -p "$out"
cp "$build/out/sim/Wickpost.exe" "$work/"
cp "$build/out/test/probe_module.dll" "$work/wkpthdd.dll"
printf '[probe]\r\nsetup=300\r\n' >"$work/wkpthdd.ini"
wine reg add 'HKCU\Software\Wine\AppDefaults\Wickpost.exe' /v Version /d win2008r2 /f >/dev/null 2>&1
wine reg add 'HKCU\Software\Velmorant\WICKPOST' /v InitialDlgShown /t REG_DWORD /d 1 /f >/dev/null 2>&1
for view in 32 64; do wine reg add 'HKLM\Software\Velmorant\WICKPOST' /v Version /d 'V7.01L10 M00' /reg:$view /f >/dev/null 2>&1; done
source "$(dirname "$0")/../../../scripts/lib/window_shots.sh"
tw_shots_decorate

shot() { tw_shot_window "$1" "$out/$2-$tag.png"; }

# Ends this prefix's hosts (by their ids), not anyone else's.
stop_hosts() {
  local pid
  for pid in $(pgrep -x Wickpost.exe); do
    if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
      kill "$pid" 2>/dev/null || true
      for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
      kill -KILL "$pid" 2>/dev/null || true  # a Wine process in a modal loop may ignore TERM
    fi
  done
}

stop_hosts
cd "$work"
LC_ALL=$locale wine Wickpost.exe >/dev/null 2>&1 &
host=$!
for _ in $(seq 100); do xdotool search --onlyvisible --name 'Wine System Tray' >/dev/null 2>&1 && break; sleep 0.1; done
sleep 2
# Without a window manager Wine's tray window sits in the top left corner.
xdotool mousemove 12 31 click 3
sleep 1
xdotool key Up Up Return   # the About item, second from the bottom in every language
for _ in $(seq 30); do
  about=$(xdotool search --onlyvisible --name 'Tellwick' | while read -r w; do
  name=$(xdotool getwindowname "$w"); [[ $name != *' - Tellwick' && $name != 'Tellwick' ]] && echo "$w"; done | tail -1)
  [ -n "$about" ] && break
  sleep 0.2
done
sleep 0.5
[ -n "$about" ] && shot "$about" about
[ -n "$about" ] && xdotool mousemove --window "$about" $(($(xdotool getwindowgeometry --shell "$about" | sed -n "s/WIDTH=//p") / 2)) $(($(xdotool getwindowgeometry --shell "$about" | sed -n "s/HEIGHT=//p") - 20)) click 1
sleep 1
LC_ALL=$locale wine Wickpost.exe /SETTING >/dev/null 2>&1
sleep 2
sheet=$(tw_shot_wait_window ' - Tellwick$')
shot "$sheet" sheet-general
xdotool mousemove --window "$sheet" 95 36 click 1   # the second tab
sleep 1
shot "$sheet" sheet-module
eval "$(xdotool getwindowgeometry --shell "$sheet")"
xdotool mousemove --window "$sheet" $((WIDTH - 128)) $((HEIGHT - 21)) click 1   # Cancel
sleep 1
# The About box from the tray menu: right click on the icon, then the fourth item.
stop_hosts
wait "$host" 2>/dev/null || true
rm -rf "$work"
