# Shell functions for Wine test scripts that need the stand-ins: the player
# control (fixtures/player) and the "Display Properties" applet
# (fixtures/displaypanel). Source it from a script run by
# `scripts/wine-run --script` (WINE and WINEPREFIX set):
#
#   source "$SSI_REPO/tests/standins/standins.sh"
#   STANDINS_BIN=/path/to/win32-tree/bin      # required: where the stand-ins were built
#
#   standins_winpath UNIX_PATH          prints the Windows path (Z:\...) of a Unix path
#   standins_install_player [VARIANT]   copies bin/playerVARIANT.ocx (6, 7, 8, 9,
#                                       7-noversion; default 7) to
#                                       system32\Macromed\Flash\Flash.ocx and registers
#                                       it with `regsvr32 /s`
#   standins_uninstall_player           unregisters it (`regsvr32 /u /s`) and deletes it
#   standins_player_file                prints the Unix path of the installed control
#   standins_install_display_panel      copies bin/desk.cpl into system32, so that
#                                       "rundll32.exe shell32.dll,Control_RunDLL desk.cpl,,1"
#                                       opens "Display Properties"
#
# Each function starts at most one Wine program (regsvr32): starting a program
# is the slow part of a Wine test. They return non-zero on failure.
#
# The stand-ins log to files named by Windows paths in the environment:
#   export PLAYER_STANDIN_LOG="$(standins_winpath "$SSI_RUN_DIR/player.log")"
#   export DISPLAY_STANDIN_LOG="$(standins_winpath "$SSI_RUN_DIR/display.log")"
# (formats: fixtures/player/README.md and fixtures/displaypanel/desk.cpp).

STANDINS_BIN="${STANDINS_BIN:-}"
STANDINS_PLAYER_WINPATH='C:\windows\system32\Macromed\Flash\Flash.ocx'

standins_winpath() {
    local p
    p="$(realpath -m "$1")"
    printf 'Z:%s\n' "${p//\//\\}"
}

_standins_bin_set() {
    [[ -n "$STANDINS_BIN" ]] || { echo "standins: STANDINS_BIN is not set (the win32 tree's bin folder)" >&2; return 1; }
}

standins_system32() { printf '%s\n' "$WINEPREFIX/drive_c/windows/system32"; }

standins_player_file() { printf '%s\n' "$(standins_system32)/Macromed/Flash/Flash.ocx"; }

standins_install_player() {
    local variant="${1:-7}" src
    _standins_bin_set || return 1
    src="$STANDINS_BIN/player$variant.ocx"
    [[ -f "$src" ]] || { echo "standins: no such control: $src" >&2; return 1; }
    mkdir -p "$(standins_system32)/Macromed/Flash" &&
        cp "$src" "$(standins_player_file)" &&
        timeout 120 "$WINE" regsvr32 /s "$STANDINS_PLAYER_WINPATH"
}

standins_uninstall_player() {
    local file rc=0
    file="$(standins_player_file)"
    [[ -f "$file" ]] || return 0
    timeout 120 "$WINE" regsvr32 /u /s "$STANDINS_PLAYER_WINPATH" || rc=$?
    rm -f "$file"
    return $rc
}

standins_install_display_panel() {
    _standins_bin_set || return 1
    local src="$STANDINS_BIN/desk.cpl"
    [[ -f "$src" ]] || { echo "standins: no such applet: $src" >&2; return 1; }
    cp "$src" "$(standins_system32)/desk.cpl"
}
