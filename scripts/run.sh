#!/usr/bin/env bash
# The main job: builds the Windows programs and runs them on the simulated notebook under Wine
# (on $DISPLAY when there is one, else on Xvfb): wickinfo prints the notebook, then Wickpost
# runs with the delivered modules for a while. Prints what was notified and saves screenshots
# under build/screenshots/.
#   scripts/run.sh [--scenario FILE] [--seconds N]     FILE: see sim/README.md
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
source scripts/lib/wine-env.sh

scenario=
seconds=12
while [ $# -gt 0 ]; do
  case "$1" in
    --scenario) scenario=$(realpath "$2"); shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    *) echo "usage: scripts/run.sh [--scenario FILE] [--seconds N]" >&2; exit 64 ;;
  esac
done

for preset in win32 win64; do
  { cmake --preset "$preset" && cmake --build --preset "$preset"; } >/dev/null
done

source scripts/lib/notebook.sh
source scripts/lib/render.sh
tw_wine_up
# The maker's support server: the local stand-in, serving sim/support-server/scenarios/default.
tw_support_up
# The notebook runs from a copy of its scenario: halfway through, the maker's Full-HD television
# is plugged in (a [display] section added, and the display change announced), unless the
# scenario describes its own displays.
plugged=$(mktemp -d)
trap 'tw_support_down; rm -rf "$plugged"; tw_wine_down' EXIT
cp "${scenario:-sim/scenarios/default.ini}" "$plugged/scenario.ini"
export TELLWICK_SCENARIO="Z:$(echo "$plugged/scenario.ini" | tr / '\\')"
export TELLWICK_GFX_LOG="Z:$(echo "$plugged/graphics.log" | tr / '\\')"
own_displays=$(grep -qi '^\[display\]' "$plugged/scenario.ini" && echo 1 || true)
cp "$plugged/scenario.ini" "$plugged/unplugged.ini"
shots=build/screenshots
mkdir -p "$shots"

# A quick clock and the settings of an unattended run (scripts/lib/notebook.sh).
tw_notebook_settings 50
temp_dir=$(tw_prefix_temp)

for preset in win32 win64; do
  if [ "$preset" = win32 ] && [ "$TW_WINE32" != 1 ]; then
    echo "== win32: not run, this machine cannot run 32-bit programs"
    continue
  fi
  out=build/$preset/out/sim
  echo "== $preset ($(x86_64-w64-mingw32-objdump -f "$out/wickinfo.exe" | sed -n 's/.*file format //p'))"
  wine "$out/wickinfo.exe" | tr -d '\r' || echo "(wickinfo exited with $?)"

  rm -f "$temp_dir"/W??*.tmp "$temp_dir/wkptreg.bmp" "$temp_dir"/EWI*.png
  cp "$plugged/unplugged.ini" "$plugged/scenario.ini"
  : > "$plugged/graphics.log"
  # The 32-bit graphics module reaches the graphics object through the 64-bit helper and server.
  if [ "$preset" = win32 ]; then
    cp build/win64/out/sim/vidassist.exe "$out/"
    wine regsvr32 /s "Z:$PWD/build/win64/out/sim/igfxsim.dll" || echo "(the 64-bit graphics object could not be registered)"
  fi
  tw_notebook_devices "$out" "${scenario:-$PWD/sim/scenarios/default.ini}"
  wine "$out/Wickpost.exe" >/dev/null 2>&1 &
  host=$!
  # The hard-disk module checks by itself only in the first minutes of an hour: "Check now".
  wine "$out/tray_command.exe" checknow >/dev/null 2>&1 || echo "(no host to send \"Check now\" to)"
  sleep $(( (seconds + 1) / 2 ))
  if [ -z "$own_displays" ]; then
    printf '[display]\ndisplay0 = 0x1001 1280 720 32 hdmi\ndisplay0.monitor = VEL0A01 cea VelmorantTV0\n' >> "$plugged/scenario.ini"
    wine "$out/displaychange.exe" 1280 720 32 >/dev/null 2>&1 || true
    echo "plugged: the maker's Full-HD television on HDMI"
    # Its notice is the last line to come; a moment more for the popup to take it.
    tw_wait_page "$temp_dir" WHM >/dev/null || true
    sleep 1
  fi
  # The mini popup with a line per notice, before the anomaly's page (shown at once) replaces it.
  xwd -root -display "$DISPLAY" -silent | convert xwd:- "$shots/wickpost-mini-$preset.png" 2>/dev/null &&
    echo "screenshot: $shots/wickpost-mini-$preset.png (the mini popup)"
  # The embedded controller finds the battery failing and announces it (sim/README.md).
  printf '[anomaly]\nbattery = red\n' >> "$plugged/scenario.ini"
  wine "$out/ec_event.exe" 0xC0 >/dev/null 2>&1 && echo "event: the embedded controller reports a battery fault"
  sleep $(( seconds / 2 ))
  xwd -root -display "$DISPLAY" -silent | convert xwd:- "$shots/wickpost-$preset.png" 2>/dev/null &&
    echo "screenshot: $shots/wickpost-$preset.png"
  for page in "$temp_dir"/W??*.tmp; do
    [ -e "$page" ] || { echo "no page was notified"; break; }
    # Pages declare their own encoding (the battery pages are Shift_JIS); headings are the
    # first <span> or <h3>.
    if grep -qi 'charset=Shift_JIS' "$page"; then text=$(iconv -f SHIFT_JIS -t UTF-8 "$page" 2>/dev/null || true)
    else text=$(cat "$page"); fi
    heading=$(printf '%s' "$text" | grep -o -E '<(span|h3)>[^<]*</(span|h3)>' | head -n 1 | sed 's/<[^>]*>//g' || true)
    # A web notice page: its notices' titles follow their links.
    [ -z "$heading" ] && heading=$(printf '%s' "$text" | grep -A1 -E '^<a href=.* target="_blank"' | grep -v -E '^(<a |--)' | paste -sd '|' || true)
    # Pages whose sections' headings span lines (the hard disk's): the page's own heading.
    [ -n "$heading" ] || heading=$(printf '%s' "$text" | grep -o -E '<h2>.*</h2>' | head -n 1 | sed 's/<[^>]*>//g' || true)
    # The warranty offer is an image: its title, and the image it shows.
    [ -n "$heading" ] || heading=$(printf '%s' "$text" | grep -o -E '<title>[^<]*</title>' | head -n 1 | sed 's/<[^>]*>//g' || true)
    image=$(printf '%s' "$text" | grep -o -E 'EWI[0-9A-F]{4}\.png' | head -n 1 || true)
    [ -n "$image" ] && heading="$heading (image $image, $(identify -format '%wx%h' "$temp_dir/$image" 2>/dev/null || echo missing))"
    echo "notified: $(basename "$page"): ${heading:-(no heading)}"
  done
  sed 's/^/display set: /' "$plugged/graphics.log"
  [ -e "$temp_dir/wkptreg.bmp" ] && echo "QR code: $(zbarimg --raw -q "$temp_dir/wkptreg.bmp" 2>/dev/null | head -c 80)"
  wineserver -k >/dev/null 2>&1 || true
  wait "$host" 2>/dev/null || true
  wineserver -p >/dev/null 2>&1
done
