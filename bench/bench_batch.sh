#!/usr/bin/env bash
# Cards per minute of `orvexcard write SAMPLE --batch --all-readers --json` on
# the simulated reader with a latency of 5 ms per memory call, for 1, 2 and 4
# readers. An operator stand-in puts a formatted card into a reader as soon as
# the batch waits on it and takes it out as soon as its line is printed; the
# time runs from the first card in to the last line out. Figures, not a test:
# the goal is 4 readers at 3.5 x the cards per minute of one.
#   usage: bench/bench_batch.sh [path/to/orvexcard] [cards per reader] [polling ms]
set -euo pipefail
program=$(realpath "${1:-build/cli/orvexcard}")
cards=${2:-12}
poll=${3:-20}
latency=5
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ORVEXCARD_REGISTRY_DIR="$work/registry" XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config"
mkdir -p "$ORVEXCARD_REGISTRY_DIR"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n"omsc.idleTimerInterval"="%s"\r\n"omsc.onlineTimerInterval"="%s"\r\n' \
  "$poll" "$poll" > "$ORVEXCARD_REGISTRY_DIR/HKLM.reg"

{
  printf '%-25s' '7kx/1.0.0'; printf '%-16s ' 20261206T120000Z
  printf '%-100s' 'Benchmark sample'; printf '%-24s' 'OSC/3.6/10010'; printf '%-16s' ''
  head -c 8820 /dev/zero | tr '\0' 'a'
} > "$work/bench.7kx"

# A formatted card image, made once through the program itself.
ORVEXCARD_SIM="$work/prep" "$program" sim init >/dev/null
ORVEXCARD_SIM="$work/prep" "$program" sim insert --blank >/dev/null
ORVEXCARD_SIM="$work/prep" "$program" --api mcard format --kind drink >/dev/null
ORVEXCARD_SIM="$work/prep" "$program" --api mcard dump "$work/formatted.bin" >/dev/null

echo "orvexcard write --batch --all-readers, simulated readers, latency_ms=$latency, polling ${poll} ms, $cards cards per reader"
printf '%-8s %6s %7s %9s %14s %9s %14s\n' readers cards failed wall_ms cards_per_min speedup mean_card_ms
single=""
for readers in 1 2 4; do
  sim="$work/sim$readers"
  mkdir -p "$sim"
  for i in $(seq "$readers"); do
    mkdir -p "$sim/Reader $i"
    echo "latency_ms=$latency" > "$sim/Reader $i/faults"
  done
  line=$(ORVEXCARD_SIM="$sim" python3 - "$program" "$work/bench.7kx" "$work/formatted.bin" "$sim" "$cards" <<'EOF'
import json, os, selectors, shutil, signal, subprocess, sys, time
program, sample, image, sim, per_reader = sys.argv[1:5] + [int(sys.argv[5])]
proc = subprocess.Popen([program, "write", sample, "--batch", "--all-readers", "--json"],
                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
sel = selectors.DefaultSelector()
sel.register(proc.stdout, selectors.EVENT_READ, "out")
sel.register(proc.stderr, selectors.EVENT_READ, "err")
inserted, records, buffers = {}, [], {"out": b"", "err": b""}
first = last = None
suffix = ": waiting for the next card"
def insert(reader):
    global first
    tmp = os.path.join(sim, reader, "card.tmp")
    shutil.copyfile(image, tmp)
    os.rename(tmp, os.path.join(sim, reader, "card.bin"))  # in whole or not at all
    inserted[reader] = inserted.get(reader, 0) + 1
    first = first or time.monotonic()
readers = sorted(os.listdir(sim))
deadline = time.monotonic() + 600
while len(records) < per_reader * len(readers) and time.monotonic() < deadline:
    for key, _ in sel.select(timeout=1):
        chunk = os.read(key.fileobj.fileno(), 65536)
        if not chunk:
            continue
        buffers[key.data] += chunk
        *lines, buffers[key.data] = buffers[key.data].split(b"\n")
        for raw in lines:
            text = raw.decode("utf-8", "replace")
            if key.data == "out":
                record = json.loads(text)
                last = time.monotonic()
                records.append(record)
                os.unlink(os.path.join(sim, record["reader"], "card.bin"))
            elif suffix in text:
                reader = text.split(suffix)[0]
                if reader in readers and inserted.get(reader, 0) < per_reader:
                    insert(reader)
proc.send_signal(signal.SIGINT)
proc.communicate(timeout=60)
failed = sum(1 for r in records if r["result"] != "done")
mean = sum(r["elapsedMs"] for r in records) / max(len(records), 1)
wall = (last - first) * 1000 if first and last else 0
print(len(records), failed, int(wall), f"{len(records) / (wall / 60000):.1f}" if wall else "0", f"{mean:.0f}")
EOF
)
  read -r done failed wall cpm mean <<<"$line"
  [ -n "$single" ] || single=$cpm
  speedup=$(awk -v a="$cpm" -v b="$single" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  printf '%-8s %6s %7s %9s %14s %9s %14s\n' "$readers" "$done" "$failed" "$wall" "$cpm" "${speedup}x" "$mean"
done
echo "goal: 4 readers at 3.5x one reader or more"
