#!/usr/bin/env bash
# Sets up the machine, builds the programs and runs orvexcard on the simulated
# reader: a blank card is inserted, formatted as a drink card, loaded with a
# generated sample and inspected. Settings and the trace log go to build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build >/dev/null
cmake --build build -j2 --target orvexcard

demo="$PWD/build/demo"
rm -rf "$demo"
mkdir -p "$demo"
export ORVEXCARD_SIM="$demo/sim"
export ORVEXCARD_REGISTRY_DIR="$demo/registry"
# The demo's own settings: its trace goes beside them.
mkdir -p "$ORVEXCARD_REGISTRY_DIR"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n"ocardlog"="%s"\r\n' \
  "$demo/trace.log" > "$ORVEXCARD_REGISTRY_DIR/HKCU.reg"
orvexcard() {
  echo "\$ orvexcard $*"
  build/cli/orvexcard --lang en "$@"
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
orvexcard format --kind drink
orvexcard sample-info "$sample"
orvexcard write "$sample" --name "Demo card" --duration 45
orvexcard inspect
