# Sourced by the scripts: a fresh Wine prefix (64-bit Windows, so both PE32 and PE32+ run)
# with a warm wineserver, and a display (Xvfb when there is none).

# Whether this machine runs 32-bit Linux programs, and so Wine's 32-bit side (PE32 programs).
# Some kernels are built without 32-bit support: there the win32 build is built but not run.
tw_wine32_runs() {
  [ -x /usr/lib/wine/wine ] && /usr/lib/wine/wine --version >/dev/null 2>&1
}

# Without the 32-bit side, "wine" (Debian's wrapper starts the 32-bit loader first) must go
# straight to the 64-bit loader, for the tests' emulator and the scripts alike.
tw_wine64_only_path() {
  TW_WINE_BIN=$(mktemp -d /tmp/tellwick-winebin.XXXXXX)
  printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$TW_WINE_BIN/wine"
  chmod +x "$TW_WINE_BIN/wine"
  ln -s wine "$TW_WINE_BIN/wine-stable"  # what wineboot, winepath and the other launchers start
  export PATH="$TW_WINE_BIN:$PATH"
}

tw_wine_up() {
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEARCH=win64
  export WINEPREFIX
  TW_WINE32=1
  TW_WINE_BIN=
  if ! tw_wine32_runs; then
    TW_WINE32=0
    tw_wine64_only_path
    echo "wine: this machine cannot run 32-bit programs; only 64-bit Windows programs run" >&2
  fi
  export TW_WINE32
  WINEPREFIX=$(mktemp -d /tmp/tellwick-wine.XXXXXX)
  TW_XVFB_PID=
  if [ -z "${DISPLAY:-}" ]; then
    local n
    for n in $(seq 90 130); do
      [ -e /tmp/.X11-unix/X$n ] || [ -e /tmp/.X$n-lock ] || break
    done
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
    TW_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  fi
  # No Mono or Gecko download prompts while the prefix is made.
  WINEDLLOVERRIDES="mscoree,mshtml=" wineboot -i >/dev/null 2>&1
  wineserver -w
  wineserver -p >/dev/null 2>&1  # stays up between the many short test programs
  # A crashing program ends at once, with its exception as exit status: Wine's debugger would
  # hold it until the test's time limit. An empty command starts none (both registry views,
  # for 32-bit and 64-bit programs).
  local view
  for view in 32 64; do
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /t REG_SZ /d '' /f \
      /reg:$view </dev/null >/dev/null 2>&1
  done
  tw_wine_cjk_fonts
  # The first program brings up Wine's desktop and services, which inherit its standard
  # handles and outlive it: start them here, on /dev/null, not on a test runner's pipe.
  wine cmd.exe /c exit </dev/null >/dev/null 2>&1
}

# Wine's dialog fonts have no Japanese or Chinese glyphs: link them to the CJK fonts that
# setup.sh installs (Japanese first, then Simplified and Traditional Chinese), and map the
# Japanese UI font names onto them. Debian's Wine does not look in fonts-wine's folder, so
# the prefix gets its Tahoma too; without it Latin text falls back to a monospaced face. Marlett
# draws the caption buttons; without it the close box shows a letter "r".
tw_wine_cjk_fonts() {
  local key='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
  local links='ipag.ttf,IPAGothic\0NotoSansCJK-Regular.ttc,Noto Sans CJK SC\0NotoSansCJK-Regular.ttc,Noto Sans CJK TC'
  local face
  cp /usr/share/wine/fonts/tahoma*.ttf /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "Segoe UI" Arial; do
    wine reg add "$key\FontLink\SystemLink" /v "$face" /t REG_MULTI_SZ /d "$links" /f >/dev/null 2>&1
  done
  for face in "MS UI Gothic" "MS Gothic" "MS PGothic" "Meiryo" "Meiryo UI"; do
    wine reg add "$key\FontSubstitutes" /v "$face" /t REG_SZ /d IPAGothic /f >/dev/null 2>&1
  done
  # Wine's Chinese locales ask for these faces; none of them exists here.
  for face in SimSun NSimSun "Microsoft YaHei" SimHei; do
    wine reg add "$key\FontSubstitutes" /v "$face" /t REG_SZ /d "Noto Sans CJK SC" /f >/dev/null 2>&1
  done
  for face in PMingLiU MingLiU "Microsoft JhengHei"; do
    wine reg add "$key\FontSubstitutes" /v "$face" /t REG_SZ /d "Noto Sans CJK TC" /f >/dev/null 2>&1
  done
}

tw_wine_down() {
  [ -n "${WINEPREFIX:-}" ] || return 0
  wineserver -k >/dev/null 2>&1 || true
  [ -n "${TW_XVFB_PID:-}" ] && kill "$TW_XVFB_PID" 2>/dev/null
  case "$WINEPREFIX" in /tmp/tellwick-wine.*) rm -rf "$WINEPREFIX" ;; esac
  case "${TW_WINE_BIN:-}" in /tmp/tellwick-winebin.*) rm -rf "$TW_WINE_BIN" ;; esac
  return 0
}
