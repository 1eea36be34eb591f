#!/usr/bin/env bash
# Writes the generated seed inputs of the fuzz targets into fuzz/corpus/.
# Everything here is deterministic: running it again gives the same files.
#
#   scripts/fuzz-seeds.sh            all seeds (builds orvexcard in build/ for
#                                    the sample files and card images)
#   scripts/fuzz-seeds.sh --no-cards only the seeds that need no program
#
# Sample files are made the way scripts/demo.sh makes its demo sample; card
# images are what orvexcard leaves on the simulated reader after a format and
# a sample write, dumped with `orvexcard dump`, plus damaged copies of them.
set -euo pipefail
cd "$(dirname "$0")/.."
corpus="$PWD/fuzz/corpus"
mkdir -p "$corpus"

python3 - "$corpus" <<'EOF'
import os, random, sys

corpus = sys.argv[1]

def put(target, name, data):
    d = os.path.join(corpus, target)
    os.makedirs(d, exist_ok=True)
    if isinstance(data, str):
        data = data.encode('latin-1')
    with open(os.path.join(d, name), 'wb') as f:
        f.write(data)

# --- orvexcard command lines: NUL-separated arguments --------------------
cli = {
    'status': ['status'],
    'card-report-json': ['--api', 'mcard', 'inspect', '--json'],
    'format-drink': ['format', '--kind', 'drink', '--serial', 'A-0001'],
    'format-station-ro': ['--reader=OrvexCard Simulated Reader 0', 'format', '--kind=station', '--read-only'],
    'write-all': ['--wait', '2.5', 'write', 'demo.7kx', '--name', 'Demo card', '--duration', '45',
                  '--combine', '--placebo', '--format', '--batch', '--kind', 'drink'],
    'dump': ['--lang', 'de', 'dump', 'card.bin'],
    'restore-dashdash': ['restore', '--', '--card.bin'],
    'sample-info': ['sample-info', 'demo.7kx', '--json'],
    'sim-insert': ['sim', 'insert', '--image', 'card.bin'],
    'sim-blank': ['sim', 'insert', '--blank'],
    'sim-plug': ['sim', 'plug', 'Reader \x1b[31m'],
    'version': ['--version', '--timings'],
    'help': ['--help'],
    'bad-api': ['--api', 'other', 'status'],
    'bad-wait': ['--wait', '-1e400', 'inspect'],
    'bad-duration': ['write', 'x.7kx', '--duration', '99999999999999999999'],
    'missing-value': ['format', '--kind'],
    'unknown': ['-x', 'status'],
}
for name, args in cli.items():
    put('fuzz_cli_options', name, '\0'.join(args))

# --- .reg exports --------------------------------------------------------
key = 'HKEY_CURRENT_USER\\SOFTWARE\\Tessovanwerk\\OrvexCard'
def utf16(text, bom=True):
    return (b'\xff\xfe' if bom else b'') + text.replace('\n', '\r\n').encode('utf-16-le')
plain = ('Windows Registry Editor Version 5.00\n\n[%s]\n"ocardlog"="C:\\\\log\\\\trace.log"\n'
         '"lng"=dword:00000002\n"api"="MCARD"\n"reader"="OrvexCard Simulated Reader 0"\n' % key)
put('fuzz_regfile', 'editor-utf16', utf16(plain))
put('fuzz_regfile', 'utf8-crlf', plain.replace('\n', '\r\n'))
put('fuzz_regfile', 'utf8-bom', '\xef\xbb\xbf' + plain)
put('fuzz_regfile', 'hex-continuations', utf16(
    'Windows Registry Editor Version 5.00\n\n[%s]\n'
    '"bin"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,\\\n'
    '  17,18,19,1a\n'
    '"expand"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,00,00\n'
    '"multi"=hex(7):61,00,00,00,62,00,00,00,00,00\n'
    '"qword"=hex(b):01,00,00,00,00,00,00,00\n'
    '"none"=hex(0):\n'
    '@="default"\n'
    '"quote \\" and \\\\ back"="v"\n'
    '"gone"=-\n\n'
    '[%s\\Sub]\n"x"=dword:ffffffff\n\n[-%s\\Old]\n' % (key, key, key)))
put('fuzz_regfile', 'regedit4-latin1',
    'REGEDIT4\n\n[%s]\n"name"="M\xfcller \xe9t\xe9"\n"d"=dword:0000000a\n' % key)
put('fuzz_regfile', 'utf16-lone-surrogate',
    b'\xff\xfe' + 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\A]\r\n"s"="'.encode('utf-16-le')
    + b'\x00\xd8' + '"\r\n'.encode('utf-16-le'))
put('fuzz_regfile', 'utf16-odd-length', utf16(plain)[:-1])
put('fuzz_regfile', 'cr-only-unterminated',
    'Windows Registry Editor Version 5.00\r\r[%s\r"a"="no end\r"b"=hex:0,zz,\\\r' % key)
put('fuzz_regfile', 'other-hive',
    'Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n"a"="b"\n[%s]\n"c"=dword:1\n' % key)
put('fuzz_regfile', 'not-a-reg', 'hello\x00\x01\x02')

# --- text commands: [out length lo, hi][buffer/80][input length][command\ninput]
def command(text, out=200, buf=3, inlen=0, data=''):
    return bytes([out & 0xff, (out >> 8) & 0xff, buf, inlen]) + (text + ('\n' + data if data else '')).encode('latin-1')
put('fuzz_command_text', 'version', command('System,Info,VersionText'))
put('fuzz_command_text', 'device-type', command('Device,Info,Type'))
put('fuzz_command_text', 'device-status', command('Device,Info,Status'))
put('fuzz_command_text', 'card-status', command('Card,Info,Status'))
put('fuzz_command_text', 'reset', command('Card,Reset'))
put('fuzz_command_text', 'unlock', command('Card,Unlock'))
put('fuzz_command_text', 'read-32', command('Card,MemRead,0,32'))
put('fuzz_command_text', 'read-last', command('Card,MemRead,16383,1'))
put('fuzz_command_text', 'read-beyond', command('Card,MemRead,16380,64', out=100, buf=2))
put('fuzz_command_text', 'write-3', command('Card,MemWrite,100,3', data='abc'))
put('fuzz_command_text', 'write-short-input', command('Card,MemWrite,0,64', inlen=140, data='xyz'))
put('fuzz_command_text', 'write-negative', command('Card,MemWrite,-5,3', data='abc'))
put('fuzz_command_text', 'read-small-buffer', command('Card,MemRead,0,255', out=300, buf=1))
put('fuzz_command_text', 'read-huge', command('Card,MemRead,0,99999999999', out=-1, buf=0))
put('fuzz_command_text', 'empty', command(''))

# --- reader answers: per call [code][length % 40][answer][flag][flag][choice]
def answer(text, code=0, out=None, inp=None, fail=False):
    b = bytes([code & 0xff, len(text)]) + text.encode('latin-1')
    b += bytes([1, out >> 8 & 0xff, out & 0xff]) if out is not None else b'\0'
    b += bytes([1, inp >> 8 & 0xff, inp & 0xff]) if inp is not None else b'\0'
    return b + (b'\0' if fail else b'\1')
start = answer('') + answer('text commands 1.0') + answer('Reader A') + answer('')
put('fuzz_reader_answers', 'active-card',
    start + answer('active') * 4 + answer('valid') + answer('active') * 6 + answer('x' * 39) * 8)
put('fuzz_reader_answers', 'no-card', start + answer('wait') * 12)
put('fuzz_reader_answers', 'invalid-card', start + answer('active') + answer('invalid') * 10)
put('fuzz_reader_answers', 'failing-calls', start + answer('', code=3, fail=True) * 12)
put('fuzz_reader_answers', 'lengths-lie',
    start + answer('active') * 3 + answer('y' * 39, out=30000) + answer('z', out=-2, inp=40000) * 6)
put('fuzz_reader_answers', 'no-library', answer('', code=0x80, fail=True) * 6)

# --- vpcd socket streams: [length hi, lo][message] ------------------------
def frame(msg):
    return bytes([len(msg) >> 8, len(msg) & 0xff]) + bytes(msg)
def update(addr, data):
    return frame([0xFF, 0xD6, addr >> 8, addr & 0xff, len(data)] + list(data))
def read(addr, n):
    return frame([0xFF, 0xB0, addr >> 8, addr & 0xff, n & 0xff])
put('fuzz_vpcd_emulator', 'power-atr-read', frame([1]) + frame([4]) + read(0, 0) + read(16128, 0))
put('fuzz_vpcd_emulator', 'write-read-back', frame([4]) + update(0x10, b'ORVEX') + read(0x10, 5))
put('fuzz_vpcd_emulator', 'page-wrap', update(60, b'0123456789') + read(0, 64))
put('fuzz_vpcd_emulator', 'end-of-card', read(16383, 1) + read(16383, 2) + update(16380, b'abcdefgh'))
put('fuzz_vpcd_emulator', 'bad-apdus',
    frame([0x00, 0xB0, 0, 0, 1]) + frame([0xFF, 0xA4, 0, 0, 0]) + frame([0xFF, 0xB0])
    + frame([0xFF, 0xD6, 0, 0, 0]) + frame([0xFF, 0xD6, 0, 0, 9, 1]) + frame([]))
put('fuzz_vpcd_emulator', 'long-frame-cut', bytes([0xFF, 0xFF]) + bytes(range(200)))
dump = b''.join(read(a, 0) for a in range(0, 16384, 256))
put('fuzz_vpcd_emulator', 'full-dump', dump)
rng = random.Random(11)
put('fuzz_vpcd_emulator', 'restore-pages',
    b''.join(update(a, bytes(rng.randrange(256) for _ in range(64))) for a in range(0, 1024, 64)))
EOF

[ "${1:-}" = "--no-cards" ] && exit 0

# --- sample files and card images, made with orvexcard -------------------
[ -f /work/env.sh ] && source /work/env.sh
if [ ! -x build/cli/orvexcard ]; then
  cmake -S . -B build >/dev/null
  cmake --build build -j2 --target orvexcard
fi
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export ORVEXCARD_SIM="$scratch/sim" ORVEXCARD_REGISTRY_DIR="$scratch/registry"
mkdir -p "$ORVEXCARD_REGISTRY_DIR"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Tessovanwerk\\OrvexCard]\r\n"ocardlog"="/dev/null"\r\n"api"="MCARD"\r\n' \
  > "$ORVEXCARD_REGISTRY_DIR/HKCU.reg"
oc() { build/cli/orvexcard --lang en "$@" >/dev/null; }

# A sample file as the maker's tool writes it (see scripts/demo.sh), with a
# fixed time stamp and fixed sample bytes so the seeds do not change.
sample="$scratch/seed.7kx"
python3 - "$sample" <<'PY'
import random, sys
rng = random.Random(7)
head = ('%-25s' % '7kx/1.0.0') + ('%-16s ' % '20261206T120000Z') + ('%-100s' % 'Generated seed sample') \
       + ('%-24s' % 'OSC/3.6/10010') + ('%-16s' % '')
open(sys.argv[1], 'wb').write(head.encode() + bytes(rng.randrange(256) for _ in range(8820)))
PY

oc sim init
card() {  # card NAME: dumps the card in the reader to $scratch/NAME.bin
  oc dump "$scratch/$1.bin"
}
oc sim insert --blank
card blank
oc format --kind drink --serial SEED-D1
card drink-formatted
oc write "$sample" --kind drink --name "Seed drink" --duration 45
card drink-written
oc format --kind station --read-only --serial SEED-S1
card station-formatted-ro
oc format --kind station --serial SEED-S2
oc write "$sample" --kind station --name "Seed station" --duration 30 --combine --placebo
card station-written

python3 - "$corpus" "$scratch" "$sample" <<'PY'
import os, sys
corpus, scratch, sample = sys.argv[1:4]

def put(target, name, data):
    d = os.path.join(corpus, target)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), 'wb') as f:
        f.write(data)

# fuzz_file7kx: first byte 0 takes the rest as the file, 1 pads it to 9002
# bytes, so header-only seeds reach the parser too.
s = open(sample, 'rb').read()
head = s[:182]
put('fuzz_file7kx', 'sample', b'\0' + s)
put('fuzz_file7kx', 'header-only', b'\1' + head)
def creator(text):
    return b'\1' + head[:142] + ('%-24s' % text).encode('latin-1') + head[166:]
put('fuzz_file7kx', 'creator-name-only', creator('Tool'))
put('fuzz_file7kx', 'creator-major-only', creator('Tool/3/1'))
put('fuzz_file7kx', 'creator-odd-version', creator('T/x.6.9/-12.5e3'))
put('fuzz_file7kx', 'creator-huge-version', creator('T/99999999999.1/1'))
put('fuzz_file7kx', 'format-padded', b'\1' + b'  7kx/1.0.0' + head[11:])
put('fuzz_file7kx', 'format-capitals', b'\1' + b'7KX/1.0.0' + head[9:])
put('fuzz_file7kx', 'short-by-one', b'\0' + s[:-1])
put('fuzz_file7kx', 'control-bytes', b'\1' + head[:42] + bytes(range(100)) + head[142:])

# fuzz_card_verify: first byte bit 0 writes the matching card id, bit 1
# fails the reads; the rest is the image, padded with blanks, so trailing
# blanks are left out here.
img = {n: open(os.path.join(scratch, n + '.bin'), 'rb').read()
       for n in ('blank', 'drink-formatted', 'drink-written', 'station-formatted-ro', 'station-written')}
assert all(len(v) == 16384 for v in img.values())
def card(name, data, flags=0):
    put('fuzz_card_verify', name, bytes([flags]) + data.rstrip(b' '))
for n, v in img.items():
    card(n, v)
d = img['drink-formatted']
card('truncated-counter', d[:150])
card('failing-reads', d, flags=2)
card('bad-header', b'Tessovanwerk - OrvexCarx' + d[24:])
card('bad-purpose', d[:40] + b'orvexdrank     ' + d[55:])
card('bad-counter-crc', d[:150] + bytes([d[150] ^ 0xff]) + d[151:155] + bytes([d[155] ^ 0x01]) + d[156:])
card('copy-a-damaged', d[:147] + b'\0\0\0\0\0' + d[152:])
card('id-recomputed-serial-changed', d[:79] + b'OTHER-SERIAL'.ljust(25) + d[104:], flags=1)
w = img['station-written']
card('station-file-length-huge', w[:256] + b'99999999' + w[264:], flags=1)
card('station-flags-odd', w[:157] + b'\xff\x00' + w[159:])
PY
