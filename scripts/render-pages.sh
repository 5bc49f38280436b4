#!/usr/bin/env bash
# Renders the battery and web modules' pages (written in Shift_JIS, as the modules write them)
# with headless Chromium: build/screenshots/battery-{recal,halfcapa,nocapa,two-packs}.png,
# web-popup.png and web-history.png, and smaller copies in docs/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/render.sh
preset=${TW_RENDER_PRESET:-native}
{ cmake --preset "$preset" && cmake --build "build/$preset" --target bat_render_pages web_render_pages; } >/dev/null

pages=build/battery-pages
shots=build/screenshots
rm -rf "$pages" && mkdir -p "$pages" "$shots" docs/screenshots
for f in registration/style.css registration/pop_tail.png registration/pop_arrow2.png registration/headicon_support.png \
         battery/headicon_topics.png battery/headicon_important.png; do
  cp "resources/$f" "$pages/"
done
"build/$preset/tests/battery/bat_render_pages" "$(realpath "$pages")"

for name in recal halfcapa nocapa two-packs; do
  # The popup is 380 px wide and 450 px high for one condition (it scrolls); taller here to show it all.
  height=450; [ "$name" = recal ] && height=640; [ "$name" = two-packs ] && height=900
  tw_render "$pages/$name.html" 380,$height "$shots/battery-$name.png" "battery-$name"
done

# The web notices: the popup page with its three sections, and the history view's frameset.
web=build/web-pages
rm -rf "$web" && mkdir -p "$web"
for f in registration/style.css registration/pop_tail.png registration/pop_arrow2.png registration/headicon_support.png \
         battery/headicon_topics.png battery/headicon_important.png web/pop_arrow.png web/Itemicon_important.png \
         web/Itemicon_support.png web/Itemicon_topics.png web/velmlogo.png; do
  cp "resources/$f" "$web/"
done
"build/$preset/tests/web/web_render_pages" "$(realpath "$web")"
for page in popup:popup.html:380,640 history:wkptrshs1.htm:760,420; do
  IFS=: read -r name file size <<<"$page"
  tw_render "$web/$file" "$size" "$shots/web-$name.png" "web-$name"
done

# The update manager's catalogue page as the win64 Wine test wrote it (web_catalogue_win_test),
# when that test has run; its base (the module's folder on Windows) is dropped so the images and
# style sheets beside it here resolve.
catalogue=build/win64/catalogue-page/wkptrsdl.htm
if [ -s "$catalogue" ]; then
  dl=build/catalogue-page && rm -rf "$dl" && mkdir -p "$dl"
  cp resources/registration/style.css resources/web/local.css resources/web/sysglance_*.png "$dl/"
  sed 's|<base href="[^"]*">||' "$catalogue" > "$dl/wkptrsdl.htm"
  tw_render "$dl/wkptrsdl.htm" 693,379 "$shots/web-catalogue.png" web-catalogue
else
  echo "catalogue page: not rendered (run web_catalogue_win_test in the win64 preset first)"
fi
