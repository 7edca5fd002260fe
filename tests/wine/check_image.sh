#!/bin/bash
# Checks install.exe as built: a PE32 GUI program for i386, exactly the
# package offset long, importing only DLLs that every Windows has loaded
# anyway (everything else is loaded at run time by full system path).
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
echo "install.exe: $kind; $actual bytes; imports: $(echo $imports)"
exit $fail
