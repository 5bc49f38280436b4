#!/usr/bin/env bash
# Renders the battery module's pages (written in Shift_JIS, as the module writes them) with
# headless Chromium: build/screenshots/battery-{recal,halfcapa,nocapa,two-packs}.png, and
# smaller copies in docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${TW_RENDER_PRESET:-native}
{ cmake --preset "$preset" && cmake --build "build/$preset" --target bat_render_pages; } >/dev/null

pages=build/battery-pages
shots=build/screenshots
rm -rf "$pages" && mkdir -p "$pages" "$shots" docs/screenshots
for f in registration/style.css registration/pop_tail.png registration/pop_arrow2.png registration/headicon_support.png \
         battery/headicon_topics.png battery/headicon_important.png; do
  cp "resources/$f" "$pages/"
done
"build/$preset/tests/battery/bat_render_pages" "$(realpath "$pages")"

for name in recal halfcapa nocapa two-packs; do
  shot=$shots/battery-$name.png
  rm -f "$shot"
  # The popup is 380 px wide and 450 px high for one condition (it scrolls); taller here to show it all.
  height=450; [ "$name" = recal ] && height=640; [ "$name" = two-packs ] && height=900
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$pages/profile" --hide-scrollbars \
    --screenshot="$shot" --window-size=380,$height "file://$(realpath "$pages/$name.html")" >/dev/null 2>&1
  [ -s "$shot" ] || { echo "no screenshot for $name" >&2; exit 1; }
  convert "$shot" -strip -colors 64 "docs/screenshots/battery-$name.png"
  echo "rendered: $shot"
done
