#!/usr/bin/env bash
# Whole-process wall times of orvexcard on the simulated reader, through both
# drivers, without and with a reader latency of 5 ms per memory call. Prints,
# per command, medians over the runs: the whole process time (and its range),
# its CPU time (user + system, which a busy machine does not inflate), the
# process time above the floor,
# the time until the card was "active", the time of the card operation
# itself; and the memory pieces of the operation and the memory calls of the
# whole run; and the time the operation spent reading back what it wrote
# (format, write), whose share of a sample write at 5 ms latency is printed
# at the end against its goal of at most 10 %. The verdict compares the median process time with the bound. With a latency, the bound is
# 1.1 x calls x latency + 50 ms; without, 50 ms for status and inspect and
# 100 ms for format and write. The program's own start and exit, without a
# reader, comes first as the floor of every figure. Figures, not a test.
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

"$program" sim init >/dev/null
"$program" sim insert --blank >/dev/null

# Wall and CPU (user + system) milliseconds of one whole process, from the
# shell's own rusage: nothing started around the program.
# ORVEX_BENCH_RT=1 runs the program at a real-time priority (root), so that
# on a busy machine it waits for a core as little as on a quiet one.
rt=(); [ -n "${ORVEX_BENCH_RT:-}" ] && rt=(chrt -f 10)
timed() {
  local TIMEFORMAT='%3R %3U %3S'
  { time "${rt[@]}" "$@" >/dev/null 2>"$work/stderr" || true; } 2>&1 | awk '{ printf "%d %d\n", $1 * 1000, ($2 + $3) * 1000 }'
}
field() { sed -n "s/.*$1=\([0-9.-]*\).*/\1/p" <<<"$2"; }

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
range() { sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END { printf "%s-%s", lo, hi }'; }

# The floor: the same program started and ended without a reader.
for _ in $(seq "$runs"); do timed "$program" --help; done >"$work/floor"
echo "orvexcard on the simulated reader; $runs runs each, whole process wall time, median (min-max)${rt:+; real-time priority}"
echo "process start and exit without a reader (--help): $(cut -d' ' -f1 "$work/floor" | median) ms" \
  "($(cut -d' ' -f1 "$work/floor" | range)), CPU $(cut -d' ' -f2 "$work/floor" | median) ms"
floor=$(cut -d' ' -f1 "$work/floor" | median)
printf '%-6s %-8s %-8s %10s %11s %7s %11s %9s %12s %11s %6s %6s %8s %s\n' \
  api command latency process_ms min-max cpu_ms above_floor active_ms operation_ms readback_ms pieces calls bound_ms within
: >"$work/readback-cost"
for api in scard mcard; do
  for latency in 0 5; do
    echo "latency_ms=$latency" > "$reader/faults"
    for command in status inspect format write; do
      case $command in
        format) args=(format --kind drink) ;;
        write) args=(write "$work/bench.7kx") ;;
        *) args=("$command") ;;
      esac
      : >"$work/times"; : >"$work/active"; : >"$work/operation"; : >"$work/readback"
      for _ in $(seq "$runs"); do
        timed "$program" --api "$api" --timings "${args[@]}" >>"$work/times"
        line=$(grep '^timings:' "$work/stderr" || true)
        field active_ms "$line" >>"$work/active"; field operation_ms "$line" >>"$work/operation"
        field readback_ms "$line" >>"$work/readback"
        pieces=$(field reader_pieces "$line"); calls=$(field reader_calls "$line")
      done
      cut -d' ' -f1 "$work/times" >"$work/process"
      process=$(median <"$work/process"); cpu=$(cut -d' ' -f2 "$work/times" | median)
      if [ "$latency" -gt 0 ]; then
        bound=$(awk -v c="${calls:-0}" -v l="$latency" 'BEGIN { printf "%d", 1.1 * c * l + 50 }')
      elif [ "$command" = status ] || [ "$command" = inspect ]; then bound=50
      else bound=100; fi
      within=yes; [ "$process" -le "$bound" ] || within=NO
      active=$(median <"$work/active"); operation=$(median <"$work/operation"); readback=$(median <"$work/readback")
      printf '%-6s %-8s %-8s %10d %11s %7d %11d %9s %12s %11s %6s %6s %8d %s\n' "$api" "$command" "${latency}ms" "$process" \
        "$(range <"$work/process")" "$cpu" $((process - floor)) "${active:--}" "${operation:--}" "${readback:--}" "${pieces:--}" "${calls:--}" "$bound" "$within"
      # The read-back's share of a sample write: its time against the rest of
      # the operation, per run, then the median.
      if [ "$command" = write ] && [ "$latency" -eq 5 ]; then
        share=$(paste "$work/operation" "$work/readback" | awk '$1 > $2 { printf "%.1f\n", 100 * $2 / ($1 - $2) }' | median)
        echo "$api ${readback:-?} ${operation:-?} ${share:-?}" >>"$work/readback-cost"
      fi
    done
  done
done
while read -r api readback operation share; do
  verdict=met; awk -v s="$share" 'BEGIN { exit !(s <= 10) }' || verdict=MISSED
  echo "read-back of a sample write at latency_ms=5, $api: $readback ms of the operation's $operation ms," \
    "$share % more than writing alone (goal <= 10 %): $verdict"
done <"$work/readback-cost"
