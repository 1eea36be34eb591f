#!/usr/bin/env bash
# Whole-process timings of orvexcard format and write on the simulated reader,
# without and with a reader latency of 5 ms per memory call. Prints, per run:
# the whole process time, the time until the card was "active", the time of
# the card operation itself and the memory pieces the reader moved, and how
# the operation compares with pieces x latency. Figures, not a test.
#   usage: bench/bench_cli.sh [path/to/orvexcard] [runs]
set -euo pipefail
program=$(realpath "${1:-build/cli/orvexcard}")
runs=${2:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ORVEXCARD_SIM="$work/sim" ORVEXCARD_REGISTRY_DIR="$work/registry"
export XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config"
reader="$ORVEXCARD_SIM/OrvexCard Simulated Reader 0"

{
  printf '%-25s' '7kx/1.0.0'; printf '%-16s ' 20261206T120000Z
  printf '%-100s' 'Benchmark sample'; printf '%-24s' 'OSC/3.6/10010'; printf '%-16s' ''
  head -c 8820 /dev/zero | tr '\0' 'a'
} > "$work/bench.7kx"

"$program" sim init
"$program" sim insert --blank

now_ms() { date +%s%3N; }

printf '%-8s %-10s %8s %10s %13s %7s %15s\n' command latency process_ms active_ms operation_ms pieces 'op/(pieces*lat)'
for latency in 0 5; do
  echo "latency_ms=$latency" > "$reader/faults"
  for command in format write; do
    for _ in $(seq "$runs"); do
      if [ "$command" = format ]; then args=(format --kind drink); else args=(write "$work/bench.7kx"); fi
      start=$(now_ms)
      line=$("$program" --timings "${args[@]}" 2>&1 >/dev/null | grep '^timings:')
      process=$(( $(now_ms) - start ))
      active=$(sed -n 's/.*active_ms=\([0-9-]*\).*/\1/p' <<<"$line")
      operation=$(sed -n 's/.*operation_ms=\([0-9]*\).*/\1/p' <<<"$line")
      pieces=$(sed -n 's/.*reader_pieces=\([0-9]*\).*/\1/p' <<<"$line")
      ratio=-
      if [ "$latency" -gt 0 ]; then
        ratio=$(awk -v o="$operation" -v p="$pieces" -v l="$latency" 'BEGIN { printf "%.3f", o / (p * l) }')
      fi
      printf '%-8s %-10s %8d %10d %13d %7d %15s\n' "$command" "${latency}ms" "$process" "$active" "$operation" "$pieces" "$ratio"
    done
  done
done
