#!/bin/bash
# The "Display Properties" stand-in opened the way the installer opens it:
# rundll32 runs the desk.cpl applet (standins.sh installs it), which shows a
# dialog titled "Display Properties" with OK (1) and Cancel (2). A click on
# Cancel closes it, logs "cancelled", and rundll32 ends.
#   run by scripts/wine-run --script (WINE, WINEPREFIX, DISPLAY, SSI_RUN_DIR set)
#   display_panel.sh WIN32_BIN
set -uo pipefail
bin="$1"
title="Display Properties"
source "$SSI_REPO/tests/standins/standins.sh"
source "$SSI_REPO/tests/standins/checks.sh"
STANDINS_BIN="$bin"
export DISPLAY_STANDIN_LOG
DISPLAY_STANDIN_LOG="$(standins_winpath "$SSI_RUN_DIR/display.log")"

standins_install_display_panel || { echo "FAIL: cannot install desk.cpl"; exit 1; }
timeout 120 "$WINE" rundll32.exe shell32.dll,Control_RunDLL desk.cpl,,1 &
pid=$!
trap 'kill $pid 2>/dev/null' EXIT

state="$("$WINE" "$bin/uidriver.exe" wait-window "$title" 60000 -- children "$title" -- click "$title" 2 -- \
    wait-gone "$title" 30000 2>/dev/null | tr -d '\r')"
echo "$state" | sed 's/^/  seen: /'
check "dialog appeared" 1 "$(echo "$state" | grep -c '^found')"
check "Cancel is button 2" 1 "$(echo "$state" | grep -cE '^child 2 Button 1 .* Cancel$')"
check "OK is button 1" 1 "$(echo "$state" | grep -cE '^child 1 Button 1 .* OK$')"

for _ in $(seq 1 300); do
    kill -0 $pid 2>/dev/null || break
    sleep 0.1
done
if kill -0 $pid 2>/dev/null; then
    check "rundll32 ended after Cancel" ended running
else
    wait $pid
    check "rundll32 exit code" 0 "$?"
fi
trap - EXIT
check "log" "opened|params 1|cancelled" "$(paste -sd'|' "$SSI_RUN_DIR/display.log" 2>/dev/null)"
exit $((failures > 0))
