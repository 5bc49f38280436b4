#!/bin/bash
# The registration reminder (with its QR code), the extended-warranty offer and the HDMI page as
# the real modules write them on the default notebook (win64 sim build, Wine, the support
# server's stand-in, the maker's television plugged in), rendered with headless Chromium into
# docs/screenshots/{registration,warranty,hdmi}.png.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=win64
{ cmake --preset $preset && cmake --build --preset $preset --target Wickpost_sim wkptreg wkptxwpk_sim wkpthdmi_sim \
    tray_command displaychange igfxsim vidassist sysglance_sim Diskwarn_sim; } >/dev/null
source scripts/lib/wine-env.sh
source scripts/lib/render.sh
source scripts/lib/notebook.sh
tw_wine_up
tw_support_up
work=$(mktemp -d)
trap 'tw_support_down; tw_wine_down; rm -rf "$work"' EXIT
out=build/$preset/out/sim
pages=build/offer-pages
rm -rf "$pages" && mkdir -p "$pages"
cp sim/scenarios/default.ini "$work/scenario.ini"
export TELLWICK_SCENARIO="Z:$(echo "$work/scenario.ini" | tr / '\\')"
tw_notebook_settings 50
tw_notebook_devices "$out" "$PWD/sim/scenarios/default.ini"
temp_dir=$(tw_prefix_temp)
rm -f "$temp_dir"/W??*.tmp
wine "$out/Wickpost.exe" >/dev/null 2>&1 &
host=$!
reg=$(tw_wait_page "$temp_dir" WRG)
offer=$(tw_wait_page "$temp_dir" WXP)
# The television on HDMI, announced as Windows does.
printf '[display]\ndisplay0 = 0x1001 1280 720 32 hdmi\ndisplay0.monitor = VEL0A01 cea VelmorantTV0\n' >> "$work/scenario.ini"
wine "$out/displaychange.exe" 1280 720 32 >/dev/null 2>&1 || true
hdmi=$(tw_wait_page "$temp_dir" WHM)
# The pages name their images in the temporary folder (the QR code, the offer's image): copied beside.
cp "$temp_dir"/wkptreg.bmp "$temp_dir"/EWI*.png "$pages/" 2>/dev/null || true
for page in "registration:$reg" "warranty:$offer" "hdmi:$hdmi"; do
  tw_page_copy "${page#*:}" "$out" "$pages/${page%%:*}.html"
  sed -i -E "s#file:///[A-Za-z]:[^\"'&]*/(wkptreg\.bmp|EWI[0-9A-F]{4}\.png)#file://$(realpath "$pages")/\1#g" "$pages/${page%%:*}.html"
done
wine "$out/tray_command.exe" exit || true
wait "$host" 2>/dev/null || true
tw_render "$pages/registration.html" 380,760 "$pages/registration.png" registration
tw_render "$pages/warranty.html" 700,400 "$pages/warranty.png" warranty
tw_render "$pages/hdmi.html" 380,450 "$pages/hdmi.png" hdmi
