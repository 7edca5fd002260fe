#!/bin/bash
# scripts/bench-install's two parts that need no Wine:
#   - the files of a package of a given size: the same bytes at every run,
#     the smallest package's files unchanged inside every larger one, the
#     growth split between the data file's media items and the engine
#     library as announced, media that does not compress and an engine that
#     does, as a program would;
#   - the closing table and its summary line, from the Wine side's lines;
#   - sizes and run counts it refuses.
#
#   bench_install_test.sh SOURCE_DIR
set -uo pipefail
src="$(realpath "$1")"
bench="$src/scripts/bench-install"
work="$(mktemp -d /tmp/ssi-bench-install-XXXXXX)"
trap 'rm -rf "$work"' EXIT
failures=0

check() {
    if [[ "$2" == "$3" ]]; then
        echo "ok   $1"
    else
        echo "FAIL $1"
        echo "     expected: $2"
        echo "     actual:   $3"
        failures=$((failures + 1))
    fi
}

tree_sum() { (cd "$1" && find . -type f -print0 | sort -z | xargs -0 md5sum | md5sum | cut -d' ' -f1); }
bytes_under() { find "$1" -type f -printf '%s\n' 2>/dev/null | awk '{s += $1} END {print s + 0}'; }

# ---- the files ----------------------------------------------------------------
base_files=("flashax7.exe" "installer.jpg" "Night Sky.scr" "nightsky.scf" "saver2.dll"
            "data/movies/intro.swf" "data/movies/loop.swf" "data/pictures/stars.jpg"
            "data/pictures/moon.jpg" "data/sounds/wind.mp3" "data/playlist.xml")
base_engine=34304

"$bench" --generate "$work/s2" 2 || check "generate 2 MB" 0 $?
"$bench" --generate "$work/s2again" 2 || check "generate 2 MB again" 0 $?
check "2 MB: the same bytes at every run" "$(tree_sum "$work/s2")" "$(tree_sum "$work/s2again")"
check "2 MB: no growth" "" "$(cd "$work/s2" && find data/videos data/photos -type f 2>/dev/null)"
check "2 MB: the engine library as small as ever" "$base_engine" "$(stat -c %s "$work/s2/saver1.dll")"

# size   video items (count range)   photo items (count range)
while read -r size videos_min videos_max photos_min photos_max; do
    at="$work/s$size"
    "$bench" --generate "$at" "$size" || check "generate $size MB" 0 $?
    extra=$((size * 1000000 - 2000000))
    media=$((extra - extra / 10))
    for f in "${base_files[@]}"; do
        check "$size MB: $f as in the smallest package" "$(md5sum <"$work/s2/$f")" "$(md5sum <"$at/$f" 2>/dev/null)"
    done
    check "$size MB: the engine library begins as in the smallest package" \
        "$(md5sum <"$work/s2/saver1.dll")" "$(head -c "$base_engine" "$at/saver1.dll" | md5sum)"
    check "$size MB: the engine library grows by a quarter of the growth" \
        "$((base_engine + extra / 4))" "$(stat -c %s "$at/saver1.dll")"
    check "$size MB: video-like items, seven tenths of the media" \
        "$(awk -v m="$media" 'BEGIN {printf "%d", m * 0.7}')" "$(bytes_under "$at/data/videos")"
    check "$size MB: photo-like items, three tenths of the media" \
        "$(awk -v m="$media" 'BEGIN {printf "%d", m * 0.3}')" "$(bytes_under "$at/data/photos")"
    n=$(find "$at/data/videos" -type f | wc -l)
    check "$size MB: $videos_min to $videos_max video items" yes "$(((n >= videos_min && n <= videos_max)) && echo yes || echo "no: $n")"
    n=$(find "$at/data/photos" -type f | wc -l)
    check "$size MB: $photos_min to $photos_max photo items" yes "$(((n >= photos_min && n <= photos_max)) && echo yes || echo "no: $n")"
    # Media as it comes is already packed; the engine's growth packs as a
    # program does (implode keeps about 40 %, zlib a little less).
    ratios="$(python3 - "$at" "$base_engine" <<'PY'
import glob, sys, zlib
at, base = sys.argv[1], int(sys.argv[2])
def ratio(data):
    return len(zlib.compress(data, 6)) / len(data)
media = min(ratio(open(p, "rb").read(1 << 20)) for p in glob.glob(at + "/data/*/*.*") if "/videos/" in p or "/photos/" in p)
with open(at + "/saver1.dll", "rb") as f:
    f.seek(base)
    engine = ratio(f.read(1 << 20))
print("media %s engine %s" % ("incompressible" if media > 0.99 else "compresses %.2f" % media,
                              "program-like" if 0.15 <= engine <= 0.6 else "packs to %.2f" % engine))
PY
)"
    check "$size MB: what the files are like" "media incompressible engine program-like" "$ratios"
done <<'SIZES'
7   1 1   1 2
20  1 3   1 5
SIZES

# ---- the closing table --------------------------------------------------------
# Each case: its results lines, then the lines the table must hold (spaces
# squeezed), then the lines it must not hold, prefixed "!".
report_case() {
    local name="$1" results="$2"
    shift 2
    printf '%s' "$results" >"$work/results"
    local out
    out="$("$bench" --report "$work/results" 2>&1 | tr -s ' ')"
    local want
    for want in "$@"; do
        if [[ "$want" == '!'* ]]; then
            check "report, $name: no '${want#!}'" "" "$(grep -F -- "${want#!}" <<<"$out")"
        else
            check "report, $name: '$want'" "$want" "$(grep -F -o -- "$want" <<<"$out" | head -1)"
        fi
    done
}

three='2 1944369 1313858 260 285 135 24064000 24129536 1100000 600000 1944369 11
20 19608479 18661236 657 547 263 35565568 23920640 17300000 600000 19608479 11
200 196257368 192129238 3188 2926 146 62291968 23920640 179300000 600000 196257368 5
'
report_case "three sizes" "$three" \
    "2 MB 1.9 1.3 | 0.26 0.28 0.91 | 24.1 24.1 1.00 | 1.1 0.6 1.83 | 1.9 (11 runs)" \
    "200 MB 196.3 192.1 | 3.19 2.93 1.09 | 62.3 23.9 2.60 | 179.3 0.6 298.83 | 196.3 (5 runs)" \
    "time per MB of package between 20 MB and 200 MB: ours 14.3 ms, NSIS 13.5 ms, ours/NSIS 1.06" \
    "peak working set, 2 MB to 200 MB: ours +38.2 MB, NSIS -0.2 MB" \
    "scale: 200 MB quiet install ours/NSIS 1.09; peak working set 2 MB 24.1 MB, 200 MB 62.3 MB"
report_case "one size" "$(head -1 <<<"$three")
" \
    "2 MB 1.9 1.3 | 0.26 0.28 0.91" "!scale:" "!time per MB"
report_case "a figure that is missing" '2 1944369 1313858 260 0 135 24064000 0 1100000 0 1944369 11
20 19608479 18661236 657 0 263 35565568 0 17300000 0 19608479 11
' \
    "| 0.66 0.00 - | 35.6 0.0 - | 17.3 0.0 - |" \
    "ours/NSIS -; peak working set 2 MB 24.1 MB, 20 MB 35.6 MB"
"$bench" --report "$work/none" >/dev/null 2>&1
check "report without results fails" 1 "$?"

# ---- what it refuses ----------------------------------------------------------
while read -r args; do
    # shellcheck disable=SC2086  # the table's words are the arguments
    "$bench" $args >/dev/null 2>&1
    check "refused: bench-install $args" 2 "$?"
done <<'REFUSED'
--size 1
--size 0
--size 1501
--size 08
--size 2x
--size=
--generate DIR 1
--generate DIR 20000
--size 2 0
--size 2 -3
--size 2 5 6
--size
--report
REFUSED

echo "$failures failure(s)"
((failures == 0))
