#!/bin/bash
# Checks install.exe as built: a PE32 GUI program for i386, exactly the
# package offset long, importing only DLLs that every Windows has loaded
# anyway (everything else is loaded at run time by full system path), with
# its application manifest (resource type 24, id 1) asking for administrator
# rights.
#   check_image.sh path/to/install.exe 675328
set -uo pipefail
exe="$1"; size="$2"
allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll comdlg32.dll msvcrt.dll"
fail=0
[[ -f "$exe" ]] || { echo "FAIL: $exe does not exist (build the win32 tree)"; exit 1; }

kind="$(file -b "$exe")"
if [[ "$kind" != "PE32 executable (GUI) Intel 80386"* ]]; then
    echo "FAIL: kind is '$kind'"; fail=1
fi
actual=$(stat -c %s "$exe")
if [[ "$actual" != "$size" ]]; then
    echo "FAIL: size is $actual bytes, not $size"; fail=1
fi
imports="$(i686-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z')"
[[ -n "$imports" ]] || { echo "FAIL: objdump listed no imports"; fail=1; }
for dll in $imports; do
    if [[ " $allowed " != *" $dll "* ]]; then
        echo "FAIL: imports $dll"; fail=1
    fi
done
# The resource tree as objdump prints it: the manifest type (24) at the top
# level, with the entry id 1 right below it.
manifest_ids="$(i686-w64-mingw32-objdump -p "$exe" | sed -n '/Resource Directory section/,$p' |
    awk '{id=$4; sub(/,$/, "", id)} /^[0-9a-f]+   Entry: ID: /{top=id} /^[0-9a-f]+     Entry: ID: /{if (top=="0x000018") print id}')"
if [[ "$manifest_ids" != "0x000001" ]]; then
    echo "FAIL: manifest resources (type 24) by id: '${manifest_ids//$'\n'/ }', not just 0x000001"; fail=1
fi
if ! grep -aq 'requestedExecutionLevel level="requireAdministrator"' "$exe"; then
    echo "FAIL: the image does not ask for administrator rights"; fail=1
fi
echo "install.exe: $kind; $actual bytes; imports: $(echo $imports); manifest: id ${manifest_ids:-none}"
exit $fail
