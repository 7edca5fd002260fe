#!/bin/bash
# The preparing window of a real install.exe, started as NightSkySetup.exe.
# Its package (made by saverpack) announces a read-me but has none, so the
# initialisation ends with the corrupted-file box right after it has read the
# header and centred the preparing window. While the box is up the preparing
# window is visible, titled with the program's file name, shows
# "Preparing installation..." and is centred on the screen, and the task bar
# lists the program under "Preparing installation...". The box is
# answered with Abort, and the program must then end.
#   run by scripts/wine-run --script (WINE, WINEPREFIX, DISPLAY, SSI_RUN_DIR set)
#   preparing_window.sh WIN32_BIN SAVERPACK
set -uo pipefail
bin="$1"
title=NightSkySetup.exe
drv() { "$WINE" "$bin/uidriver.exe" "$@" 2>/dev/null | tr -d '\r'; }
source "$SSI_REPO/tests/standins/checks.sh"

saverpack="$2"
pkg="$SSI_RUN_DIR/package"
mkdir -p "$pkg"
cp "$bin/fixtures/quadrants.jpg" "$pkg/installer.jpg"
for f in "Night Sky.scr" saver.scf "Night Sky.ssd" saver1.dll saver2.dll; do echo "$f" >"$pkg/$f"; done
cat >"$pkg/manifest.toml" <<'TOML'
[settings]
saver_name = "Night Sky"
mode = 8
[slots.3]
file = "installer.jpg"
[slots.6]
file = "Night Sky.scr"
[slots.7]
file = "saver.scf"
[slots.8]
file = "Night Sky.ssd"
[slots.9]
file = "saver1.dll"
[slots.10]
file = "saver2.dll"
TOML
"$saverpack" build "$bin/install.exe" "$pkg/manifest.toml" "$SSI_RUN_DIR/$title" --impborl "$bin/impborl.dll" >/dev/null ||
    { echo "FAIL: saverpack could not build the package"; exit 1; }
# The header's read-me flag (offset 2 of the package) set without a slot 5.
printf '\x01' | dd of="$SSI_RUN_DIR/$title" bs=1 seek=$(($("$SSI_REPO/scripts/package-offset") + 2)) conv=notrunc status=none
cd "$SSI_RUN_DIR" || exit 1
"$WINE" "$title" &
pid=$!
trap 'kill $pid 2>/dev/null' EXIT

# One driver run while the first box is up (each run of a program under Wine
# is slow): the box, the preparing window and the screen.
state="$(drv wait-window Error 120000 -- box Error -- window-rect "$title" -- child-text "$title" Static -- screen-size \
    -- taskbar "Preparing installation...")"
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
# The program has its task-bar entry, titled with the application title.
check "task bar lists the application" 1 "$(field taskbar)"
if [[ ${#rect[@]} == 4 && ${#screen[@]} == 2 ]]; then
    w=$((rect[2] - rect[0])); h=$((rect[3] - rect[1]))
    # Bash integer division truncates toward zero, like the placement.
    check "centred left" $(((screen[0] - w) / 2)) "${rect[0]}"
    check "centred top" $(((screen[1] - h) / 2)) "${rect[1]}"
fi

# The box: the corrupted-file failure with the single button Abort, which
# answers it.
boxes="$(drv answer-boxes Error 3 5000)"
echo "$boxes" | sed 's/^/  answered: /'
texts=()
while IFS= read -r line; do texts+=("$line"); done < <(echo "$boxes" | sed -n 's/^text //p')
check "boxes shown" 1 "$(echo "$boxes" | sed -n 's/^boxes //p')"
check "box titled Error" 1 "$(echo "$boxes" | grep -c '^title Error$')"
check "box has only Abort" "button 3 &Abort" "$(echo "$boxes" | grep '^button' | paste -sd'|')"
check "box text" "Installer file is corrupted. Quillon Error: -531. " "${texts[0]:-}"

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
