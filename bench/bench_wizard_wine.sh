#!/usr/bin/env bash
# The Windows window's start under Wine: from starting orvexcard-wizard.exe
# to its window mapped on a private X display (Xvfb), on the simulated
# reader, with Wine's server already running (as on a desktop where Wine
# has started before). For scale the same for orvexcard.exe --version, the
# floor of starting any program under Wine. Figures, not a test.
#   usage: bench/bench_wizard_wine.sh [build-win] [runs (5)]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build-win}")
runs=${2:-5}
wizard=$build/wizard/orvexcard-wizard.exe
cli=$build/cli/orvexcard.exe
[ -f "$wizard" ] || { echo "bench_wizard_wine: no $wizard (scripts/windows.sh builds it)" >&2; exit 1; }
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi
work=$(mktemp -d)
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all LC_ALL=C.UTF-8 QT_QPA_PLATFORM=windows
export ORVEXCARD_SIM=$work/sim ORVEXCARD_REGISTRY_DIR=$work/registry
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
wineserver -p
wine "$cli" sim init >/dev/null
wine "$cli" sim insert --blank >/dev/null

ms() { echo "$1 $2" | awk '{ printf "%.0f\n", ($2 - $1) * 1000 }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
mapped() { xwininfo -root -tree 2>/dev/null | grep -q -e '"OrvexCard wizard"' -e '"OrvexCard Assistent"'; }

: >"$work/cli"; : >"$work/window"
for _ in $(seq "$runs"); do
  start=$EPOCHREALTIME
  wine "$cli" --version >/dev/null
  ms "$start" "$EPOCHREALTIME" >>"$work/cli"

  start=$EPOCHREALTIME
  wine "$wizard" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 3000); do mapped && break; sleep 0.005; done
  mapped || { echo "bench_wizard_wine: the window did not appear" >&2; exit 1; }
  ms "$start" "$EPOCHREALTIME" >>"$work/window"
  kill "$pid" 2>/dev/null || true
  wine taskkill /f /im orvexcard-wizard.exe >/dev/null 2>&1 || true
  wait "$pid" 2>/dev/null || true
  while mapped; do sleep 0.05; done
done
echo "Under Wine $(wine --version 2>/dev/null) on Xvfb, $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); medians of $runs"
echo "orvexcard.exe --version (starting a program under Wine): $(median <"$work/cli") ms"
echo "orvexcard-wizard.exe to its window mapped:              $(median <"$work/window") ms"
echo "sizes: orvexcard-wizard.exe $(stat -c %s "$wizard") bytes, orvexcard.exe $(stat -c %s "$cli") bytes (with symbols)"
stage=$build/installer-stage
if [ -f "$stage/orvexcard-wizard.exe" ]; then
  echo "as installed (stripped): orvexcard-wizard.exe $(stat -c %s "$stage/orvexcard-wizard.exe") bytes," \
       "orvexcard.exe $(stat -c %s "$stage/orvexcard.exe") bytes; installer $(stat -c %s "$build"/orvexcard-*-setup.exe) bytes"
fi
