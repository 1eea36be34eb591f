#!/usr/bin/env bash
# orvexcard.exe under Wine with a private WINEPREFIX, on the simulated reader:
# format, write a generated sample, inspect --json, dump, restore. It runs as
# installed for a user whose name is outside every ANSI code page: its folder
# takes no log, so the trace goes to the user's local application data folder,
# and the simulated reader lies below the user's folder too. Cards cross
# over both ways: what orvexcard.exe formatted and wrote verifies under the
# Linux orvexcard with the same `inspect --json` answer, and the other way
# round; both run on one simulated reader directory. Last, orvexcard.exe on
# PC/SC, where Wine has no service: exit 3 and the plain message.
# Any step that fails ends the script, naming the step.
#
# usage: scripts/windows-cli.sh [WINDOWS_BUILD_DIR [LINUX_BUILD_DIR]]
#        (defaults build-win and build; the Linux orvexcard is built there
#        when it is missing, the Windows one must be built already)
set -euo pipefail
cd "$(dirname "$0")/.."

absolute() { case "$1" in /*) printf '%s' "$1" ;; *) printf '%s' "$PWD/$1" ;; esac; }
built="$(absolute "${1:-build-win}")/cli/orvexcard.exe"
linuxBuild="$(absolute "${2:-build}")"
lin="$linuxBuild/cli/orvexcard"
if [ ! -x "$lin" ]; then
  cmake -S . -B "$linuxBuild" >/dev/null
  cmake --build "$linuxBuild" -j2 --target orvexcard
fi
for program in "$built" "$lin"; do
  [ -x "$program" ] || { echo "windows-cli: $program is not built" >&2; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/orvexcard-wincli.XXXXXX")
step=setup
finish() {
  local rc=$?
  if [ "$rc" -ne 0 ]; then
    echo "windows-cli: FAILED at: $step" >&2
    for log in "$work"/*.log "${winlog:-}"; do [ -f "$log" ] && { echo "--- $log" >&2; tail -n 20 "$log" >&2; }; done
  fi
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
  exit "$rc"
}
trap finish EXIT

unset ORVEXCARD_SIM
# Wine names files in the Unix locale's charset: UTF-8, or no name outside ASCII.
export LC_ALL=C.UTF-8
export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The Linux program's settings (the Windows one keeps its own in the prefix's registry).
export ORVEXCARD_REGISTRY_DIR="$work/registry"
user="$work/Jürgen 山田"
sim="$user/sim"
winpath() { local p="${1//\//\\}"; printf 'Z:%s' "$p"; }
# Installed: a folder the operator cannot write. Root writes everywhere, so a
# directory of the log file's name keeps the log out of it.
exe="$work/Program Files/OrvexCard/orvexcard.exe"
mkdir -p "$(dirname "$exe")/OrvexCard wizard.log"
cp "$built" "$exe"
winlog="$user/AppData/Local/Tessovanwerk/OrvexCard/OrvexCard wizard.log"
# Start blocks in the Windows log.
logStarts() { grep -c 'clsLog.Class_Initialize()' "$winlog"; }

win() { ORVEXCARD_SIM="$(winpath "$sim")" wine "$exe" --lang en "$@"; }
linux() { ORVEXCARD_SIM="$sim" "$lin" --lang en "$@"; }
# inspect --json of the card, line ends as on Linux.
inspectWith() { "$1" inspect --json | tr -d '\r'; }

mkdir -p "$ORVEXCARD_REGISTRY_DIR"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n"ocardlog"="%s"\r\n' \
  "$work/linux.log" > "$ORVEXCARD_REGISTRY_DIR/HKCU.reg"
step="Wine prefix with the user's local application data folder"
wineboot -i >/dev/null 2>&1
mkdir -p "$user/AppData/Local"
wine reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders' /v 'Local AppData' \
  /t REG_EXPAND_SZ /d "$(winpath "$user/AppData/Local")" /f >/dev/null

# A sample file as the maker's tool writes it: format name, time stamp, a
# blank, comment, creator text, fingerprint, then 8820 bytes of samples. Its
# name is outside every ANSI code page: it reaches orvexcard.exe only as UTF-16.
sample="$work/Probe café ☕.7kx"
{
  printf '%-25s' '7kx/1.0.0'
  printf '%-16s ' '20260101T120000Z'
  printf '%-100s' 'Generated cross-over sample'
  printf '%-24s' 'OSC/3.6/10010'
  printf '%-16s' ''
  head -c 8820 /dev/urandom
} > "$sample"

step="orvexcard.exe: simulated reader with a blank card"
win sim init
win sim insert --blank
step="orvexcard.exe: format, its log in the user's folder"
win format --kind drink
starts=$(logStarts)
wine reg query 'HKCU\Software\Tessovanwerk\OrvexCard' /v ocardlog |
  grep -qF 'AppData\Local\Tessovanwerk\OrvexCard\OrvexCard wizard.log'
step="orvexcard.exe: write the sample"
win write "$(winpath "$sample")" --name "Written under Wine" --duration 45
step="orvexcard.exe: inspect --json, the stored log path followed"
inspectWith win > "$work/win.json"
grep -q '"name": "Written under Wine"' "$work/win.json"
[ "$(logStarts)" -gt "$starts" ]
step="Linux orvexcard: inspect --json of the card orvexcard.exe wrote"
inspectWith linux > "$work/linux.json"
diff -u "$work/win.json" "$work/linux.json"

step="orvexcard.exe: dump"
win dump "$(winpath "$work/dump.bin")"
cmp "$work/dump.bin" "$sim/OrvexCard Simulated Reader 0/card.bin"
step="orvexcard.exe: restore over a card formatted anew"
linux format --kind station
win restore "$(winpath "$work/dump.bin")"
inspectWith linux > "$work/restored.json"
diff -u "$work/win.json" "$work/restored.json"

step="Linux orvexcard: format and write"
linux format --kind station
linux write "$sample" --name "Written on Linux" --duration 30
inspectWith linux > "$work/linux2.json"
grep -q '"name": "Written on Linux"' "$work/linux2.json"
step="orvexcard.exe: inspect --json of the card the Linux orvexcard wrote"
inspectWith win > "$work/win2.json"
diff -u "$work/linux2.json" "$work/win2.json"

step="orvexcard.exe --help: the language as Windows chooses it"
wine "$exe" --help | tr -d '\r' > "$work/help.out"
grep -q "user's interface language" "$work/help.out"
if grep -E 'LC_ALL|LC_MESSAGES|LANG\b' "$work/help.out"; then false; fi

for api in mcard scard; do
  step="orvexcard.exe --api $api status on PC/SC without a service"
  set +e
  wine "$exe" --lang en --api "$api" status > "$work/status.out" 2>&1
  rc=$?
  set -e
  cat "$work/status.out"
  [ "$rc" -eq 3 ] || { echo "exit code $rc, expected 3" >&2; false; }
  # The plain message: Windows has no pcscd to start.
  tr -d '\r' < "$work/status.out" | grep -qx 'orvexcard: PC/SC service is not running'
done
echo "windows-cli: orvexcard.exe passed under Wine, cards cross over both ways"
