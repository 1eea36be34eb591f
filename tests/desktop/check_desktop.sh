#!/usr/bin/env bash
# What a desktop learns from an installed tree once its caches are built.
# install BUILD: the build installed into a scratch prefix (the install step
# builds the caches). package BUILD: the Debian package made from the build,
# checked with lintian, unpacked and run: its desktop tree, its orvexcard, and
# its window offscreen on the simulated reader until it verifies the card there.
set -euo pipefail
mode=$1
build=$2
check="desktop integration"
[ "$mode" = install ] || check="debian package"
scratch=$(mktemp -d)
window=
fail() { echo "$check: $*" >&2; exit 1; }
cleanup() {
  if [ -n "$window" ]; then { kill "$window" && wait "$window"; } 2>/dev/null || true; fi
  rm -rf "$scratch"
}
trap cleanup EXIT

check_desktop_tree() {
  local prefix=$1 share=$1/share entry=$1/share/applications/orvexcard-wizard.desktop
  [ -x "$prefix/bin/orvexcard-wizard" ] || fail "the window is not installed"
  [ -x "$prefix/bin/orvexcard" ] || fail "the command line is not installed"
  [ -f "$share/icons/hicolor/scalable/apps/orvexcard-wizard.svg" ] || fail "no scalable icon"
  grep -qx 'Exec=orvexcard-wizard %f' "$entry" || fail "the entry does not hand a file to the window"
  grep -qx 'Name=OrvexCard wizard' "$entry" || fail "no English name"
  grep -qx 'Name\[de\]=OrvexCard Assistent' "$entry" || fail "no German name"
  desktop-file-validate "$entry" || fail "the entry does not validate"
  grep -qx '[0-9]*:application/x-orvexcard-sample:\*\.7kx' "$share/mime/globs2" \
    || fail "*.7kx is not mapped to the sample type"
  grep -q 'application/x-orvexcard-sample' "$share/mime/magic" \
    || fail "the sample type has no content match"
  grep -qx 'application/x-orvexcard-sample=orvexcard-wizard.desktop;' \
    "$share/applications/mimeinfo.cache" || fail "the window is not the type's handler"
}

if [ "$mode" = install ]; then
  cmake --install "$build" --prefix "$scratch" >/dev/null
  check_desktop_tree "$scratch"
  echo "$check: ok"
  exit 0
fi

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null \
  || fail "cpack failed"
deb=$(echo "$scratch"/out/orvexcard_*.deb)
[ -f "$deb" ] || fail "no package made"

field() { dpkg-deb -f "$deb" "$1"; }
field Depends | grep -q 'libqt6widgets6' || fail "the window's Qt is not a dependency"
field Depends | grep -q 'libpcsclite1' || fail "PC/SC is not a dependency"
[ "$(field Recommends)" = pcscd ] || fail "pcscd is not recommended"

lintian --allow-root --fail-on error,warning "$deb" || fail "lintian"

dpkg-deb -x "$deb" "$scratch/root"
usr=$scratch/root/usr
# What the package manager's triggers do on installing.
update-mime-database "$usr/share/mime" >/dev/null 2>&1 || fail "update-mime-database"
update-desktop-database -q "$usr/share/applications"
check_desktop_tree "$usr"

version=$("$usr/bin/orvexcard" --version | head -n1)
[ "$version" = "orvexcard $(field Version)" ] || fail "the packaged orvexcard says \"$version\""

# The window: its own settings, trace log and simulated reader with a
# formatted card in it.
export ORVEXCARD_SIM=$scratch/sim ORVEXCARD_REGISTRY_DIR=$scratch/registry XDG_STATE_HOME=$scratch/state
trace=$scratch/trace.log
mkdir -p "$ORVEXCARD_REGISTRY_DIR"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n"ocardlog"="%s"\r\n"lng"=dword:00000002\r\n"api"="MCARD"\r\n"reader"="%s"\r\n' \
  "$trace" "OrvexCard Simulated Reader 0" > "$ORVEXCARD_REGISTRY_DIR/HKCU.reg"
"$usr/bin/orvexcard" sim init >/dev/null
"$usr/bin/orvexcard" sim insert --blank >/dev/null
"$usr/bin/orvexcard" format --kind drink >/dev/null || fail "the packaged orvexcard cannot format"
rm -f "$trace"

QT_QPA_PLATFORM=offscreen "$usr/bin/orvexcard-wizard" >"$scratch/window.out" 2>&1 &
window=$!
verified() { grep -qs 'orvexcard.verifiyCard_chkalg: OK' "$trace"; }
for _ in $(seq 600); do
  if verified || ! kill -0 "$window" 2>/dev/null; then break; fi
  sleep 0.1
done
verified || { cat "$scratch/window.out" >&2; fail "the packaged window ended or did not verify the card"; }
echo "$check: ok ($(basename "$deb"))"
