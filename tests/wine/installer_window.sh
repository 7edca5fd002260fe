#!/bin/bash
# The installer window of a real install.exe, for three packages made by
# saverpack, driven and measured by the UI driver, with a screenshot of each
# state kept as an artefact:
#   Night Sky    JPEG preview, no licence: the fixed window, its caption, and
#                right clicks on the window that change nothing
#   Ocean Saver  BMP preview with a licence: the sizeable window, its minimum,
#                the licence box, and the areas following two drags
#   Aurora       the preview movie in the stand-in player: the control inside
#                the panel, and right clicks on it that never reach it
# Each installer is ended with its Cancel button and must end by itself. The
# stand-in player 7 is installed once (every package needs a player).
#   run by scripts/wine-run --script (WINE, WINEPREFIX, DISPLAY, SSI_RUN_DIR, SSI_REPO set)
#   installer_window.sh WIN32_BIN SAVERPACK SCREENSHOT_DIR
set -uo pipefail
bin="$1" saverpack="$2" shots="$3"
export UIDRIVER="$bin/uidriver.exe"
source "$SSI_REPO/scripts/screenshot"
STANDINS_BIN="$bin"
source "$SSI_REPO/tests/standins/standins.sh"
mkdir -p "$shots"

source "$SSI_REPO/tests/standins/checks.sh"
# One driver run; its output (CR removed) in $out. Through a file: a
# wineserver started by this run would hold a pipe open.
out=""
drv() {
    timeout 180 "$WINE" "$UIDRIVER" --keep-going "$@" >"$SSI_RUN_DIR/drv.out" 2>/dev/null
    out="$(tr -d '\r' <"$SSI_RUN_DIR/drv.out")"
    echo "$out" | sed 's/^/  seen: /'
}
source "$SSI_REPO/tests/uidriver/driver_output.sh"
# From a `controls` listing: the control with that id (the window's controls
# are numbered from 100 in their creation order) as "VISIBLE ENABLED L T W H",
# and its text.
ctl() { awk -v id="$2" '$1 == "control" && $3 == id { print $5, $6, $7, $8, $9, $10; exit }' <<<"$1"; }
ctl_text() { awk -v id="$2" '$1 == "control" && $3 == id { $1 = $2 = $3 = $4 = $5 = $6 = $7 = $8 = $9 = $10 = ""; sub(/^ +/, ""); print; exit }' <<<"$1"; }
# The colour at a point of a screenshot is near "R G B" (pictures may be
# JPEG-decoded): check_colour DESCRIPTION PNG X Y R G B
check_colour() {
    local hex r g b
    hex="$(convert "$2" -format "%[hex:p{$3,$4}]" info: 2>/dev/null)"
    [[ "$hex" =~ ^[0-9A-Fa-f]{6} ]] || { verdict 1 "$1" "no pixel at $3,$4 of $2"; return; }
    r=$((16#${hex:0:2})) g=$((16#${hex:2:2})) b=$((16#${hex:4:2}))
    (((r - $5) * (r - $5) + (g - $6) * (g - $6) + (b - $7) * (b - $7) <= 3 * 40 * 40))
    verdict $? "$1" "colour $hex at $3,$4, expected near $5 $6 $7"
}
# The four quadrants of the fixture picture, stretched over the screen
# rectangle L T R B, in a screenshot of the window whose top-left corner is at
# WX WY: check_quadrants WHAT PNG WX WY L T R B
check_quadrants() {
    local w=$(($7 - $5)) h=$(($8 - $6)) x=$(($5 - $3)) y=$(($6 - $4))
    check_colour "$1: red at the top left" "$2" $((x + w / 4)) $((y + h / 4)) 255 0 0
    check_colour "$1: blue at the top right" "$2" $((x + 3 * w / 4)) $((y + h / 4)) 0 0 255
    check_colour "$1: green at the bottom left" "$2" $((x + w / 4)) $((y + 3 * h / 4)) 0 255 0
    check_colour "$1: white at the bottom right" "$2" $((x + 3 * w / 4)) $((y + 3 * h / 4)) 255 255 255
}
readonly CONTENT=100 BMP=101 MOVIE=102 BUTTONS=103 PROGRESS=107 INSTALL=108 CANCEL=110 LICENCE=111

export PLAYER_STANDIN_LOG
PLAYER_STANDIN_LOG="$(standins_winpath "$SSI_RUN_DIR/player.log")"
standins_install_player 7 || { echo "FAIL: the stand-in player could not be installed"; exit 1; }

# make_installer NAME MODE PREVIEW_FILE LICENCE(0|1) -> $SSI_RUN_DIR/NAME.exe
make_installer() {
    local name="$1" mode="$2" preview="$3" licence="$4" pkg="$SSI_RUN_DIR/pkg-$1"
    mkdir -p "$pkg"
    cp "$preview" "$pkg/installer.${preview##*.}"
    for f in saver.scr saver.scf saver.ssd saver1.dll saver2.dll; do echo "$f" >"$pkg/$f"; done
    {
        printf '[settings]\nsaver_name = "%s"\nmode = %d\n' "$name" "$mode"
        [[ "$licence" == 1 ]] && printf 'license = true\n[slots.4]\nfile = "License.txt"\n'
        printf '[slots.3]\nfile = "installer.%s"\n' "${preview##*.}"
        local slot=6
        for f in saver.scr saver.scf saver.ssd saver1.dll saver2.dll; do
            printf '[slots.%d]\nfile = "%s"\n' $slot "$f"
            # The installer registers the saver as its name plus ".scr".
            [[ $slot == 6 ]] && printf 'name = "%s.scr"\n' "$name"
            slot=$((slot + 1))
        done
    } >"$pkg/manifest.toml"
    for i in $(seq 1 40); do printf 'Licence line %d: the screen saver may be used on any number of computers.\r\n' "$i"; done \
        >"$pkg/License.txt"
    "$saverpack" build "$bin/install.exe" "$pkg/manifest.toml" "$SSI_RUN_DIR/$name.exe" \
        --impborl "$bin/impborl.dll" >/dev/null || { echo "FAIL: saverpack could not build $name"; exit 1; }
}

pid=""
trap '[[ -n "$pid" ]] && kill $pid 2>/dev/null' EXIT
start_installer() {
    (cd "$SSI_RUN_DIR" && exec "$WINE" "$1.exe" >/dev/null 2>&1) &
    pid=$!
}
# ended NAME: the installer, asked to close by the last driver run, has ended.
ended() {
    check "$1: Cancel ends the program" "exit-code 0" "$(grep '^exit-code' <<<"$out")"
    wait "$pid"
    pid=""
}

# A little uncompressed SWF 6 movie.
movie="$SSI_RUN_DIR/preview.swf"
{ printf 'FWS\x06\x20\x00\x00\x00'; head -c 24 /dev/zero; } >"$movie"
make_installer "Night Sky" 8 "$bin/fixtures/quadrants.jpg" 0
make_installer "Ocean Saver" 1 "$bin/fixtures/quadrants.bmp" 1
make_installer "Aurora" 2 "$movie" 0

# ---- Night Sky: JPEG preview, no licence --------------------------------------
title="Install Screen Saver: Night Sky"
start_installer "Night Sky"
drv wait-window "$title" 120000 -- window-rect "$title" -- window-style "$title" -- controls "$title" \
    -- child-rect "$title" $BMP -- right-click "$title" -- input-right-click "$title"
grep -q '^found' <<<"$out" || { echo "FAIL: no window titled \"$title\""; exit 1; }
before="$(nth 4 | grep '^control')"
read -ra picture <<<"$(nth 5 | sed -n 's/^screen-rect //p')"
read -ra client <<<"$(field client)"
read -ra rect <<<"$(field rect)"
check "no licence: caption" 1 "$(nth 1 | grep -c '^found')"
check "no licence: client height" 214 "${client[1]}"
check "no licence: border not sizeable" "sizeable 0" "$(nth 3 | grep '^sizeable')"
read -ra buttons <<<"$(ctl "$before" $BUTTONS)"
check "no licence: button row at client y 151, full width" "1 151 ${client[0]} 63" \
    "${buttons[0]} ${buttons[3]} ${buttons[4]} ${buttons[5]}"
check "no licence: licence box hidden" 0 "$(ctl "$before" $LICENCE | cut -d' ' -f1)"
read -ra install <<<"$(ctl "$before" $INSTALL)"
read -ra cancel <<<"$(ctl "$before" $CANCEL)"
check "no licence: Install caption" "Install" "$(ctl_text "$before" $INSTALL)"
check "no licence: Install 80 wide" 80 "${install[4]}"
check "no licence: Install 86 left of Cancel" 86 "$((cancel[2] - install[2]))"
check "no licence: picture preview shown" 1 "$(ctl "$before" $BMP | cut -d' ' -f1)"
ssi_screenshot "$shots/window-jpeg.png" --rect "${rect[@]}"
check_quadrants "JPEG preview" "$shots/window-jpeg.png" "${rect[0]}" "${rect[1]}" "${picture[@]}"

# The two right clicks changed nothing, and no menu opened.
drv controls "$title" -- menus -- click "$title" Cancel -- wait-exit "$title" 60000
check "right clicks on the window: the controls as before" "$before" "$(nth 1 | grep '^control')"
check "right clicks on the window: no menu" "menus 0" "$(nth 2 | head -n1)"
ended "Night Sky"

# ---- Ocean Saver: BMP preview with a licence ----------------------------------
title="Install: Ocean Saver"
start_installer "Ocean Saver"
drv wait-window "$title" 120000 -- window-rect "$title" -- window-style "$title" -- controls "$title" \
    -- child-rect "$title" $BMP
grep -q '^found' <<<"$out" || { echo "FAIL: no window titled \"$title\""; exit 1; }
designed="$(nth 4)"
read -ra picture <<<"$(nth 5 | sed -n 's/^screen-rect //p')"
read -ra client <<<"$(field client)"
read -ra outer <<<"$(field outer)"
read -ra rect <<<"$(field rect)"
check "licence: caption" 1 "$(nth 1 | grep -c '^found')"
check "licence: client height" 321 "${client[1]}"
((outer[1] >= 340))
verdict $? "licence: outer height at least 340" "outer height ${outer[1]}"
check "licence: border sizeable" "sizeable 1" "$(nth 3 | grep '^sizeable')"
check "licence: minimum size" "min-track 359 340" "$(nth 3 | grep '^min-track')"
check "licence: button row at client y 258" 258 "$(ctl "$designed" $BUTTONS | cut -d' ' -f4)"
check "licence: licence box at client y 153, 103 high, full width" "1 0 153 ${client[0]} 103" \
    "$(ctl "$designed" $LICENCE | cut -d' ' -f1,3-6)"
read -ra install <<<"$(ctl "$designed" $INSTALL)"
read -ra cancel <<<"$(ctl "$designed" $CANCEL)"
check "licence: Install caption" "Accept and Install" "$(ctl_text "$designed" $INSTALL)"
check "licence: Install 115 wide" 115 "${install[4]}"
check "licence: 6 pixels between Install and Cancel" 6 "$((cancel[2] - install[2] - install[4]))"
check "licence: the licence text shown" 1 "$(grep -c 'Licence line 1: ' <<<"$designed")"
ssi_screenshot "$shots/window-bmp.png" --rect "${rect[@]}"
check_quadrants "BMP preview" "$shots/window-bmp.png" "${rect[0]}" "${rect[1]}" "${picture[@]}"

# Dragged 141 pixels wider, then taller; then an attempt below the minimum.
read -ra progress <<<"$(ctl "$designed" $PROGRESS)"
drv resize "$title" 500 "${outer[1]}" -- controls "$title" -- resize "$title" 500 600 -- controls "$title" \
    -- resize "$title" 200 200 -- resize "$title" 520 560 -- window-rect "$title"
read -ra wide <<<"$(nth 1 | sed -n 's/^client //p')"
wider="$(nth 2)"
dw=$((wide[0] - client[0]))
check "wider: client width follows the drag" 141 "$dw"
check "wider: content area" "${wide[0]}" "$(ctl "$wider" $CONTENT | cut -d' ' -f5)"
check "wider: button row" "${wide[0]}" "$(ctl "$wider" $BUTTONS | cut -d' ' -f5)"
check "wider: licence box" "${wide[0]}" "$(ctl "$wider" $LICENCE | cut -d' ' -f5)"
check "wider: progress bar" "$((progress[4] + dw))" "$(ctl "$wider" $PROGRESS | cut -d' ' -f5)"
check "wider: Install moved with the edge" "$((install[2] + dw))" "$(ctl "$wider" $INSTALL | cut -d' ' -f3)"
check "wider: Cancel moved with the edge" "$((cancel[2] + dw))" "$(ctl "$wider" $CANCEL | cut -d' ' -f3)"
check "wider: height unchanged" 321 "${wide[1]}"
read -ra tall <<<"$(nth 3 | sed -n 's/^client //p')"
taller="$(nth 4)"
check "taller: button row at the bottom" "$((tall[1] - 63))" "$(ctl "$taller" $BUTTONS | cut -d' ' -f4)"
# 2 pixels above the box, 4 below it.
check "taller: licence box grown to 4 pixels above the button row" "153 $((tall[1] - 63 - 4 - 153))" \
    "$(ctl "$taller" $LICENCE | cut -d' ' -f4,6)"
check "below the minimum: held at 359 x 340" "outer 359 340" "$(nth 5 | grep '^outer')"
read -ra rect <<<"$(field rect "$(nth 7)")"
ssi_screenshot "$shots/window-licence.png" --rect "${rect[@]}"
drv click "$title" Cancel -- wait-exit "$title" 60000
ended "Ocean Saver"

# ---- Aurora: the preview movie -------------------------------------------------
title="Install Screen Saver: Aurora"
start_installer "Aurora"
drv wait-window "$title" 120000 -- window-rect "$title" -- controls "$title" \
    -- child-rect "$title" PlayerStandinWindow -- right-click "$title" PlayerStandinWindow \
    -- input-right-click "$title" PlayerStandinWindow -- right-click "$title"
grep -q '^found' <<<"$out" || { echo "FAIL: no window titled \"$title\""; exit 1; }
before="$(nth 3 | grep '^control')"
read -ra rect <<<"$(field rect)"
read -ra player <<<"$(grep -m1 '^control 3 [0-9]* PlayerStandinWindow ' <<<"$before" | cut -d' ' -f5-10)"
read -ra panel <<<"$(ctl "$before" $MOVIE)"
check "movie: movie panel shown" 1 "${panel[0]}"
# Made at the panel's size of that moment, before the window took its
# final width; it keeps that size.
check "movie: the player's window fills the panel's height from its corner" "1 1 0 0 150" \
    "${player[*]:0:4} ${player[5]:-}"
((${player[4]:-0} >= 340 && ${player[4]:-999} <= panel[4]))
verdict $? "movie: the player's window about as wide as the panel" "player ${player[4]:-none}, panel ${panel[4]}"
read -ra place <<<"$(nth 4 | sed -n 's/^screen-rect //p')"
ssi_screenshot "$shots/window-movie.png" --rect "${rect[@]}"
# The player's dark field, in front of the (empty) picture preview.
check_colour "movie: the player shows in the panel" "$shots/window-movie.png" \
    $(((place[0] + place[2]) / 2 - rect[0])) $(((place[1] + place[3]) / 2 - rect[1])) 18 22 38
drv controls "$title" -- menus -- click "$title" Cancel -- wait-exit "$title" 60000
check "right clicks on the movie: the controls as before" "$before" "$(nth 1 | grep '^control')"
check "right clicks on the movie: no menu" "menus 0" "$(nth 2 | head -n1)"
ended "Aurora"

log="$(cat "$SSI_RUN_DIR/player.log" 2>/dev/null)"
echo "$log" | sed 's/^/  player: /'
check "the player was told: no menu" 1 "$(grep -cx 'put Menu false' <<<"$log")"
check "the player was given the extracted movie" 1 "$(grep -c '^put Movie .*\\installer\.swf$' <<<"$log")"
check "the player played it" 1 "$(grep -cx 'Play' <<<"$log")"
check "no right click reached the player" 0 "$(grep -c 'rbuttondown' <<<"$log")"
check "the player was stopped and released on closing" 1 "$(grep -cx 'StopPlay' <<<"$log")"

trap - EXIT
exit $((failures > 0))
