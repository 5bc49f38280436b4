# The simulated notebook under Wine, shared by the main job (scripts/run.sh) and the soak run
# (scripts/soak.sh). Source it after scripts/lib/wine-env.sh, and call the functions after
# tw_wine_up, from the repository's root.

# tw_support_up [ROOT [SCENARIO]]: starts the support server's stand-in on the files under ROOT
# (default sim/support-server/scenarios) and points the modules at ROOT/SCENARIO (default
# "default") through TELLWICK_SUPPORT_HOST. Its state folder is $TW_SUPPORT_STATE.
tw_support_up() {
  local root=${1:-sim/support-server/scenarios} scenario=${2:-default}
  TW_SUPPORT_STATE=$(mktemp -d /tmp/tellwick-support.XXXXXX)
  python3 sim/support-server/support_server.py start --root "$root" --state "$TW_SUPPORT_STATE" >/dev/null
  export TELLWICK_SUPPORT_HOST="127.0.0.1:$(awk '$1 == "http" {print $2}' "$TW_SUPPORT_STATE/ports")/$scenario"
}

tw_support_down() {
  [ -n "${TW_SUPPORT_STATE:-}" ] || return 0
  python3 sim/support-server/support_server.py stop --state "$TW_SUPPORT_STATE" >/dev/null 2>&1 || true
  rm -rf "$TW_SUPPORT_STATE"
  TW_SUPPORT_STATE=
}

# tw_notebook_settings CLOCK_MS: the host and its modules set up for a run nobody attends: the
# clock, no first-run question, no question about Wine reporting a newer Windows, the battery
# module checking on its own, the maker's image switching the web notices on (checked on
# connection, every other minute), and the notebook first used today.
tw_notebook_settings() {
  local clock=$1
  _tw_reg() { wine reg add "$@" /f >/dev/null 2>&1; }
  _tw_reg 'HKCU\Software\Velmorant\WICKPOST' /v ClockSpeed /t REG_DWORD /d "$clock"
  _tw_reg 'HKCU\Software\Velmorant\WICKPOST' /v InitialDlgShown /t REG_DWORD /d 1
  _tw_reg 'HKLM\SOFTWARE\Velmorant\Common' /v DisableFutureOSWarning /t REG_DWORD /d 1 /reg:64
  _tw_reg 'HKCU\Software\Velmorant\WICKPOST\WKPTBAT' /v InitialAutoCheck /t REG_DWORD /d 1
  # The module reads the machine's switch in its own registry view: the 32-bit one in the
  # 32-bit build. A bare "wine reg" is itself 32-bit where Wine runs 32-bit programs.
  local view
  for view in 32 64; do
    _tw_reg 'HKLM\Software\Velmorant\WICKPOST\WKPTRSS' /v Enable /t REG_DWORD /d 1 /reg:$view
    _tw_reg 'HKLM\Software\Velmorant\WICKPOST\WKPTRSS' /v SetupEnable /t REG_DWORD /d 1 /reg:$view
  done
  _tw_reg 'HKCU\Software\Velmorant\WICKPOST\WKPTRSS' /v CheckMethod /t REG_DWORD /d 1
  _tw_reg 'HKCU\Software\Velmorant\WICKPOST\WKPTRSS' /v SuppressAutoCheckMinute /t REG_DWORD /d 1
  _tw_reg 'HKLM\Software\Velmorant\Sysglance' /v FirstLogin /t REG_SZ /d "$(date +%m/%d/%Y)" /reg:64
  unset -f _tw_reg
}

# tw_notebook_devices OUT SCENARIO_FILE: the graphics driver's control object (the sim's COM
# server, registered from the sim folder OUT) and the disk viewer's services and history from
# the same notebook (sim/README.md).
tw_notebook_devices() {
  local out=$1 scenario=$2
  wine regsvr32 /s "Z:$(realpath "$out")/igfxsim.dll" || echo "(the graphics object could not be registered)"
  wine "$out/sysglance_sim.exe" install "Z:$(echo "$scenario" | tr / '\\')" 'C:\windows\temp\sysglance.log' ||
    echo "(the disk viewer's stand-in could not be installed)"
}

# The user's temporary folder in the prefix, where the modules write their pages.
tw_prefix_temp() {
  local temp_dir="$WINEPREFIX/drive_c/users/${USER:-$(id -un)}/AppData/Local/Temp"
  [ -d "$temp_dir" ] || temp_dir=$(find "$WINEPREFIX/drive_c/users" -maxdepth 4 -type d -name Temp | head -n 1)
  echo "$temp_dir"
}
