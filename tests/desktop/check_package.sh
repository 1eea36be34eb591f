#!/usr/bin/env bash
# Makes the Debian package from the build, checks it with lintian, unpacks it
# into a scratch folder and runs what it holds: the desktop integration, the
# packaged orvexcard, and the packaged window offscreen on the simulated
# reader until it has verified the card inserted there.
set -euo pipefail
build=$1
check="debian package"
. "$(dirname "$0")/desktop_checks.sh"
scratch=$(mktemp -d)
window=
cleanup() {
  if [ -n "$window" ]; then kill "$window" 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null \
  || fail "cpack failed"
deb=$(echo "$scratch"/out/orvexcard_*.deb)
[ -f "$deb" ] || fail "no package made"

field() { dpkg-deb -f "$deb" "$1"; }
field Depends | grep -q 'libqt6widgets6' || fail "the window's Qt is not a dependency"
field Depends | grep -q 'libpcsclite1' || fail "PC/SC is not a dependency"
[ "$(field Recommends)" = pcscd ] || fail "pcscd is not recommended"

# No errors and no warnings; lintian's informational tags are left alone.
lintian --allow-root --fail-on error,warning "$deb" || fail "lintian"

root=$scratch/root
dpkg-deb -x "$deb" "$root"
# What the package manager's triggers do on installing.
update-mime-database "$root/usr/share/mime" >/dev/null 2>&1 || fail "update-mime-database"
update-desktop-database -q "$root/usr/share/applications"
check_desktop_tree "$root/usr"
bin=$root/usr/bin

version=$("$bin/orvexcard" --version | head -n1)
[ "$version" = "orvexcard $(field Version)" ] || fail "the packaged orvexcard says \"$version\""

# The window: its own settings, trace log and simulated reader with a
# formatted card in it.
export ORVEXCARD_SIM=$scratch/sim ORVEXCARD_REGISTRY_DIR=$scratch/registry XDG_STATE_HOME=$scratch/state
reader="OrvexCard Simulated Reader 0"
trace=$scratch/trace.log
mkdir -p "$ORVEXCARD_REGISTRY_DIR"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n"ocardlog"="%s"\r\n"lng"=dword:00000002\r\n"api"="MCARD"\r\n"reader"="%s"\r\n' \
  "$trace" "$reader" > "$ORVEXCARD_REGISTRY_DIR/HKCU.reg"
"$bin/orvexcard" sim init >/dev/null
"$bin/orvexcard" sim insert --blank >/dev/null
"$bin/orvexcard" format --kind drink >/dev/null || fail "the packaged orvexcard cannot format"
rm -f "$trace"

QT_QPA_PLATFORM=offscreen "$bin/orvexcard-wizard" >"$scratch/window.out" 2>&1 &
window=$!
for _ in $(seq 600); do
  if grep -qs 'orvexcard.verifiyCard_chkalg: OK' "$trace"; then break; fi
  kill -0 "$window" 2>/dev/null || { cat "$scratch/window.out" >&2; fail "the packaged window ended"; }
  sleep 0.1
done
grep -qs 'orvexcard.verifiyCard_chkalg: OK' "$trace" \
  || { cat "$scratch/window.out" >&2; fail "the packaged window did not verify the card"; }
kill "$window"
wait "$window" 2>/dev/null || true
window=
echo "$check: ok ($(basename "$deb"))"
