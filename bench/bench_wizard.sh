#!/usr/bin/env bash
# Figures of the wizard window on the simulated reader, each against its
# target: start to the first shown window, a formatted card inserted to the
# task page shown, the CPU of the idle window polling an empty reader, and
# the longest pause of the window's event loop during a sample write with a
# reader latency of 20 ms per memory call. Figures, not a test: the exit
# status is 0 whether targets are met or not (1 when a run failed).
#   usage: bench/bench_wizard.sh [path/to/wizard_bench] [idle seconds (30)] [runs (5)]
# Without a path it builds build/tools/wizard_bench. Runs offscreen unless
# QT_QPA_PLATFORM says otherwise (e.g. xcb under xvfb-run).
set -euo pipefail
cd "$(dirname "$0")/.."
harness=${1:-}
idle=${2:-30}
runs=${3:-5}
if [ -z "$harness" ]; then
  cmake -S . -B build >/dev/null
  cmake --build build -j2 --target wizard_bench >/dev/null
  harness=build/tools/wizard_bench
fi
harness=$(realpath "$harness")
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

run() { "$harness" --work "$work" "$@" 2>"$work/stderr" || { cat "$work/stderr" >&2; exit 1; }; }
value() { sed -n "s/^$1=//p"; }
stats() { sort -n | awk '{ v[NR] = $1 } END { printf "%.0f %.0f", v[int((NR + 1) / 2)], v[NR] }'; }
verdict() { awk -v v="$1" -v t="$2" 'BEGIN { print (v < t) ? "met" : "MISSED" }'; }
row() { printf '%-58s %14s   target < %-26s %s\n' "$1" "$2" "$3" "$4"; }

echo "wizard window on the simulated reader, QT_QPA_PLATFORM=$QT_QPA_PLATFORM, $(nproc) cores"

for _ in $(seq "$runs"); do ORVEX_BENCH_T0_NS=$(date +%s%N) run start; done >"$work/starts"
read -r median worst <<<"$(value start_ms <"$work/starts" | stats)"
read -r inmain _ <<<"$(value start_from_main_ms <"$work/starts" | stats)"
row "start to first shown window (median / worst of $runs)" "$median / $worst ms" "300 ms" "$(verdict "$worst" 300)"
echo "  of which from main() on: median $inmain ms (the rest is loading the program and its libraries)"

out=$(run insert "$runs")
read -r median worst <<<"$(value insert_ms <<<"$out" | stats)"
polling=$(value polling_ms <<<"$out" | tail -n 1)
target=$((2 * polling + 50))
row "formatted card inserted to task page (median / worst of $runs)" "$median / $worst ms" "$target ms (2 x $polling + 50)" "$(verdict "$worst" "$target")"

out=$(run idle "$idle")
cpu=$(value idle_cpu_percent <<<"$out")
row "idle window polling an empty reader, CPU over ${idle} s" "$cpu %" "0.5 % of one core" "$(verdict "$cpu" 0.5)"

out=$(run write)
pause=$(value write_max_pause_ms <<<"$out")
took=$(value write_ms <<<"$out")
row "longest event-loop pause in a write (latency_ms=20; ${took%.*} ms)" "$pause ms" "100 ms" "$(verdict "$pause" 100)"
