#!/usr/bin/env bash
# One installer end to end under Wine, in a prefix of its own:
#   tests/package/install_test.sh x86|x64
# its signatures, msiexec /i, the files and machine values, the start at the next logon, the
# About box's version, then msiexec /x, which leaves the user's settings and history alone.
# Prints one line per check; exits 1 when any failed. Needs scripts/package.sh first.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
arch=$1
version=$(sed -n 's/^version=//p' packaging/product.txt)
msi=build/package/Tellwick-${version%% *}-$arch.msi
[ -f "$msi" ] || { echo "package $arch: $msi missing (run scripts/package.sh)"; exit 1; }
source scripts/lib/signing.sh
source scripts/lib/wine-env.sh

passed=0 failed=0
check() {
  local what=$1
  shift
  if "$@" >/dev/null 2>&1; then passed=$((passed + 1)); echo "ok      $arch: $what"
  else failed=$((failed + 1)); echo "FAILED  $arch: $what"; fi
}

# Every program and library inside, and the package itself, carry a valid signature.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"; tw_wine_down' EXIT
msiextract -C "$unpacked" "$msi" >/dev/null
signed_all() {
  local f
  tw_sign_verify "$msi" build/signing || return 1
  # The 32-bit package unpacks under "Program Files", with its blank.
  while IFS= read -r -d '' f; do
    tw_sign_verify "$f" build/signing || { echo "unsigned: $f" >&2; return 1; }
  done < <(find "$unpacked" -type f \( -name '*.exe' -o -name '*.dll' \) -print0)
}
check "osslsigncode verify: the package and each of its $(find "$unpacked" -type f \( -name '*.exe' -o -name '*.dll' \) | wc -l) programs" signed_all
check "no debug information in the package" test -z "$(find "$unpacked" -type f -name '*.debug')"

tw_wine_up 2>/dev/null
programs='C:\Program Files\Velmorant\Tellwick'
[ "$arch" = x86 ] && programs='C:\Program Files (x86)\Velmorant\Tellwick'
dir=$(winepath -u "$programs" 2>/dev/null)
view=/reg:64; [ "$arch" = x86 ] && view=/reg:32
value() { wine reg query "$1" /v "$2" $view 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
no_value() { ! wine reg query "$1" /v "$2" $view >/dev/null 2>&1; }

check "msiexec /i" wine msiexec /i "Z:$root/$msi" /qn
same_files() { diff <(find "$unpacked" -type f -printf '%f\n' | sort) <(find "$dir" -type f -printf '%f\n' | sort); }
check "every file of the package installed" same_files
check "\"Version\" for the About box" test "$(value 'HKLM\Software\Velmorant\WICKPOST' Version)" = "$version"
check "start at logon with /STARTUP" test "$(value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' Wickpost)" = "\"$programs\\Wickpost.exe\" /STARTUP"
settings_written() {
  local module key name type default view_ install meaning
  while IFS=$'\t' read -r module key name type default view_ install meaning; do
    [ "$install" = yes ] || continue
    wine reg query "HKLM\\$key" /v "$name" $view >/dev/null 2>&1 || { echo "missing: $key $name" >&2; return 1; }
  done < <(tail -n +2 packaging/machine-settings.tsv)
}
check "the machine settings with their defaults" settings_written
server_registered() { wine reg query 'HKCR\wkptsvr.wkptcom.1\CLSID' $view; }
check "the update server registered for elevation" server_registered

# The user's own data, as a season of use leaves it.
wine reg add 'HKCU\Software\Velmorant\WICKPOST' /v ClockSpeed /t REG_DWORD /d 1000 /f >/dev/null 2>&1
history=$(winepath -u 'C:\users' 2>/dev/null)/$(id -un)/AppData/Roaming/Velmorant/history.test
mkdir -p "$(dirname "$history")" && echo kept >"$history"

# The next logon: wineboot, as a session starts, runs the machine's Run entries. Without the maker's driver
# the installed host stops at its driver message, with its main window up; it is the installed one.
# (Windows 7, so that it does not need the toast bridge, an outside component, first.)
wine reg add 'HKCU\Software\Wine\AppDefaults\Wickpost.exe' /v Version /t REG_SZ /d win7 /f >/dev/null 2>&1
wineserver -k; wineserver -w
wine wineboot </dev/null >/dev/null 2>&1
tools=build/win64/out/sim
started=$(wine "$tools/tray_command.exe" running 2>/dev/null | tr -d '\r')
check "the installed host starts at logon ($started)" test "$started" = "$programs\\Wickpost.exe"
wineserver -k; wineserver -w
# The About box reads the installed version (the simulated notebook's host, as the release one
# needs the maker's driver).
wine "$tools/Wickpost.exe" >/dev/null 2>&1 &
host=$!
about=$(wine "$tools/tray_command.exe" about 2>/dev/null | tr -d '\r')
wine "$tools/tray_command.exe" exit >/dev/null 2>&1
wait "$host"
check "the About box shows \"$about\"" test "$about" = "Tellwick ${version%% *}"

# Removal in a session of its own, with nothing of the product running (its log is kept).
wineserver -k; wineserver -w
check "msiexec /x" wine msiexec /x "Z:$root/$msi" /qn /l* "Z:$root/build/logs/uninstall-$arch.log"
check "no program file left" test ! -e "$dir"
check "no \"Version\" left" no_value 'HKLM\Software\Velmorant\WICKPOST' Version
check "no start at logon left" no_value 'HKLM\Software\Microsoft\Windows\CurrentVersion\Run' Wickpost
settings_gone() {
  local module key name type default view_ install meaning
  while IFS=$'\t' read -r module key name type default view_ install meaning; do
    [ "$install" = yes ] || continue
    no_value "HKLM\\$key" "$name" || { echo "left: $key $name" >&2; return 1; }
  done < <(tail -n +2 packaging/machine-settings.tsv)
}
check "no machine setting left" settings_gone
check "the update server's registration removed" eval '! server_registered'
check "the user's settings kept" test "$(value 'HKCU\Software\Velmorant\WICKPOST' ClockSpeed)" = 0x3e8
check "the user's history kept" test -f "$history"

echo "package $arch: $passed checks passed, $failed failed"
[ "$failed" -eq 0 ]
