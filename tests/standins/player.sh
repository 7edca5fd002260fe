#!/bin/bash
# The player control stand-in and its installer in one prefix, in the order a
# machine meets them: nothing registered; the installer (flashax7.exe /q)
# installs and registers 7.0.19.0, which is then hosted in a window (with a
# screenshot to SSI_ARTIFACTS/player-hosted.png); standins.sh swaps in the
# 8.0.22.0 control and the one without a version resource; uninstalling
# leaves the class unregistered again. Nine Wine program starts in all.
#   run by scripts/wine-run --script (WINE, WINEPREFIX, DISPLAY, SSI_RUN_DIR set)
#   player.sh WIN32_BIN
set -uo pipefail
bin="$1"
source "$SSI_REPO/tests/standins/standins.sh"
source "$SSI_REPO/tests/standins/checks.sh"
STANDINS_BIN="$bin"
export PLAYER_STANDIN_LOG
PLAYER_STANDIN_LOG="$(standins_winpath "$SSI_RUN_DIR/player.log")"
# The test program's own checks, indented; a failing one fails this script.
probe() {  # probe DESCRIPTION ARGS...
    local what="$1"; shift
    "$WINE" "$bin/standins_player_test.exe" "$@" 2>/dev/null | tr -d '\r' | sed "s/^/  [$what] /"
    [[ ${PIPESTATUS[0]} == 0 ]] || fail "$what"
}

probe "before registration" unregistered

# The installer, quietly (the switch in any letter case).
timeout 120 "$WINE" "$bin/flashax7.exe" /q
check "installer exit code" 0 "$?"
check "installer wrote the control" 1 "$([[ -f "$(standins_player_file)" ]] && echo 1)"
check "installer log" "setup /q|setup installed C:\\windows\\system32\\Macromed\\Flash\\Flash.ocx|setup exit 0" \
    "$(paste -sd'|' "$SSI_RUN_DIR/player.log")"

# Hosted, with a screenshot while it plays.
shot="$SSI_RUN_DIR/shot"
"$WINE" "$bin/standins_player_test.exe" registered 7 7.0.19.0 --host --hold "$(standins_winpath "$shot")" \
    2>/dev/null | tr -d '\r' | sed 's/^/  [hosted 7.0.19.0] /' &
pid=$!
for _ in $(seq 1 1200); do
    [[ -f "$shot.ready" ]] || ! kill -0 $pid 2>/dev/null && break
    sleep 0.1
done
if [[ -f "$shot.ready" ]]; then
    # The folder for kept screenshots is the caller's (CTest gives one of its tree).
    shots="${SSI_ARTIFACTS:-$SSI_RUN_DIR}"
    mkdir -p "$shots"
    import -window root "$shots/player-hosted.png" && echo "  screenshot: $shots/player-hosted.png"
fi
touch "$shot.done"
wait $pid || fail "hosted 7.0.19.0"

standins_install_player 8 || fail "standins_install_player 8"
probe "8.0.22.0" registered 8 8.0.22.0
standins_install_player 7-noversion || fail "standins_install_player 7-noversion"
probe "7 without version resource" registered 7 none

standins_uninstall_player || fail "standins_uninstall_player"
check "uninstall deleted the control" "" "$([[ -e "$(standins_player_file)" ]] && echo present)"
probe "after uninstalling" unregistered

exit $((failures > 0))
