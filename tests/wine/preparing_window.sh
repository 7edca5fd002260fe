#!/bin/bash
# The preparing window of a real install.exe without a package: started as
# NightSkySetup.exe, its initialisation ends with error boxes. While the boxes
# are up the preparing window is visible, titled with the program's file name,
# shows "Preparing installation..." and is centred on the screen. Every box is
# answered with Abort, and the program must then end.
#   run by scripts/wine-run --script (WINE, WINEPREFIX, DISPLAY, SSI_RUN_DIR set)
#   preparing_window.sh WIN32_BIN
set -uo pipefail
bin="$1"
title=NightSkySetup.exe
drv() { "$WINE" "$bin/uidriver.exe" "$@" 2>/dev/null | tr -d '\r'; }
failures=0
check() {  # check DESCRIPTION EXPECTED ACTUAL
    if [[ "$2" == "$3" ]]; then
        echo "ok: $1"
    else
        echo "FAIL: $1: expected '$2', got '$3'"
        failures=$((failures + 1))
    fi
}

cp "$bin/install.exe" "$SSI_RUN_DIR/$title"
cd "$SSI_RUN_DIR" || exit 1
"$WINE" "$title" &
pid=$!
trap 'kill $pid 2>/dev/null' EXIT

# One driver run while the first box is up (each run of a program under Wine
# is slow): the box, the preparing window and the screen.
state="$(drv wait-window Error 120000 -- box Error -- window-rect "$title" -- child-text "$title" Static -- screen-size)"
if ! echo "$state" | grep -q '^found'; then
    echo "FAIL: no error box appeared"
    exit 1
fi
echo "$state" | sed 's/^/  seen: /'
field() { echo "$state" | sed -n "s/^$1 //p" | head -n1; }

rect=($(field rect))
screen=($(field screen))
check "preparing window exists" 4 "${#rect[@]}"
check "preparing window visible" 1 "$(field visible)"
label="$(echo "$state" | sed -n 's/^text //p' | tail -n1)"
check "preparing label" "Preparing installation..." "$label"
if [[ ${#rect[@]} == 4 && ${#screen[@]} == 2 ]]; then
    w=$((rect[2] - rect[0])); h=$((rect[3] - rect[1]))
    # Bash integer division truncates toward zero, like the placement.
    check "centred left" $(((screen[0] - w) / 2)) "${rect[0]}"
    check "centred top" $(((screen[1] - h) / 2)) "${rect[1]}"
fi

# The boxes: an installation error for the package, then the corrupted-file
# failure; each with the single button Abort, which answers it.
boxes="$(drv answer-boxes Error 3 5000)"
echo "$boxes" | sed 's/^/  answered: /'
texts=()
while IFS= read -r line; do texts+=("$line"); done < <(echo "$boxes" | sed -n 's/^text //p')
check "boxes shown" 2 "$(echo "$boxes" | sed -n 's/^boxes //p')"
check "every box titled Error" 2 "$(echo "$boxes" | grep -c '^title Error$')"
check "every box has only Abort" "button 3 &Abort|button 3 &Abort" "$(echo "$boxes" | grep '^button' | paste -sd'|')"
check "first box text" "Installation Error: " "${texts[0]:0:20}"
check "second box text" "Installer file is corrupted. Quillon Error: -31. " "${texts[1]:-}"

# The program ends once the boxes are answered.
for _ in $(seq 1 600); do
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
done
if kill -0 $pid 2>/dev/null; then
    echo "FAIL: the program did not end after the boxes"
    failures=$((failures + 1))
else
    wait $pid
    echo "ok: program ended (exit code $?)"
fi
trap - EXIT
exit $((failures > 0))
