# Rendering the modules' pages for the README, shared by scripts/render-*.sh. Source it from
# the repository's root.

# tw_render PAGE WIDTH,HEIGHT SHOT [DOC]: PAGE (an HTML file) rendered with headless Chromium
# at that window size into SHOT (PNG), and a smaller copy docs/screenshots/DOC.png when DOC is
# given. The browser profile lives beside the page. Fails when Chromium makes no picture.
tw_render() {
  local page=$1 size=$2 shot=$3 doc=${4:-}
  rm -f "$shot"
  mkdir -p "$(dirname "$shot")"
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$(dirname "$(realpath "$page")")/profile" \
    --hide-scrollbars --screenshot="$shot" --window-size="$size" "file://$(realpath "$page")" >/dev/null 2>&1
  [ -s "$shot" ] || { echo "no screenshot of $page" >&2; return 1; }
  if [ -n "$doc" ]; then
    mkdir -p docs/screenshots
    convert "$shot" -strip -colors 64 "docs/screenshots/$doc.png"
    echo "rendered: docs/screenshots/$doc.png"
  else
    echo "rendered: $shot"
  fi
}

# tw_wait_page TEMP PREFIX: waits up to 30 s for a module's page file (TEMP/PREFIX*.tmp, not
# empty) and prints its path; fails when none comes.
tw_wait_page() {
  local temp=$1 prefix=$2 page
  for _ in $(seq 1 300); do
    page=$(ls "$temp/$prefix"*.tmp 2>/dev/null | head -n 1 || true)
    [ -n "$page" ] && [ -s "$page" ] && { echo "$page"; return 0; }
    sleep 0.1
  done
  echo "no $prefix page was written" >&2
  return 1
}

# tw_page_copy PAGE FOLDER DEST: PAGE with its base (the module's folder in Wine) moved to
# FOLDER here, so that its style sheets and images resolve; written to DEST.
tw_page_copy() {
  sed "s|<base href=\"[^\"]*\">|<base href=\"file://$(realpath "$2")/\">|" "$1" > "$3"
}
