# Shell functions of the end-to-end scripts. Sourced by a script that
# scripts/wine-run --script runs (WINE, WINEPREFIX, SSI_REPO, SSI_RUN_DIR set)
# after setting BIN (the win32 tree's bin/) and SAVERPACK.
#
#   e2e_package NAME [KEY=VALUE...]  builds C:\e2e\NAME.exe from a manifest of
#                                    the demo's shape; keys: mode license readme
#                                    scr (a file to carry as the screen saver)
#                                    data (the folder the data file is made of)
#                                    preview (a file to carry in slot 3)
#                                    saver (the saver name, UTF-8; default Night Sky)
#   e2e_start OUT PROGRAM [ARGS...]  starts `e2e_helper run` in the background,
#                                    its report into OUT; E2E_PID is its process
#   e2e_finish OUT                   waits for that report (120 s at most)
#   drv OUT COMMANDS...              runs the UI driver, its output into OUT
#   check DESCRIPTION EXPECTED ACTUAL
#   check_ending REPORT              exit code aside, what every ending leaves:
#                                    no QDX folder in TEMP, nothing of ours running
#   field FILE KEY                   the rest of FILE's first "KEY ..." line
#   e2e_state OUT [NAME]             e2e_helper state NAME (default "Night Sky")
#                                    into OUT, names as the system's code page has them
#   e2e_begin                        what both scripts start with: the stand-in
#                                    player 7 installed, C:\e2e\Setup.exe built
#                                    with a licence; out= the run's folder
# Output goes to files, never pipes: the first Wine program of a prefix starts
# the wineserver, which keeps a pipe open for as long as it runs.

E2E_WIN='C:\e2e'
E2E_DIR="$WINEPREFIX/drive_c/e2e"
SYS32="$WINEPREFIX/drive_c/windows/system32"
SAVER="$SYS32/Night Sky.scr"
INSTALL_DIR="$SYS32/Night Sky dir"
SYSTEM_INI="$WINEPREFIX/drive_c/windows/system.ini"
CAPTION="Install Screen Saver: Night Sky"
source "$SSI_REPO/tests/standins/checks.sh"
mkdir -p "$E2E_DIR"

field() { sed -n "s/^$2 //p" "$1" | head -n1; }

# A Wine program's output, written to OUT.raw, into OUT without carriage
# returns, and shown indented.
keep_output() {
    tr -d '\r' <"$1.raw" >"$1"
    rm -f "$1.raw"
    sed 's/^/    /' "$1"
}

drv() {
    local out="$1"
    shift
    timeout 300 "$WINE" "$BIN/uidriver.exe" "$@" >"$out.raw" 2>/dev/null
    local rc=$?
    keep_output "$out"
    return $rc
}

e2e_package() {
    local name="$1"
    shift
    local mode=8 license=false readme=false scr="$BIN/Night Sky.scr" data="$SSI_REPO/fixtures/demo/data" kv
    local saver="Night Sky"
    local preview="$SSI_REPO/fixtures/demo/installer.jpg"
    for kv in "$@"; do
        case "$kv" in
            mode=*) mode="${kv#*=}" ;;
            license=*) license="${kv#*=}" ;;
            readme=*) readme="${kv#*=}" ;;
            scr=*) scr="${kv#*=}" ;;
            data=*) data="${kv#*=}" ;;
            preview=*) preview="${kv#*=}" ;;
            saver=*) saver="${kv#*=}" ;;
            *) echo "e2e_package: unknown key $kv" >&2; return 2 ;;
        esac
    done
    local pkg="$SSI_RUN_DIR/pkg-$name"
    rm -rf "$pkg"
    mkdir -p "$pkg"
    cp "$preview" "$pkg/"
    cp "$SSI_REPO/fixtures/demo/License.txt" "$SSI_REPO/fixtures/demo/ReadMe.txt" \
        "$SSI_REPO/fixtures/demo/nightsky.scf" "$BIN/saver1.dll" "$BIN/saver2.dll" "$pkg/"
    cp "$scr" "$pkg/$saver.scr"
    "$SAVERPACK" ssd build "$data" --record "$SSI_REPO/fixtures/demo/saver-record.bin" "$pkg/Night Sky.ssd" \
        >/dev/null || return 1
    cat >"$pkg/manifest.toml" <<TOML
[settings]
saver_name = "$saver"
mode = $mode
license = $license
readme = $readme
display_panel = true
[slots.3]
file = "$(basename "$preview")"
[slots.4]
file = "License.txt"
[slots.5]
file = "ReadMe.txt"
[slots.6]
file = "$saver.scr"
compress = true
[slots.7]
file = "nightsky.scf"
[slots.8]
file = "Night Sky.ssd"
[slots.9]
file = "saver1.dll"
compress = true
[slots.10]
file = "saver2.dll"
compress = true
TOML
    "$SAVERPACK" build "$BIN/install.exe" "$pkg/manifest.toml" "$E2E_DIR/$name.exe" \
        --impborl "$BIN/impborl.dll" >/dev/null
}

e2e_start() {
    local out="$1"
    shift
    rm -f "$out"
    timeout 300 "$WINE" "$BIN/e2e_helper.exe" run "$@" >"$out.raw" 2>/dev/null &
    E2E_PID=$!
}

e2e_finish() {
    local out="$1"
    for _ in $(seq 1 1200); do
        kill -0 "$E2E_PID" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$E2E_PID" 2>/dev/null; then
        fail "the installer did not end within 120 s"
        kill "$E2E_PID" 2>/dev/null
    fi
    wait "$E2E_PID" 2>/dev/null
    keep_output "$out"
}

e2e_state() {
    timeout 120 "$WINE" "$BIN/e2e_helper.exe" state "${2:-Night Sky}" >"$1.raw" 2>/dev/null
    keep_output "$1"
}

scratch_folders() { find "$WINEPREFIX/drive_c" -maxdepth 7 -type d -name 'QDX*' 2>/dev/null; }

check_ending() {
    check "no QDX folder left in TEMP" "" "$(scratch_folders | paste -sd' ')"
    check "nothing of ours left running" "" "$(grep '^left-running' "$1" | paste -sd'|')"
}

# The system.ini [boot] SCRNSAVE.EXE value, or nothing.
scrnsave_line() { tr -d '\r' <"$SYSTEM_INI" | sed -n 's/^SCRNSAVE\.EXE=//Ip' | head -n1; }

# Relative path, size and checksum of every file below a folder, sorted.
tree_listing() {
    (cd "$1" 2>/dev/null && find . -type f -print0 | sort -z | xargs -0 -r md5sum) | paste -sd'|'
}

e2e_begin() {
    source "$SSI_REPO/tests/standins/standins.sh"
    STANDINS_BIN="$BIN"
    out="$SSI_RUN_DIR"
    standins_install_player 7 || { echo "FAIL: the player stand-in could not be installed"; exit 1; }
    e2e_package Setup license=true || { echo "FAIL: saverpack could not build the package"; exit 1; }
}
