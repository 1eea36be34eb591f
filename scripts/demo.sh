#!/usr/bin/env bash
# Sets up the machine, builds the programs and starts the wizard window on the
# simulated reader: one reader with a blank card inserted and a generated demo
# sample on the window's command line. Settings and the trace log go to
# build/demo/. The window speaks German when $LANG is German, else English.
#
# Without a display ($DISPLAY and $WAYLAND_DISPLAY unset) it says so, renders
# the window's pages offscreen into build/demo/pages/ and runs the same flow
# through orvexcard: the blank card is formatted, loaded with the sample and
# inspected.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build >/dev/null

demo="$PWD/build/demo"
reader="OrvexCard Simulated Reader 0"
case "${LC_ALL:-${LC_MESSAGES:-${LANG:-}}}" in
  de*) lng=1 lang=de ;;
  *) lng=2 lang=en ;;
esac
display=yes
[ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && display=

if [ -n "$display" ]; then
  cmake --build build -j2 --target orvexcard orvexcard-wizard
else
  cmake --build build -j2 --target orvexcard wizard_screenshots
fi

rm -rf "$demo"
mkdir -p "$demo"
export ORVEXCARD_SIM="$demo/sim"
export ORVEXCARD_REGISTRY_DIR="$demo/registry"
# The demo's own settings: its trace goes beside them; the SCM driver on the
# simulated reader.
mkdir -p "$ORVEXCARD_REGISTRY_DIR"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n"ocardlog"="%s"\r\n"lng"=dword:0000000%s\r\n"api"="MCARD"\r\n"reader"="%s"\r\n' \
  "$demo/trace.log" "$lng" "$reader" > "$ORVEXCARD_REGISTRY_DIR/HKCU.reg"
orvexcard() {
  echo "\$ orvexcard $*"
  build/cli/orvexcard --lang "$lang" "$@"
}

# A sample file as the maker's tool writes it: format name, time stamp, a
# blank, comment, creator text, fingerprint, then 8820 bytes of samples.
sample="$demo/demo.7kx"
{
  printf '%-25s' '7kx/1.0.0'
  printf '%-16s ' "$(date -u +%Y%m%dT%H%M%SZ)"
  printf '%-100s' 'Generated demo sample'
  printf '%-24s' 'OSC/3.6/10010'
  printf '%-16s' ''
  head -c 8820 /dev/urandom
} > "$sample"

orvexcard sim init
orvexcard sim insert --blank

if [ -n "$display" ]; then
  cat <<EOF
Starting the wizard on the simulated reader: a blank card is inserted and
$sample is on its command line. Format the card, then load the sample.
Meanwhile, from another terminal:
  export ORVEXCARD_SIM="$ORVEXCARD_SIM"
  build/cli/orvexcard sim remove        # pull the card
  build/cli/orvexcard sim insert        # put it back
Settings and trace log: $demo
EOF
  exec build/wizard/orvexcard-wizard "$sample"
fi

echo "No display (\$DISPLAY and \$WAYLAND_DISPLAY are unset): rendering the window's pages"
echo "offscreen into $demo/pages/ and running the same flow through orvexcard."
QT_QPA_PLATFORM=offscreen build/tools/wizard_screenshots --out "$demo/pages" \
  --work "$demo/window" --lang "$lang" --sample "$sample"
orvexcard format --kind drink
orvexcard sample-info "$sample"
orvexcard write "$sample" --name "Demo card" --duration 45
orvexcard inspect
