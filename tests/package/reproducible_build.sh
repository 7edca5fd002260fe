#!/bin/bash
# `saverpack build` is byte-reproducible: the same inputs give the same
# installer whichever folder the tool runs in, however the inputs are named
# on its command line (relative or absolute), whatever time zone and locale
# it runs under, and whatever the inputs' timestamps say.
#
#   reproducible_build.sh SAVERPACK SOURCE_DIR
set -euo pipefail

tool="$(realpath "$1")"
src="$(realpath "$2")"
work="$(mktemp -d /tmp/ssi-reproducible-XXXXXX)"
trap 'rm -rf "$work"' EXIT
cd "$work"

# The inputs, the same on every run: a stub, the library, and files stored
# as they are and compressed in both literal modes.
pkg="$work/first/package"
mkdir -p "$pkg/files" "$work/second/elsewhere"
photo="$src/tests/codec/data/photo.jpg"
# The stub: a 32-bit Windows program's headers, the build's mark, then bytes.
mark="$(sed -n 's/^#define SSI_IMAGE_MARK "\(.*\)"$/\1/p' "$src/core/image_mark.h")"
{ printf 'MZ'; head -c 58 /dev/zero; printf '\x40\0\0\0PE\0\0\x4c\x01'; head -c 16 /dev/zero; printf '\x02\x01%s' "$mark"
  head -c 70001 "$photo"; } > "$pkg/stub.exe"
tail -c 12288 "$photo" > "$pkg/impborl.dll"
cp "$photo" "$pkg/files/preview.jpg"
cat "$src"/codec/*.cpp > "$pkg/files/ReadMe.txt"
{ seq 1 5000; head -c 20000 "$photo"; } > "$pkg/files/saver.scr"
head -c 40000 /dev/zero > "$pkg/files/engine.dll"
cat > "$pkg/manifest.toml" <<'EOF'
[settings]
saver_name = "Night Sky"
mode = 8
readme = true
display_panel = true

[slots.3]
file = "files/preview.jpg"
name = "installer.jpg"
[slots.5]
file = "files/ReadMe.txt"
compress = true
literals = "ascii"
dictionary = 2048
[slots.6]
file = "files/saver.scr"
name = "Night Sky.scr"
compress = true
[slots.7]
file = "files/ReadMe.txt"
name = "setwnd.scf"
[slots.8]
file = "files/preview.jpg"
name = "Night Sky.ssd"
compress = true
[slots.9]
file = "files/engine.dll"
name = "saver1.dll"
compress = true
dictionary = 1024
[slots.10]
file = "files/saver.scr"
name = "saver2.dll"
EOF

# 1. Relative paths, from the package's own folder.
(cd "$pkg" && "$tool" build stub.exe manifest.toml ../../one.exe >/dev/null)

# 2. Absolute paths, from another folder, with every input's timestamp moved.
find "$pkg" -type f -exec touch -d '2001-02-03 04:05:06' {} +
(cd "$work/second/elsewhere" && TZ=Pacific/Auckland LC_ALL=C \
    "$tool" build "$pkg/stub.exe" "$pkg/manifest.toml" "$work/two.exe" >/dev/null)

# 3. A copy of the inputs under another path (new timestamps), paths through "..".
cp -r "$pkg" "$work/second/copy"
(cd "$work/second" && TZ=UTC "$tool" build ../second/copy/stub.exe copy/manifest.toml "$work/three.exe" >/dev/null)

status=0
for other in two.exe three.exe; do
    if ! cmp "$work/one.exe" "$work/$other"; then
        echo "FAIL: the same inputs gave a different installer ($other)"
        status=1
    fi
done
[[ $status == 0 ]] && echo "reproducible: three builds gave $(sha256sum < "$work/one.exe" | cut -c1-16)..."
exit $status
