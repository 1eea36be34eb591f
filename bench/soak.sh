#!/usr/bin/env bash
# A thousand cards in a row through one `orvexcard write SAMPLE --batch
# --format` on the simulated reader. An operator stand-in (a Python process)
# inserts a blank card whenever the batch waits for one and takes it out as
# soon as its line is printed. Drawn from a seeded generator (the seed is
# printed): one card in ten is pulled after a random one of its writes
# (pull_after_writes), one in twenty keeps a random byte one bit off
# (corrupt_write_at). Every card taken out is checked against what a card
# programmed with the sample must hold, worked out here from the layout and
# not by the program: every byte, the card id's digest and both copies of
# the counter. Prints the cards written and failed (none without a drawn
# fault), the cards reported written whose image differs (must be 0), the
# failed cards that still offer a sample (must be 0), and the batch
# process's resident memory at card 10 and at the last card (goal: no growth
# beyond 1 MB) and how long it ran. A benchmark, not a test.
#   usage: bench/soak.sh [path/to/orvexcard] [cards (1000)] [seed] [latency_ms (0)]
set -euo pipefail
program=$(realpath "${1:-build/cli/orvexcard}")
cards=${2:-1000}
seed=${3:-$(date +%s)}
latency=${4:-0}
poll=20
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export ORVEXCARD_SIM="$work/sim" ORVEXCARD_REGISTRY_DIR="$work/registry"
export XDG_STATE_HOME="$work/state" XDG_CONFIG_HOME="$work/config"
mkdir -p "$ORVEXCARD_REGISTRY_DIR"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n"omsc.idleTimerInterval"="%s"\r\n"omsc.onlineTimerInterval"="%s"\r\n' \
  "$poll" "$poll" > "$ORVEXCARD_REGISTRY_DIR/HKLM.reg"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n"lng"=dword:00000002\r\n"ocardlog"="%s"\r\n' \
  "$work/trace.log" > "$ORVEXCARD_REGISTRY_DIR/HKCU.reg"
"$program" sim init >/dev/null

echo "soak: $cards cards through one orvexcard write --batch --format, simulated reader," \
  "latency_ms=$latency, polling $poll ms, seed $seed"
start=$(date +%s)
rc=0
python3 - "$program" "$work" "$cards" "$seed" "$latency" <<'EOF' || rc=$?
import hashlib, os, random, re, selectors, signal, subprocess, sys, time

program, work, cards, seed, latency = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
reader = os.path.join(work, "sim", "OrvexCard Simulated Reader 0")
CARD = 16384
# The writes of one card: the format's 47 and the sample write's 25.
WRITES = 72

def padded(text, width):
    return text.ljust(width, b" ")[:width]

# The sample: a header and 8820 bytes of every value.
stamp, comment, creator = b"20261206T120000Z", padded(b"Soak sample", 100), b"OSC/3.6/10010"
data = bytes((i * 37 + 11) & 0xFF for i in range(8820))
sample = padded(b"7kx/1.0.0", 25) + stamp + b" " + comment + padded(creator, 24) + padded(b"", 16) + data
with open(os.path.join(work, "soak.7kx"), "wb") as f:
    f.write(sample)

# What a blank card holds after the batch's format (drink, rewriteable) and
# sample write (name from the file, duration 0): every byte but the serial
# (the installation's own), the time stamp, the card id and the counter.
expected = bytearray(b" " * CARD)
def put(offset, value):
    expected[offset:offset + len(value)] = value
put(0, padded(b"Tessovanwerk - OrvexCard", 40))
put(40, padded(b"orvexdrink", 15))
put(55, padded(b"1.1.1", 8))
put(104, padded(b"soak", 25))
put(145, b"\0\0")
put(256, padded(b"8820", 8))
put(264, stamp[:14])
put(278, comment)
put(378, padded(b"10010/OSC/3.6", 25))
put(768, data)
VARIABLE = [(63, 79), (79, 104), (129, 145), (147, 157)]  # id, serial, stamp, counter

def crc16(block):  # CRC-16/ARC
    crc = 0
    for b in block:
        crc ^= b
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc

serials = set()
def holds_the_sample(image):
    if len(image) != CARD:
        return False
    masked = bytearray(image)
    for a, b in VARIABLE:
        masked[a:b] = expected[a:b]
    if masked != expected:
        return False
    serial = image[79:104].rstrip(b" ")
    serials.add(serial)
    if not re.fullmatch(rb"ocard/\d+\.\d+\.\d+/\d+", serial) or len(serials) > 1:
        return False
    if not re.fullmatch(rb"\d{8}T\d{6}Z", image[129:145]):
        return False
    text = b"k4w9#\xa8\xa8" + b"".join(image[a:a + w].rstrip(b" ") for a, w in ((79, 25), (129, 16), (55, 8), (0, 40), (40, 15)))
    cid = image[63:79]
    if hashlib.md5(text).digest() != cid:
        return False
    for copy in (image[147:152], image[152:157]):
        b0, b1, r, lo, hi = copy
        k = cid[r & 15]
        if lo | hi << 8 != crc16(copy[:3]) or ((b0 ^ r ^ k) << 8 | (b1 ^ r ^ k)) != 65535:
            return False
    return True

# A failed card may hold anything but an offered sample: a file length above
# 0 on a card whose id fits its header.
def offers_a_sample(image):
    text = b"k4w9#\xa8\xa8" + b"".join(image[a:a + w].rstrip(b" ") for a, w in ((79, 25), (129, 16), (55, 8), (0, 40), (40, 15)))
    length = image[256:264].rstrip(b" ")
    return hashlib.md5(text).digest() == image[63:79] and re.fullmatch(rb"\d+", length) is not None and int(length) > 0

def rss_kb(pid):
    with open(f"/proc/{pid}/status") as f:
        return int(re.search(r"VmRSS:\s+(\d+)", f.read()).group(1))

rng = random.Random(seed)
blank = b" " * CARD
proc = subprocess.Popen([program, "write", os.path.join(work, "soak.7kx"), "--batch", "--format"],
                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
sel = selectors.DefaultSelector()
sel.register(proc.stdout, selectors.EVENT_READ, "out")
sel.register(proc.stderr, selectors.EVENT_READ, "err")
buffers = {"out": b"", "err": b""}
inserted = reported = written = failed = unexplained = wrong = offering = pulled = worn = 0
rss = {}
faults_of = {}
waiting = False
deadline = time.monotonic() + 3 * 3600

def insert():
    global inserted, pulled, worn
    inserted += 1
    faults = [f"latency_ms={latency}"]
    if rng.randrange(10) == 0:
        faults.append(f"pull_after_writes={rng.randrange(WRITES)}")
        pulled += 1
    if rng.randrange(20) == 0:
        faults.append(f"corrupt_write_at={rng.randrange(CARD)}")
        worn += 1
    faults_of[inserted] = faults
    with open(os.path.join(reader, "faults"), "w") as f:
        f.write("\n".join(faults) + "\n")
    with open(os.path.join(reader, "card.tmp"), "wb") as f:
        f.write(blank)
    os.rename(os.path.join(reader, "card.tmp"), os.path.join(reader, "card.bin"))  # whole or not at all

def take_out():
    for name in ("card.bin", "card.pulled.bin"):
        path = os.path.join(reader, name)
        if os.path.exists(path):
            taken = os.path.join(reader, "taken.bin")
            os.rename(path, taken)
            with open(taken, "rb") as f:
                return f.read()
    return b""

while reported < cards and time.monotonic() < deadline and proc.poll() is None:
    for key, _ in sel.select(timeout=1):
        chunk = os.read(key.fileobj.fileno(), 65536)
        buffers[key.data] += chunk
        *lines, buffers[key.data] = buffers[key.data].split(b"\n")
        for raw in lines:
            text = raw.decode("utf-8", "replace")
            if key.data == "err":
                # A pulled card's "waiting" may come before its own line.
                if "waiting for the next card" in text and inserted < cards:
                    waiting = True
                    if reported == inserted:
                        waiting = False
                        insert()
                continue
            m = re.match(r"card (\d+): (done|failed)", text)
            if not m:
                continue
            reported = int(m.group(1))
            image = take_out()
            if m.group(2) == "done":
                written += 1
                if not holds_the_sample(image):
                    wrong += 1
                    print(f"card {reported} reported written, image differs; faults {faults_of.get(reported)}", flush=True)
            else:
                failed += 1
                if faults_of.get(reported) == [f"latency_ms={latency}"]:
                    unexplained += 1
                    print(f"card {reported} failed without a fault: {text}", flush=True)
                if offers_a_sample(image):
                    offering += 1
                    print(f"card {reported} failed but offers a sample; faults {faults_of.get(reported)}", flush=True)
            if reported in (10, cards):
                rss[reported] = rss_kb(proc.pid)
            if waiting and inserted < cards:
                waiting = False
                insert()
proc.send_signal(signal.SIGINT)
proc.communicate(timeout=60)
print(f"cards drawn to be pulled: {pulled}, to keep a byte wrong: {worn}")
print(f"cards written: {written}")
print(f"cards failed: {failed}, of them without a drawn fault: {unexplained} (must be 0)")
print(f"cards reported written whose image differs from the sample: {wrong} (must be 0)")
print(f"failed cards that offer a sample: {offering} (must be 0)")
at10, atEnd = rss.get(10), rss.get(cards)
print(f"batch process resident memory: card 10 {at10} kB, card {cards} {atEnd} kB", end="")
if at10 and atEnd:
    growth = atEnd - at10
    print(f", growth {growth} kB (goal <= 1024 kB): {'met' if growth <= 1024 else 'MISSED'}")
else:
    print()
sys.exit(0 if reported == cards and wrong == 0 and offering == 0 and unexplained == 0 else 1)
EOF
echo "ran $(( $(date +%s) - start )) s"
exit $rc
