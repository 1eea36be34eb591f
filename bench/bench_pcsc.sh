#!/usr/bin/env bash
# orvexcard's PC/SC path against the plainest PC/SC client, in one run through
# one private pcscd with the virtual reader driver and our card emulator.
# First pcscd runs with APDU logging while orvexcard makes one dump and one
# restore through each driver: the commands it sends are taken from that log.
# Then pcscd runs again without logging, and each of those orvexcard commands
# and the plain client (bench/plain_pcsc_client.c) sending exactly the same
# APDUs are timed as whole processes, alternately, several times; for a dump
# the plain client also saves what it read as orvexcard saves its image (a
# synced new file renamed over the old one). The medians of wall time and
# their ratio are printed against the goal of 1.2, and the CPU time (user +
# system) of each, which a busy machine inflates less. Figures, not a test.
#   usage: bench/bench_pcsc.sh [path/to/orvexcard] [path/to/orvex_card_emulator] [runs (7)]
# Needs root: pcscd always serves /run/pcscd/pcscd.comm, so everything runs in
# a private mount namespace with its own /run/pcscd (tests/integration/run_private.sh);
# a system pcscd is neither seen nor touched.
set -euo pipefail
export LC_ALL=C  # a decimal point in the clock readings
here=$(cd "$(dirname "$0")" && pwd)
program=$(realpath "${1:-build/cli/orvexcard}")
emulator=$(realpath "${2:-build/tests/emulator/orvex_card_emulator}")
runs=${3:-7}
if [ -z "${ORVEX_BENCH_IN_PRIVATE_NS:-}" ]; then
  export ORVEX_BENCH_IN_PRIVATE_NS=1
  exec "$here/../tests/integration/run_private.sh" "$0" "$program" "$emulator" "$runs"
fi
# ORVEX_BENCH_RT=1: pcscd, the emulator and both clients at a real-time
# priority, so that on a busy machine they wait for a core as little as on a
# quiet one.
rt=(); [ -n "${ORVEX_BENCH_RT:-}" ] && rt=(chrt -f 10)
pcscd=$(command -v pcscd || echo /usr/sbin/pcscd)
vpcd=/usr/lib/pcsc/drivers/serial/libifdvpcd.so
if [ ! -x "$pcscd" ] || [ ! -f "$vpcd" ]; then echo "bench_pcsc: pcscd and vsmartcard-vpcd are needed (scripts/setup.sh)" >&2; exit 1; fi

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
read -ra pcsclite <<<"$(pkg-config --cflags --libs libpcsclite)"
cc -O2 -Wall -Wextra -Werror "$here/plain_pcsc_client.c" "${pcsclite[@]}" -o "$work/plain"

# The virtual reader driver serves two slots, on the port and the next one.
port_free() { ! ss -Htln "sport = :$1" | grep -q .; }
port=0
for _ in $(seq 50); do
  candidate=$((20000 + RANDOM % 40000))
  if port_free "$candidate" && port_free $((candidate + 1)); then port=$candidate; break; fi
done
[ "$port" -gt 0 ] || { echo "bench_pcsc: no free pair of TCP ports" >&2; exit 1; }
mkdir -p "$work/conf"
printf 'FRIENDLYNAME "Orvex Bench Reader"\nDEVICENAME /dev/null:0x%X\nLIBPATH %s\nCHANNELID 0x%X\n' \
  "$port" "$vpcd" "$port" > "$work/conf/vpcd"
reader="Orvex Bench Reader 00 00"

export ORVEXCARD_SIM='' ORVEXCARD_REGISTRY_DIR="$work/registry"
export XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config"

# A formatted drink card as the emulator's image, made on the simulated reader.
ORVEXCARD_SIM="$work/sim" "$program" sim init >/dev/null
ORVEXCARD_SIM="$work/sim" "$program" sim insert --blank >/dev/null
ORVEXCARD_SIM="$work/sim" "$program" format --kind drink >/dev/null
cp "$work/sim/OrvexCard Simulated Reader 0/card.bin" "$work/card.img"
cp "$work/card.img" "$work/image.bin"

pcscd_pid=
start_pcscd() {  # extra pcscd options
  "${rt[@]}" "$pcscd" --foreground --config "$work/conf" "$@" >"$work/pcscd.log" 2>&1 &
  pcscd_pid=$!; pids+=("$pcscd_pid")
  "${rt[@]}" "$emulator" --port "$port" --image "$work/card.img" >>"$work/emulator.log" 2>&1 &
  emulator_pid=$!; pids+=("$emulator_pid")
  for _ in $(seq 100); do
    "$work/plain" "$reader" --wait 2>/dev/null && return 0
    sleep 0.1
  done
  echo "bench_pcsc: pcscd did not see the emulated card; its log:" >&2; tail -20 "$work/pcscd.log" >&2; exit 1
}
stop_pcscd() {
  kill "$emulator_pid" "$pcscd_pid" 2>/dev/null || true
  wait "$emulator_pid" "$pcscd_pid" 2>/dev/null || true
}
orvexcard() {  # api command file
  "$program" --api "$1" --reader "$reader" --wait 10 "$2" "$3" >/dev/null
}
# Wall and CPU (user + system) milliseconds of one whole process: the wall
# time from the shell's microsecond clock, the CPU time from its rusage;
# nothing started around the program.
timed() {
  local TIMEFORMAT='%3U %3S' start
  {
    start=$EPOCHREALTIME
    time "${rt[@]}" "$@" >/dev/null 2>>"$work/timed.err" || echo "failed: ${*:1:2}" >>"$work/timed.err"
    echo "$start $EPOCHREALTIME"
  } 2>&1 | awk 'NR == 1 { cpu = ($1 + $2) * 1000 } NR == 2 { printf "%.1f %.0f\n", ($2 - $1) * 1000, cpu }'
}
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# 1. The commands orvexcard sends, from pcscd's APDU log.
start_pcscd --apdu --debug
for api in mcard scard; do
  for command in dump restore; do
    from=$(wc -l <"$work/pcscd.log")
    file=$work/image.bin; [ "$command" = dump ] && file=$work/dump-$api.bin
    orvexcard "$api" "$command" "$file" || { echo "bench_pcsc: orvexcard $api $command failed" >&2; exit 1; }
    sleep 0.2  # the log line of the last answer
    tail -n +"$((from + 1))" "$work/pcscd.log" | sed -n 's/.*APDU: //p' > "$work/$api-$command.apdu"
  done
done
stop_pcscd
[ -n "${ORVEX_BENCH_KEEP_APDUS:-}" ] && cp "$work"/*.apdu "$ORVEX_BENCH_KEEP_APDUS"/
cmp -s "$work/dump-mcard.bin" "$work/image.bin" || { echo "bench_pcsc: the dump differs from the card" >&2; exit 1; }

# 2. Timed, without logging: orvexcard and the plain client alternately.
start_pcscd
echo "PC/SC path through a private pcscd $("$pcscd" --version | sed -n 's/^pcsc-lite version \(.*\)\.$/\1/p') with vpcd and the card emulator; $runs runs, whole processes, medians${rt:+; real-time priority}"
# The floor: orvexcard started and ended without a reader (loading it and the
# C++ runtime), which the plain C client pays only in part.
for _ in $(seq "$runs"); do timed "$program" --help; done >"$work/floor"
echo "orvexcard start and exit without a reader (--help): $(cut -d' ' -f1 "$work/floor" | median) ms, CPU $(cut -d' ' -f2 "$work/floor" | median) ms"
printf '%-6s %-8s %6s %13s %9s %7s %-12s %12s %9s\n' api command apdus orvexcard_ms plain_ms ratio 'goal <= 1.2' orvexcard_cpu plain_cpu
for api in mcard scard; do
  for command in dump restore; do
    apdus=$work/$api-$command.apdu
    file=$work/image.bin; saved=(); [ "$command" = dump ] && file=$work/timed.bin saved=("$work/plain.bin")
    : >"$work/ours"; : >"$work/theirs"
    for _ in $(seq "$runs"); do
      timed "$program" --api "$api" --reader "$reader" --wait 10 "$command" "$file" >>"$work/ours"
      timed "$work/plain" "$reader" "$apdus" "${saved[@]}" >>"$work/theirs"
    done
    ours=$(cut -d' ' -f1 "$work/ours" | median); theirs=$(cut -d' ' -f1 "$work/theirs" | median)
    ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "%.2f", (b > 0) ? a / b : 0 }')
    verdict=$(awk -v r="$ratio" 'BEGIN { print (r <= 1.2) ? "met" : "MISSED" }')
    printf '%-6s %-8s %6d %13s %9s %7s %-12s %12d %9d\n' "$api" "$command" "$(wc -l <"$apdus")" "$ours" "$theirs" \
      "$ratio" "$verdict" "$(cut -d' ' -f2 "$work/ours" | median)" "$(cut -d' ' -f2 "$work/theirs" | median)"
  done
done
if grep -q . "$work/timed.err"; then echo "failures while timing:" >&2; sort -u "$work/timed.err" >&2; fi
stop_pcscd
