#!/usr/bin/env bash
# The main job: builds the Windows programs and runs them on the simulated notebook under Wine
# (on $DISPLAY when there is one, else on Xvfb): wickinfo prints the notebook, then Wickpost
# runs with the delivered modules. Prints what was notified, saves screenshots under
# build/screenshots/, and fails, naming it, when a notice of the default notebook is missing,
# the host ends on its own or a program crashes.
#   scripts/run.sh [--scenario FILE] [--seconds N] [--preset win32|win64] [--no-build]
# FILE: see sim/README.md. Another notebook than the default raises notices of its own: its
# host runs N seconds (default 12) and only what ended or crashed fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
source scripts/lib/wine-env.sh
source scripts/lib/notebook.sh
source scripts/lib/notices.sh

usage() { echo "usage: scripts/run.sh [--scenario FILE] [--seconds N] [--preset win32|win64] [--no-build]" >&2; exit 64; }
scenario=
seconds=12
presets=(win32 win64)
build=1
while [ $# -gt 0 ]; do
  case "$1" in
    --scenario) [ $# -ge 2 ] || usage; scenario=$(realpath "$2"); shift 2 ;;
    --seconds) [ $# -ge 2 ] || usage; seconds=$2; shift 2 ;;
    --preset) [ $# -ge 2 ] && [[ $2 =~ ^win(32|64)$ ]] || usage; presets=("$2"); shift 2 ;;
    --no-build) build=0; shift ;;
    *) usage ;;
  esac
done
[ "$scenario" = "$(realpath sim/scenarios/default.ini)" ] && scenario=
notebook=${scenario:-$PWD/sim/scenarios/default.ini}

# What runs: the host, the delivered modules and the stand-ins of sim/ (the display helper is
# 64-bit only). A build directory with a cache is built as it is configured (the test command's
# tree): nothing is built again when it is up to date.
sim_set=(Wickpost_sim wkpthdd_sim wkptrss_sim wkptreg wkptbat_sim wkpthdmi_sim wkptanm_sim wkptxwpk_sim Diskwarn_sim
  Popcard wickinfo_sim tray_command sysglance_sim igfxsim displaychange ec_event)
build_set() {
  local preset=$1 started=$SECONDS log
  shift
  log=$(mktemp)
  if { [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset"; } >"$log" 2>&1 &&
    cmake --build --preset "$preset" --target "$@" >>"$log" 2>&1; then
    echo "build $preset: $(( SECONDS - started )) s"
    rm -f "$log"
  else
    tail -n 30 "$log"
    rm -f "$log"
    echo "FAIL: the $preset build failed"
    exit 1
  fi
}
if [ "$build" = 1 ]; then
  for preset in "${presets[@]}"; do
    if [ "$preset" = win64 ]; then build_set win64 "${sim_set[@]}" vidassist; else build_set win32 "${sim_set[@]}"; fi
  done
  # The 32-bit graphics module reaches the graphics object through the 64-bit helper and server.
  [[ " ${presets[*]} " == *" win64 "* ]] || build_set win64 vidassist igfxsim
fi

tw_wine_up
# The maker's support server: the local stand-in, serving sim/support-server/scenarios/default.
tw_support_up
# The notebook runs from a copy of its scenario: halfway through, the maker's Full-HD television
# is plugged in (a [display] section added, and the display change announced), unless the
# scenario describes its own displays.
work=$(mktemp -d)
trap 'tw_support_down; rm -rf "$work"; tw_wine_down' EXIT
cp "$notebook" "$work/unplugged.ini"
export TELLWICK_SCENARIO="Z:$(echo "$work/scenario.ini" | tr / '\\')"
export TELLWICK_GFX_LOG="Z:$(echo "$work/graphics.log" | tr / '\\')"
own_displays=$(grep -qi '^\[display\]' "$notebook" && echo 1 || true)
shots=build/screenshots
mkdir -p "$shots"

temp_dir=$(tw_prefix_temp)

# Each build meets the notebook as new: nothing the build before kept (the user's and the
# modules' settings, the web notices' history, the televisions known), then a quick clock and
# the settings of an unattended run (scripts/lib/notebook.sh); the mini popup stays until its
# picture is taken.
fresh_notebook() {
  local view app_data
  app_data=$(dirname "$(dirname "$temp_dir")")
  for view in 32 64; do wine reg delete 'HKLM\Software\Velmorant' /f /reg:$view >/dev/null 2>&1 || true; done
  wine reg delete 'HKCU\Software\Velmorant' /f >/dev/null 2>&1 || true
  rm -rf "$app_data/Roaming/Velmorant" "$app_data/Local/Velmorant"
  rm -f "$temp_dir"/W??*.tmp "$temp_dir/wkptreg.bmp" "$temp_dir"/EWI*.png
  tw_notebook_settings 50
  wine reg add 'HKCU\Software\Velmorant\WICKPOST' /v MiniPopupTime /t REG_DWORD /d 0 /f >/dev/null 2>&1
}

shot() {
  xwd -root -display "$DISPLAY" -silent | convert xwd:- "$1" 2>/dev/null && echo "screenshot: $1 ($2)"
}

# run_notebook PRESET: one build on the notebook; the problems found go to `problems`.
run_notebook() {
  local preset=$1 out=build/$1/out/sim started=$SECONDS
  local log=$work/wine-$preset.log host status info missing lines= page model serial
  problems=()
  problem() { problems+=("$1"); echo "FAIL $preset: $1"; }
  echo "== $preset ($(x86_64-w64-mingw32-objdump -f "$out/wickinfo.exe" | sed -n 's/.*file format //p'))"
  : > "$log"
  fresh_notebook
  cp "$work/unplugged.ini" "$work/scenario.ini"
  info=$(wine "$out/wickinfo.exe" 2>>"$log" | tr -d '\r') || problem "wickinfo ended with $?"
  printf '%s\n' "$info"
  model=$(sed -n 's/^Model: //p' <<<"$info")
  serial=$(sed -n 's/^Serial: //p' <<<"$info")

  : > "$work/graphics.log"
  if [ "$preset" = win32 ]; then
    cp build/win64/out/sim/vidassist.exe "$out/"
    wine regsvr32 /s "Z:$PWD/build/win64/out/sim/igfxsim.dll" 2>>"$log" || problem "the 64-bit graphics object could not be registered"
  fi
  tw_notebook_devices "$out" "$notebook" 2>>"$log"
  wine "$out/Wickpost.exe" >/dev/null 2>>"$log" &
  host=$!
  echo "host: started (pid $host)"
  # The hard-disk module checks by itself only in the first minutes of an hour: "Check now",
  # posted as the user's click is, so that a crash in a check ends the host as it would. Its
  # checks are over once the mini popup lists their five lines.
  wine "$out/tray_command.exe" checknow >/dev/null 2>>"$log" || problem "no host to send \"Check now\" to"
  if [ -z "$scenario" ]; then
    tw_host_runs "$host" "$log" && wine "$out/tray_command.exe" lines ${#TW_CHECKED_NOTICES[@]} >/dev/null 2>>"$log" || true
    missing=$(tw_await_pages "$temp_dir" "$host" "$log" 0 "${TW_CHECKED_NOTICES[@]}")
    [ -z "$missing" ] || problem "missing after \"Check now\": $(tw_notice_names $missing)"
    [ -z "$(tw_page "$temp_dir" WHM)" ] || problem "an HDMI notice came before the television"
  else
    sleep $(( (seconds + 1) / 2 ))
  fi
  if [ -z "$own_displays" ]; then
    printf '[display]\ndisplay0 = 0x1001 1280 720 32 hdmi\ndisplay0.monitor = VEL0A01 cea VelmorantTV0\n' >> "$work/scenario.ini"
    wine "$out/displaychange.exe" 1280 720 32 >/dev/null 2>>"$log" || problem "the display change was not announced"
    echo "plugged: the maker's Full-HD television on HDMI"
    if [ -z "$scenario" ]; then
      missing=$(tw_await_pages "$temp_dir" "$host" "$log" 60 WHM)
      [ -z "$missing" ] || problem "missing after the television: $(tw_notice_names WHM)"
    fi
  fi
  # The mini popup with a line per notice, before the anomaly's page (shown at once) replaces it.
  if [ -z "$scenario" ]; then
    local listed=0 prefix
    for prefix in "${TW_CHECKED_NOTICES[@]}" WHM; do [ -z "$(tw_page "$temp_dir" "$prefix")" ] || listed=$((listed + 1)); done
    tw_host_runs "$host" "$log" && lines=$(wine "$out/tray_command.exe" lines "$listed" 2>>"$log" | tr -d '\r' || true)
    [ "${lines:-0}" = 6 ] || problem "the mini popup shows ${lines:-no} lines, not 6"
  fi
  shot "$shots/wickpost-mini-$preset.png" "the mini popup"
  # The embedded controller finds the battery failing and announces it (sim/README.md).
  printf '[anomaly]\nbattery = red\n' >> "$work/scenario.ini"
  wine "$out/ec_event.exe" 0xC0 >/dev/null 2>>"$log" && echo "event: the embedded controller reports a battery fault" ||
    problem "the controller's event reached no window"
  if [ -z "$scenario" ]; then
    missing=$(tw_await_pages "$temp_dir" "$host" "$log" 60 WAM)
    [ -z "$missing" ] || problem "missing after the controller's event: $(tw_notice_names WAM)"
    tw_host_runs "$host" "$log" && wine "$out/tray_command.exe" page >/dev/null 2>>"$log" || problem "no page came on screen after the controller's event"
  else
    sleep $(( seconds / 2 ))
  fi
  shot "$shots/wickpost-$preset.png" "the anomaly page"

  for prefix in "${TW_CHECKED_NOTICES[@]}" WHM WAM; do
    page=$(tw_page "$temp_dir" "$prefix") && echo "notified: $(basename "$page"): $(tw_page_heading "$page")"
  done
  sed 's/^/display set: /' "$work/graphics.log"
  if [ -z "$scenario" ]; then
    tw_qr_check "$temp_dir/wkptreg.bmp" "$model" "$serial" || problem "the registration page's QR code is not the warranty form's"
  elif [ -e "$temp_dir/wkptreg.bmp" ]; then
    echo "QR code: $(zbarimg --raw -q "$temp_dir/wkptreg.bmp" 2>/dev/null | head -c 80)"
  fi

  local crash
  crash=$(tw_crash_report "$log" | paste -sd '|' | sed 's/|/ | /g')
  [ -z "$crash" ] || problem "a program crashed: $crash"
  if tw_alive "$host"; then
    wineserver -k >/dev/null 2>&1 || true
    wait "$host" 2>/dev/null || true
  else
    status=0
    wait "$host" 2>/dev/null || status=$?
    problem "the host ended on its own (exit status $status)"
    wineserver -k >/dev/null 2>&1 || true
  fi
  wineserver -p >/dev/null 2>&1
  if [ ${#problems[@]} -eq 0 ]; then
    echo "== $preset: passed in $(( SECONDS - started )) s"
  else
    echo "== $preset: FAILED in $(( SECONDS - started )) s: $(IFS=';'; echo "${problems[*]}" | sed 's/;/; /g')"
  fi
  [ ${#problems[@]} -eq 0 ]
}

failed=()
for preset in "${presets[@]}"; do
  if [ "$preset" = win32 ] && [ "$TW_WINE32" != 1 ]; then
    echo "== win32: not run, this machine cannot run 32-bit programs"
    continue
  fi
  run_notebook "$preset" || failed+=("$preset")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "run: FAILED (${failed[*]})"
  exit 1
fi
echo "run: passed"
