#!/usr/bin/env bash
# Pictures of the update manager (107), licence (141) and progress (140) dialogs with their
# content, taken while web_update_win_test holds at each: docs/screenshots/web-manager.png,
# web-licence.png, web-progress.png. Needs the build with that test (default win64).
#   scripts/web_manager_screenshots.sh [preset]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/lib/wine-env.sh
source scripts/lib/window_shots.sh
preset=${1:-win64}
build=$PWD/build/$preset
out=$PWD/docs/screenshots
[ -e "$build/tests/web/win/web_update_win_test.exe" ] || { echo "build web_update_win_test ($preset) first" >&2; exit 1; }

tw_wine_up
work=$(mktemp -d /tmp/tellwick-manager-shots.XXXXXX)
trap 'tw_wine_down; rm -rf "$work"' EXIT
tw_shots_decorate
export TELLWICK_SHOTS="Z:$(echo "$work" | tr / '\\')"
LC_ALL=ja_JP.UTF-8 ctest --test-dir "$build" -R '^web_update_win_test$' --output-on-failure >"$work/ctest.log" 2>&1 &
tester=$!

declare -A caption=(
  [manager]='^アップデートプログラムのダウンロードとインストール - Tellwick$'
  [licence]='^使用許諾契約$'
  [progress]='^アップデートプログラムのダウンロード・インストール$')
taken=0
while kill -0 "$tester" 2>/dev/null; do
  for ready in "$work"/*.ready; do
    [ -e "$ready" ] || continue
    name=$(basename "$ready" .ready)
    w=$(tw_shot_wait_window "${caption[$name]}")
    [ -n "$w" ] || { echo "no window for $name" >&2; continue; }
    tw_shot_window "$w" "$out/web-$name.png"
    cp "$out/web-$name.png" "$work/$name.png"  # the test goes on once this is there
    rm -f "$ready"
    taken=$((taken + 1))
  done
  sleep 0.2
done
wait "$tester" || { cat "$work/ctest.log" >&2; exit 1; }
[ "$taken" -eq 3 ] || { echo "took $taken of 3 pictures" >&2; exit 1; }
