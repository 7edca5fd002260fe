#!/bin/bash
# saverpack.exe under Wine: an ssd build/extract round trip of a folder tree
# with sub-folders, the listing, a refused hostile item, and swf info.
#   wine_ssd_tool.sh SAVERPACK_EXE   (run through scripts/wine-run --script)
set -euo pipefail
[[ -n "${SSI_TRACE:-}" ]] && set -x
exe="$1"
work="$(mktemp -d "${SSI_RUN_DIR:-/tmp}/ssd.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cd "$work"
sp() { "$WINE" "$exe" "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }

mkdir -p src/media/deep
head -c 30000 /dev/urandom > src/media/intro.swf
python3 -c 'import sys; sys.stdout.write("some text of the saver\n" * 3000)' > src/media/deep/notes.txt
printf 'x' > src/one.txt
head -c 1240 /dev/zero > saver.rec

sp ssd build src --record saver.rec --first 'media\intro.swf' out.ssd
sp ssd list out.ssd > list.txt
grep '^    1     0          2032       30000       30000  no          media\\intro.swf$' list.txt > /dev/null
grep 'yes         media\\deep\\notes.txt$' list.txt > /dev/null
sp ssd extract out.ssd dst
diff -r src dst

# A hostile item is refused, with a non-zero exit, and nothing leaves dst.
python3 - <<'PY'
import struct
rec = bytearray(1240); struct.pack_into('<i', rec, 212, 2)
def item(name, off):
    b = bytearray(264); b[2:2+len(name)] = name; struct.pack_into('<i', b, 260, off); return bytes(b)
def chunk(data):
    return b'CHUN' + struct.pack('<iiii', 0, len(data), len(data), 0) + bytes(24) + data
t = 1240 + 2*264
c1 = chunk(b'evil'); c2 = chunk(b'good')
open('evil.ssd', 'wb').write(bytes(rec) + item(b'..\\escaped.txt', t) + item(b'ok.txt', t + len(c1)) + c1 + c2)
PY
if sp ssd extract evil.ssd dst2; then echo "hostile item accepted"; exit 1; fi
[[ ! -e escaped.txt && "$(cat dst2/ok.txt)" == good ]]

# swf info: a compressed movie inflates and is accepted; version 9 is refused.
python3 - <<'PY'
import struct, zlib
body = b'\x00' * 5000
open('ok.swf', 'wb').write(b'CWS\x07' + struct.pack('<I', 8 + len(body)) + zlib.compress(body))
open('new.swf', 'wb').write(b'FWS\x09' + struct.pack('<I', 8 + len(body)) + body)
PY
sp swf info ok.swf > info.txt
grep 'verdict: accepted' info.txt > /dev/null
if sp swf info new.swf; then echo "version 9 accepted"; exit 1; fi
echo "saverpack.exe ssd/swf: ok"
