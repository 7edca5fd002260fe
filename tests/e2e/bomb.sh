#!/bin/bash
# A movie preview that is a decompression bomb: 400 MB of body deflated into
# a few hundred kilobytes, its header telling the truth about its length. The
# installer inspects it (inflating it into %TEMP%), plays it and installs:
#   - the temporary space in use never grows by 50 MB or more during the run;
#   - Install works as for any movie package; exit code 0, the saver in place.
#   run by scripts/wine-run --script: bomb.sh WIN32_BIN SAVERPACK
set -uo pipefail
BIN="$1"
SAVERPACK="$2"
source "$SSI_REPO/tests/e2e/e2e.sh"
e2e_begin

bomb="$SSI_RUN_DIR/movie-bomb/installer.swf"
mkdir -p "$(dirname "$bomb")"
python3 - "$bomb" <<'PY'
import struct, sys, zlib
size = 400 << 20
z = zlib.compressobj(9)
zeros = bytes(1 << 20)
with open(sys.argv[1], "wb") as f:
    f.write(b"CWS" + bytes([7]) + struct.pack("<I", 8 + size))
    for _ in range(size >> 20):
        f.write(z.compress(zeros))
    f.write(z.flush())
PY
check "the bomb is small" yes "$( (($(stat -c %s "$bomb") < 1000000)) && echo yes || echo no)"
e2e_package Bomb mode=2 preview="$bomb" || { echo "FAIL: saverpack could not build the bomb package"; exit 1; }

# The users' folders hold every TEMP; sampled from the Linux side while it runs.
temp_bytes() { du -sb "$WINEPREFIX/drive_c/users" 2>/dev/null | cut -f1; }
before="$(temp_bytes)"
peak="$before"

echo "== a 400 MB movie bomb as the preview"
e2e_start "$out/bomb" "$E2E_WIN\\Bomb.exe"
drv "$out/drive" wait-shown "$CAPTION" 120000 -- click "$CAPTION" Install -- wait-window Confirm 60000 &
driver=$!
while kill -0 "$driver" 2>/dev/null; do
    now="$(temp_bytes)"
    [[ -n "$now" ]] && ((now > peak)) && peak="$now"
    sleep 0.2
done
wait "$driver"
check "the window came and Install was clicked" 0 $?
drv "$out/answers" answer-boxes Confirm 7 5000
e2e_finish "$out/bomb"
grown=$(((peak - before) / 1000000))
echo "    temporary space grew by at most $grown MB"
check "temporary space stayed under 50 MB" yes "$( ((grown < 50)) && echo yes || echo "no: $grown MB")"
check "exit code" 0 "$(field "$out/bomb" exit-code)"
check_ending "$out/bomb"
check "screen saver in the system folder" "$(md5sum <"$BIN/Night Sky.scr")" "$(md5sum <"$SAVER" 2>/dev/null)"

exit $((failures > 0))
