#!/usr/bin/env bash
# The Windows installer as an administrator runs it silently, in a fresh Wine
# prefix: install with the system's language, check the programs, the
# Start-menu entry, the .7kx type and the stored language, run the installed
# orvexcard.exe; uninstall and check that all of it is gone but the
# operator's settings; install again answering German.
# Any check that fails ends the script, naming it.
#
# usage: scripts/windows-installer.sh [WINDOWS_BUILD_DIR]   (default build-win)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-win}
shopt -s nullglob
setups=("$build"/orvexcard-*-setup.exe)
[ ${#setups[@]} -eq 1 ] || { echo "windows-installer: no single installer in $build (cmake --build $build --target installer)" >&2; exit 1; }
setup=$(cd "$(dirname "${setups[0]}")" && pwd)/$(basename "${setups[0]}")

work=$(mktemp -d "${TMPDIR:-/tmp}/orvexcard-setup.XXXXXX")
step=setup
finish() {
  local rc=$?
  [ "$rc" -eq 0 ] || echo "windows-installer: FAILED at: $step" >&2
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
  exit "$rc"
}
trap finish EXIT

export WINEPREFIX="$work/prefix" WINEDEBUG=-all LC_ALL=C.UTF-8 LANG=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
wineserver -p 30 || true
wineboot -i >/dev/null 2>&1

drive="$WINEPREFIX/drive_c"
dir="$drive/Program Files/Tessovanwerk/OrvexCard"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs"
product='HKCU\SOFTWARE\Tessovanwerk\OrvexCard'

check() { step=$1; shift; "$@" || { echo "windows-installer: check failed: $step" >&2; exit 1; }; }
# The data of a registry value as `reg query` prints it (the last word).
regValue() { wine reg query "$1" "${@:2}" 2>/dev/null | tr -d '\r' | awk 'NF >= 3 { v = $NF } END { print v }'; }
regLine() { wine reg query "$1" "${@:2}" 2>/dev/null | tr -d '\r'; }
installed() {
  [ -f "$dir/orvexcard-wizard.exe" ] && [ -f "$dir/orvexcard.exe" ] && [ -f "$dir/uninstall.exe" ] &&
    [ -f "$dir/licenses/LGPL-3.0-only.txt" ] && [ -f "$dir/licenses/QT-NOTICE.txt" ]
}
gone() {
  [ ! -e "$dir/orvexcard-wizard.exe" ] && [ ! -e "$dir/orvexcard.exe" ] && [ ! -e "$dir/uninstall.exe" ] &&
    [ ! -e "$menu/OrvexCard wizard.lnk" ] && [ ! -e "$menu/OrvexCard Assistent.lnk" ] &&
    ! wine reg query 'HKLM\Software\Classes\.7kx' >/dev/null 2>&1 &&
    ! wine reg query 'HKLM\Software\Classes\OrvexCard.Sample' >/dev/null 2>&1
}
# The uninstaller hands over to a copy of itself and returns at once.
uninstall() {
  wine "$dir/uninstall.exe" /S
  for _ in $(seq 1 120); do gone && return 0; sleep 0.5; done
  return 1
}

# Install with the system's language (English under this locale).
step="silent install"
wine "$setup" /S
check "programs, licences and uninstaller in Program Files" installed
check "Start-menu entry in English" test -f "$menu/OrvexCard wizard.lnk"
check ".7kx names the sample type" test "$(regValue 'HKLM\Software\Classes\.7kx' /ve)" = OrvexCard.Sample
check "the window opens samples" grep -q 'orvexcard-wizard.exe" "%1"' \
  <(regLine 'HKLM\Software\Classes\OrvexCard.Sample\shell\open\command' /ve)
check "the sample type's icon is the window's" grep -q 'orvexcard-wizard.exe,0' \
  <(regLine 'HKLM\Software\Classes\OrvexCard.Sample\DefaultIcon' /ve)
check "language stored as English" test "$(regValue "$product" /v lng)" = 0x2
step="installed orvexcard.exe --version"
version=$(wine "$dir/orvexcard.exe" --version 2>/dev/null | tr -d '\r' | head -n 1)
check "installed orvexcard.exe --version ($version)" grep -q '^orvexcard [0-9]' <<<"$version"
echo "windows-installer: installed; $version"

# A setting of the operator's, to be kept.
wine reg add "$product" /v ocardlog /t REG_SZ /d 'C:\users\Public\trace.log' /f >/dev/null 2>&1
step="silent uninstall"
check "uninstalled: programs, menu entry and sample type gone" uninstall
check "the operator's settings kept" test "$(regValue "$product" /v ocardlog)" = 'C:\users\Public\trace.log'
check "the uninstall entry gone" bash -c '! wine reg query "HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\OrvexCard" >/dev/null 2>&1'
echo "windows-installer: uninstalled; settings kept"

# The language question answered German.
step="silent install in German"
wine "$setup" /S /LNG=1
check "installed again" installed
check "Start-menu entry in German" test -f "$menu/OrvexCard Assistent.lnk"
check "language stored as German" test "$(regValue "$product" /v lng)" = 0x1
check "uninstalled again" uninstall
echo "windows-installer: German install and uninstall passed"
