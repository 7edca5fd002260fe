#!/bin/bash
# The real installer driven as a user would, under Wine. One prefix, the
# player stand-in installed first; a package with a licence and a JPEG
# preview, started three times:
#   1. Cancel before Install: the installer ends at once, exit code 0, and its
#      scratch folder (there while the window was up, its temp.dat and
#      impborl.dll refused to another program's writing) is gone.
#   2. Install clicked twice in a row, then the close box while it installs;
#      the control-panel question answered with No. One installation runs
#      (one question), the window outlives the close box, and the screen
#      saver is in the system folder, its files in the install folder,
#      system.ini names it and its uninstall entry is there; exit code 0.
#   3. Install over it, the overwrite question declined with Cancel: the
#      window is ready again; the close box ends it with exit code 0 and
#      nothing changed.
# After each: no QDX folder in TEMP, nothing of ours running.
#   run by scripts/wine-run --script: interactive.sh WIN32_BIN SAVERPACK
set -uo pipefail
BIN="$1"
SAVERPACK="$2"
source "$SSI_REPO/tests/e2e/e2e.sh"
e2e_begin

echo "== Cancel before Install"
e2e_start "$out/cancel" "$E2E_WIN\\Setup.exe"
drv "$out/ready" wait-shown "$CAPTION" 120000 -- controls "$CAPTION"
check "window shown" 0 $?
check "scratch folder while the window is up" 1 "$(scratch_folders | wc -l)"
# What the installer staged cannot be written by another program while it runs.
scratch="$(scratch_folders | head -n1)"
timeout 120 "$WINE" "$BIN/e2e_helper.exe" try-write "$(standins_winpath "$scratch/temp.dat")" \
    "$(standins_winpath "$scratch/impborl.dll")" >"$out/staged.raw" 2>/dev/null
keep_output "$out/staged"
for f in temp.dat impborl.dll; do
    check "$f refused to another writer (sharing violation)" 32 "$(field "$out/staged" "$f")"
done
check "licence box shown" 1 "$(grep -c "^control .*Edit 1 .*NIGHT SKY SCREEN SAVER - LICENCE" "$out/ready")"
drv "$out/cancel-click" click "$CAPTION" Cancel
e2e_finish "$out/cancel"
check "exit code after Cancel" 0 "$(field "$out/cancel" exit-code)"
check "nothing installed" "no" "$([[ -e "$SAVER" || -e "$INSTALL_DIR" ]] && echo yes || echo no)"
check_ending "$out/cancel"

echo "== Install twice, the close box while installing, the question answered No"
e2e_start "$out/install" "$E2E_WIN\\Setup.exe"
# Posted one after the other: the second click and the close reach the
# window while the first click's installation runs.
drv "$out/drive" wait-shown "$CAPTION" 120000 -- click "$CAPTION" "Accept and Install" \
    -- click "$CAPTION" "Accept and Install" -- close "$CAPTION" -- wait-window Confirm 60000 \
    -- window-rect "$CAPTION" -- controls "$CAPTION"
check "the window outlives the close box" 1 "$(field "$out/drive" visible)"
check "completion shown" 1 "$(grep -c 'Screen Saver Installation and Setup Complete\.' "$out/drive")"
drv "$out/answers" answer-boxes Confirm 7 5000
check "one question (one installation)" 1 "$(field "$out/answers" boxes)"
check "the question" \
    'The installation of the screen saver was successful.\r\n\r\nWould you like to open the screen saver control panel?' \
    "$(field "$out/answers" text)"
e2e_finish "$out/install"
check "exit code" 0 "$(field "$out/install" exit-code)"
check "the installer window was on the screen" 1 "$(grep -cx "on-screen $CAPTION" "$out/install")"
check_ending "$out/install"

check "screen saver in the system folder" "$(md5sum <"$BIN/Night Sky.scr")" "$(md5sum <"$SAVER" 2>/dev/null)"
for f in nightsky.scf saver1.dll saver2.dll License.txt saver.dat playlist.xml stars.txt media/intro.swf; do
    check "install folder holds $f" yes "$([[ -f "$INSTALL_DIR/$f" ]] && echo yes || echo no)"
done
check "no read-me (the package has none to show)" no "$([[ -e "$INSTALL_DIR/ReadMe.txt" ]] && echo yes || echo no)"
e2e_state "$out/state"
short="$(field "$out/state" saver-short)"
check "system.ini names the saver's short path" "$short" "$(scrnsave_line)"
check "uninstall entry" "HKLM Night Sky Screen Saver|C:\\windows\\system32\\Night Sky.scr /u" \
    "$(grep '^uninstall HKLM' "$out/state" | cut -d' ' -f2-)"

echo "== A declined overwrite, then the close box"
before="$(md5sum <"$SAVER")"
e2e_start "$out/declined" "$E2E_WIN\\Setup.exe"
drv "$out/decline" wait-shown "$CAPTION" 120000 -- click "$CAPTION" "Accept and Install" \
    -- wait-window Confirm 60000 -- box Confirm -- click Confirm 2 -- wait-gone Confirm 10000 \
    -- wait-enabled "$CAPTION" "Accept and Install" 10000 -- close "$CAPTION"
check "asked to overwrite" 1 "$(grep -c 'already exists. Overwrite?' "$out/decline")"
check "ready again" 1 "$(grep -cx enabled "$out/decline")"
e2e_finish "$out/declined"
check "exit code after the declined overwrite" 0 "$(field "$out/declined" exit-code)"
check "the installed saver unchanged" "$before" "$(md5sum <"$SAVER" 2>/dev/null)"
check "system.ini unchanged" "$short" "$(scrnsave_line)"
check_ending "$out/declined"

exit $((failures > 0))
