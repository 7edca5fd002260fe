#!/bin/bash
# The UI driver against uitarget, whose windows and controls are known
# exactly (see the top of fixtures/uidriver/uitarget.cpp): every command, the
# existing ones with the output they have always printed, and
# scripts/screenshot's crop. Four driver runs in all (each program start
# under Wine is the slow part), chained with --keep-going so that one failure
# does not hide the rest.
#   run by scripts/wine-run --script (WINE, WINEPREFIX, DISPLAY, SSI_RUN_DIR, SSI_REPO set)
#   uidriver.sh WIN32_BIN
set -uo pipefail
bin="$1"
main="UI Target"
export UIDRIVER="$bin/uidriver.exe"
source "$SSI_REPO/scripts/screenshot"

source "$SSI_REPO/tests/standins/checks.sh"
# One driver run; its output (CR removed) in $out, its exit code in $rc. The
# output goes through a file: a wineserver launched by this start would hold
# a pipe open for as long as the target runs.
out="" rc=0
drv() {
    timeout 120 "$WINE" "$UIDRIVER" "$@" >"$SSI_RUN_DIR/drv.out" 2>/dev/null
    rc=$?
    out="$(tr -d '\r' <"$SSI_RUN_DIR/drv.out")"
    echo "$out" | sed 's/^/  seen: /'
}
has() {  # has DESCRIPTION LINE: the last run printed exactly that line
    grep -qxF -- "$2" <<<"$out"
    verdict $? "$1" "no line '$2'"
}
source "$SSI_REPO/tests/uidriver/driver_output.sh"

cd "$SSI_RUN_DIR" || exit 1
"$WINE" "$bin/uitarget.exe" >/dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null' EXIT

# ---- run 1: reading, before anything changes -------------------------------
drv --keep-going wait-window "$main" 60000 -- window-rect "$main" -- children "$main" -- controls "$main" \
    -- box "$main" -- child-text "$main" Static -- child-text "$main" 13 -- screen-size -- focus "$main" \
    -- child-state "$main" Cancel -- child-state "$main" 1 -- child-rect "$main" Inner -- child-rect "$main" 1 \
    -- window-style "$main" -- window-style "UI Target Tools" -- taskbar-list \
    -- taskbar "UI Target App" -- taskbar "UI Target Owned" -- taskbar "$main" -- taskbar "UI Target Tools" \
    -- taskbar "UI Target Hidden" -- taskbar "No Such Window" \
    -- child-rect "$main" 21 -- child-rect "$main" Button -- child-rect "$main" class=Static \
    -- child-rect "$main" UiTargetPanel -- child-rect "$main" text=Cancel -- child-rect "$main" OK \
    -- child-rect "$main" "text=&OK" -- child-rect "$main" id=13 -- child-rect "$main" nosuch -- menus \
    -- wait-shown "$main" 2000 -- wait-shown "UI Target App" 300
grep -q '^found' <<<"$out" || { echo "FAIL: the target's window did not appear"; exit 1; }
# The last two commands: a window on the screen is shown; a visible one of
# no size is not.
check "wait-shown: on the screen, then visible but empty" "status 0|status 1" \
    "$(grep '^status' <<<"$out" | tail -n2 | paste -sd'|')"

# Existing commands, as they always printed.
has "window-rect position" "rect 100 100 500 400"
has "window-rect visible" "visible 1"
has "window-rect outer size" "outer 400 300"
read -ra client <<<"$(field client)"
check "children: direct ones only" 7 "$(nth 3 | grep -c '^child ')"
read -ra ok_screen <<<"$(nth 13 | sed -n 's/^screen-rect //p')"
has "children: a line with screen coordinates" "child 1 Button 1 ${ok_screen[*]} &OK"
check "children: edit text escaped" 1 "$(nth 3 | grep -c '^child 13 Edit 1 .* first\\r\\nsecond$')"
has "box title" "title $main"
has "box class" "class UiTargetMain"
check "box buttons" "button 1 &OK|button 2 Cancel" "$(nth 5 | grep '^button' | paste -sd'|')"
check "child-text: first direct Static" "text Ready" "$(nth 6 | head -n1)"
check "child-text: edit" 'text first\r\nsecond' "$(nth 7 | head -n1)"
has "screen-size" "screen 1024 768"

# Every control at any depth, in its parent's client coordinates.
while IFS= read -r line; do
    has "controls: ${line#control }" "$line"
done <<'EOF'
control 1 1 Button 1 1 10 10 80 25 &OK
control 1 2 Button 1 0 100 10 80 25 Cancel
control 1 10 Static 1 1 10 45 200 16 Ready
control 1 11 Static 1 1 10 65 300 16 rbuttondown 0
control 1 12 Static 1 1 10 85 300 16 sizing 0 0 0
control 1 13 Edit 1 1 220 110 150 50 first\r\nsecond
control 1 20 UiTargetPanel 1 1 20 120 180 80 
control 2 21 Button 1 1 15 25 90 30 Inner
EOF
check "controls: count" 8 "$(nth 4 | grep -c '^control ')"

check "focus starts on OK" "focus 1 Button &OK" "$(nth 9 | head -n1)"
check "child-state Cancel: visible, disabled" "state 1 0" "$(nth 10 | head -n1)"
check "child-state OK: visible, enabled" "state 1 1" "$(nth 11 | head -n1)"
check "child-rect nested: in its parent" "child 21 Button 1 1 15 25 90 30" "$(nth 12 | head -n1)"
check "child-rect nested: in the window" "in-window 35 145" "$(nth 12 | grep '^in-window')"
read -ra inner_screen <<<"$(nth 12 | sed -n 's/^screen-rect //p')"
check "child-rect: screen rectangles differ by the offsets" \
    "$((ok_screen[0] + 25)) $((ok_screen[1] + 135))" "${inner_screen[0]} ${inner_screen[1]}"

# Style bits, main window then tool window.
check "window-style main" "1 0 1 1 1 1 0 0 1 320 240" \
    "$(nth 14 | sed -n '3,11s/^[a-z-]* //p; s/^min-track //p' | paste -sd' ')"
check "window-style tools" "0 1 0 0 1 1 1 0 0 320 240" \
    "$(nth 15 | sed -n '3,11s/^[a-z-]* //p; s/^min-track //p' | paste -sd' ')"

# Which windows the task bar lists, and why not.
check "taskbar-list" "listed UI Target App|listed UI Target Owned" \
    "$(nth 16 | grep '^listed UI Target' | sort | paste -sd'|')"
while IFS='|' read -r n expected; do
    check "taskbar (command $n)" "$expected" "$(nth "$n" | paste -sd'|')"
done <<'EOF'
17|taskbar 1|status 0
18|taskbar 1|status 0
19|taskbar 0|not-listed owned|status 1
20|taskbar 0|not-listed tool-window|status 1
21|taskbar 0|not-listed hidden|status 1
22|taskbar 0|status 1
EOF

# Children named by id, class or text, at any depth.
while IFS='|' read -r n child expected; do
    check "child $child" "$expected" "$(nth "$n" | head -n1 | cut -d' ' -f1-3)"
done <<'EOF'
23|21|child 21 Button
24|Button|child 1 Button
25|class=Static|child 10 Static
26|UiTargetPanel|child 20 UiTargetPanel
27|text=Cancel|child 2 Button
28|OK|child 1 Button
29|text=&OK|child 1 Button
30|id=13|child 13 Edit
31|nosuch|error no child
EOF
check "menus: none open" "menus 0|status 0" "$(nth 32 | paste -sd'|')"
check "run 1 exit code: the first failure's" 1 "$rc"

# ---- screenshots: the window, then a control by its known rectangle ---------
ssi_screenshot "$SSI_RUN_DIR/window.png" "$main"
check "screenshot of the window: its outer size" "400 300" "$(identify -format '%w %h' "$SSI_RUN_DIR/window.png")"
pixel() { convert "$1" -format "%[hex:p{$2,$3}]" info:; }
# The OK button's left edge, seen from inside the crop: two pixels left of it
# the blue client area, two pixels right of it the button.
bx=$((ok_screen[0] - 100)) by=$((ok_screen[1] - 100 + 12))
check "window crop: blue left of OK" 0000FF "$(pixel "$SSI_RUN_DIR/window.png" $((bx - 2)) $by)"
[[ "$(pixel "$SSI_RUN_DIR/window.png" $((bx + 2)) $by)" != 0000FF ]]
verdict $? "window crop: OK itself not blue" "blue inside the button"
check "window crop: blue at the far corner" 0000FF "$(pixel "$SSI_RUN_DIR/window.png" 390 290)"
ssi_screenshot "$SSI_RUN_DIR/inner.png" --rect "${inner_screen[@]}"
check "screenshot of a rectangle: its size" "90 30" "$(identify -format '%w %h' "$SSI_RUN_DIR/inner.png")"
[[ "$(pixel "$SSI_RUN_DIR/inner.png" 45 3)" != 0000FF ]]
verdict $? "rectangle crop: the button, not the blue around it" "blue inside the button"

# ---- run 2: acting ----------------------------------------------------------
drv --keep-going right-click "$main" Inner -- wait-text "$main" 11 "rbuttondown 1 21 45 15" 3000 \
    -- right-click "$main" -- wait-text "$main" 11 "rbuttondown 2 0 $((client[0] / 2)) $((client[1] / 2))" 3000 \
    -- input-right-click "$main" OK -- wait-text "$main" 11 "rbuttondown 3 1 40 12" 3000 \
    -- resize "$main" 500 350 -- resize "$main" 100 100 -- resize "$main" 319 500 \
    -- resize "UI Target Tools" 100 60 -- resize "UI Target Owned" 100 60 -- child-text "$main" 12 \
    -- click "$main" 1 -- child-state "$main" Cancel -- wait-enabled "$main" Cancel 5000 \
    -- wait-text "$main" 10 Done 5000 -- focus "$main" -- wait-text "$main" Static "Not so" 200
centre="$((client[0] / 2)) $((client[1] / 2))"
while IFS='|' read -r n what expected; do
    check "$what" "$expected" "$(nth "$n" | paste -sd'|')"
done <<EOF
1|posted right click on a nested button|right-clicked 45 15|status 0
2|the target's loop saw it|text rbuttondown 1 21 45 15|status 0
3|posted right click on the window|right-clicked $centre|status 0
4|the target's loop saw it|text rbuttondown 2 0 $centre|status 0
6|real right click: the loop saw it on the button under the cursor|text rbuttondown 3 1 40 12|status 0
EOF
# Outer sizes after a drag-like resize: the minimum track size holds for the
# sizeable window and for the overlapped one, not for the popup.
frame=$((400 - client[0]))x$((300 - client[1]))
while IFS='|' read -r n what expected; do
    check "resize $what" "$expected" "$(nth "$n" | sed -n 's/^outer //p')"
done <<'EOF'
7|main to 500x350|500 350
8|main to 100x100: held at the minimum|320 240
9|main to 319x500: width held|320 500
10|popup tool window to 100x60: not held|100 60
11|overlapped window to 100x60: held|320 240
EOF
read -ra resized <<<"$(nth 7 | sed -n 's/^client //p')"
check "resize keeps the frame" "$frame" "$((500 - resized[0]))x$((350 - resized[1]))"
check "resize sends enter, sizing, exit" "text sizing 3 3 3" "$(nth 12 | head -n1)"
check "click by id" "clicked 1" "$(nth 13 | head -n1)"
check "Cancel still disabled right after the click" "state 1 0" "$(nth 14 | head -n1)"
check "wait-enabled" "enabled" "$(nth 15 | head -n1)"
check "wait-text" "text Done" "$(nth 16 | head -n1)"
check "focus follows the target" "focus 2 Button Cancel" "$(nth 17 | head -n1)"
check "wait-text timeout shows the last text" "timeout|text Done|status 1" "$(nth 18 | paste -sd'|')"
check "run 2 exit code" 1 "$rc"

# ---- run 3: a click by text, then closing; without --keep-going the chain
# stops at the first failure (the window is gone, so taskbar fails) ----------
drv click "$main" text=Inner -- close "$main" -- wait-exit "$main" 10000 -- wait-gone "$main" 5000 \
    -- taskbar "$main" -- screen-size
check "run 3 output" "clicked text=Inner|closed|exit-code 3|gone|taskbar 0" "$(paste -sd'|' <<<"$out")"
check "run 3 exit code" 1 "$rc"
wait $pid
check "target's own exit code" 3 $?
trap - EXIT
exit $((failures > 0))
