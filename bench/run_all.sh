#!/usr/bin/env bash
# Every benchmark figure in one run: builds the benchmark configuration
# (Release, ORVEX_BUILD_BENCH=ON) and prints, each under a heading, the reader
# calls and bytes per card operation, the command line's wall times, cards per
# minute by reader count, the PC/SC path against a plain PC/SC client, and the
# window's figures; first where and when it was measured. Figures, not tests:
# a missed target is printed, not failed on.
#   usage: bench/run_all.sh [build dir (build-bench)] [runs (7)]
# ORVEX_BENCH_RT=1 runs the command-line and PC/SC timings at a real-time
# priority (see bench_cli.sh): on a shared machine the closest to a quiet one.
# The PC/SC comparison needs root (a private mount namespace); without it that
# part is skipped with a note. Run at a quiet moment: on a busy machine every
# wall time carries the wait for a free core.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
build=${1:-build-bench}
runs=${2:-7}

section() { printf '\n## %s\n\n' "$1"; }
# On a shared machine, background jobs (compilers) weigh less against the
# programs measured; children (pcscd, the emulator, the plain client) alike.
renice -n -10 $$ >/dev/null 2>&1 && niced=" (run at nice -10)" || niced=""

echo "# OrvexCard benchmarks"
echo "date:     $(date -u '+%Y-%m-%d %H:%M UTC')"
echo "commit:   $(git rev-parse --short HEAD 2>/dev/null || echo unknown)$(git diff --quiet 2>/dev/null || echo ' (with local changes)')"
echo "machine:  $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GiB", $2 / 1048576 }' /proc/meminfo)"
echo "system:   $(. /etc/os-release && echo "$PRETTY_NAME"), kernel $(uname -r)"
echo "build:    Release (-O2 -DNDEBUG), $(c++ --version | head -n 1), Qt $(qtpaths6 --qt-version 2>/dev/null || echo 6)"
echo "load:     $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) at the start$niced${ORVEX_BENCH_RT:+, timings at real-time priority}"

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DORVEX_BUILD_BENCH=ON -DORVEX_BUILD_TESTS=ON >/dev/null || exit 1
targets=(orvexcard orvex_card_emulator bench_cards bench_backends wizard_bench)
cmake --build "$build" -j2 --target "${targets[@]}" >/dev/null || { echo "build failed" >&2; exit 1; }

section "Reader calls and bytes per card operation (bench_cards, in-memory card)"
"$build/bench/bench_cards" --benchmark_counters_tabular=true 2>&1 | grep -v '^\*\*\*WARNING'

section "Back ends: exchanges per whole-card read and write (bench_backends)"
"$build/bench/bench_backends" --benchmark_counters_tabular=true 2>&1 | grep -v '^\*\*\*WARNING'

section "Command line wall times on the simulated reader (bench_cli.sh)"
bench/bench_cli.sh "$build/cli/orvexcard" "$runs"

section "Cards per minute by reader count (bench_batch.sh)"
if [ -x bench/bench_batch.sh ]; then
  bench/bench_batch.sh "$build/cli/orvexcard"
else
  echo "skipped: bench/bench_batch.sh is not in this checkout"
fi

section "PC/SC path through a private pcscd against a plain PC/SC client (bench_pcsc.sh)"
if [ "$(id -u)" -eq 0 ]; then
  bench/bench_pcsc.sh "$build/cli/orvexcard" "$build/tests/emulator/orvex_card_emulator" "$runs"
else
  echo "skipped: needs root for a private mount namespace with its own /run/pcscd"
fi

section "Wizard window (bench_wizard.sh)"
bench/bench_wizard.sh "$build/tools/wizard_bench" 30 5

echo
echo "load:     $(cut -d' ' -f1-3 /proc/loadavg) (1, 5, 15 min) at the end"
