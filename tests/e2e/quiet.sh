#!/bin/bash
# Quiet installations ("/Q") of the real installer under Wine, one prefix, the
# player stand-in installed first:
#   1. A clean one: exit code 0, no window of the installer ever on the screen,
#      the screen saver, its files, system.ini and the uninstall entry in place.
#   2. Over that saver while another process holds its .scr open sharing
#      reading only: exit code -38; the file, system.ini and the install
#      folder stay as they were.
#   3. A package whose read-me cannot be copied (its data file makes a folder
#      of that name in the install folder), over that saver, with system.ini
#      naming it by another path: the installation fails after it has put its
#      own files in place and made its saver the active one; the old .scr,
#      the old install folder, the old system.ini line and the old uninstall
#      entry are back.
#   4. The clean package again, as Windows 95, 98 and NT 4.0 (Wine's version
#      for copies of it): those systems ignore the manifest that asks for
#      administrator rights, and the installation runs as usual (exit code 0).
#   5. "/q" with no player installed and none carried: ends by itself within
#      seconds with -402, no window or box ever on the screen.
#   6. The saverpack README's quick start, with no player installed: the
#      player it carries is installed, then the saver (exit code 0).
#   7. After a run killed while the old saver was aside (its kept names
#      beside its places): the next run puts it back, then installs.
#   8. A run killed for real while it writes a large data item: the old
#      saver is on disk under one of its names; the next run ends with the
#      new saver complete and no kept copy left.
#   9. A saver named "Boréalis": saverpack writes the name in code page 1252,
#      and the .scr, its install folder and the uninstall entry carry it
#      (no "BorÃ©alis").
# After each: no QDX folder in TEMP, nothing of ours running.
#   run by scripts/wine-run --script: quiet.sh WIN32_BIN SAVERPACK
set -uo pipefail
BIN="$1"
SAVERPACK="$2"
source "$SSI_REPO/tests/e2e/e2e.sh"
# Each copy's Windows version, written before any Wine program starts.
old_versions=(win95 win98 nt40)
for v in "${old_versions[@]}"; do
    printf '\n[Software\\\\Wine\\\\AppDefaults\\\\Setup_%s.exe] 0\n"Version"="%s"\n' "$v" "$v"
done >>"$WINEPREFIX/user.reg"
e2e_begin
# The failing package: another .scr, and a data file with a folder ReadMe.txt.
printf 'a newer screen saver' >"$SSI_RUN_DIR/other.scr"
mkdir -p "$SSI_RUN_DIR/clash/ReadMe.txt"
cp -r "$SSI_REPO/fixtures/demo/data/." "$SSI_RUN_DIR/clash/"
printf 'in the way\n' >"$SSI_RUN_DIR/clash/ReadMe.txt/note.txt"
e2e_package Clash readme=true scr="$SSI_RUN_DIR/other.scr" data="$SSI_RUN_DIR/clash" ||
    { echo "FAIL: saverpack could not build the failing package"; exit 1; }

echo "== /Q on a clean machine"
e2e_start "$out/quiet" "$E2E_WIN\\Setup.exe" /Q
e2e_finish "$out/quiet"
check "exit code" 0 "$(field "$out/quiet" exit-code)"
ws="$(field "$out/quiet" peak-working-set)"
check "its peak working set is read (1 MB to 1 GB)" yes \
    "$([[ "$ws" =~ ^[0-9]+$ ]] && ((ws > 1000000 && ws < 1000000000)) && echo yes || echo "no: '$ws'")"
check "no window on the screen" "" "$(grep '^on-screen' "$out/quiet" | paste -sd'|')"
check_ending "$out/quiet"
check "screen saver in the system folder" "$(md5sum <"$BIN/Night Sky.scr")" "$(md5sum <"$SAVER" 2>/dev/null)"
for f in nightsky.scf saver1.dll saver2.dll saver.dat playlist.xml stars.txt media/intro.swf; do
    check "install folder holds $f" yes "$([[ -f "$INSTALL_DIR/$f" ]] && echo yes || echo no)"
done
check "no licence copied (quiet shows none)" no "$([[ -e "$INSTALL_DIR/License.txt" ]] && echo yes || echo no)"
e2e_state "$out/state"
check "system.ini names the saver's short path" "$(field "$out/state" saver-short)" "$(scrnsave_line)"
check "uninstall entry" "HKLM Night Sky Screen Saver|C:\\windows\\system32\\Night Sky.scr /u" \
    "$(grep '^uninstall HKLM' "$out/state" | cut -d' ' -f2-)"

saver_before="$(md5sum <"$SAVER")"
tree_before="$(tree_listing "$INSTALL_DIR")"
line_before="$(scrnsave_line)"

echo "== /Q while the installed .scr is held open"
e2e_start "$out/locked" --hold 'C:\windows\system32\Night Sky.scr' "$E2E_WIN\\Setup.exe" /Q
e2e_finish "$out/locked"
check "the file was held" 1 "$(field "$out/locked" held)"
check "exit code" -38 "$(field "$out/locked" exit-code)"
check "no window on the screen" "" "$(grep '^on-screen' "$out/locked" | paste -sd'|')"
check_ending "$out/locked"
check "the .scr unchanged" "$saver_before" "$(md5sum <"$SAVER" 2>/dev/null)"
check "the install folder unchanged" "$tree_before" "$(tree_listing "$INSTALL_DIR")"
check "system.ini unchanged" "$line_before" "$(scrnsave_line)"

echo "== /Q of a package that fails after activating its saver"
# system.ini names the saver by its long path now: the installation writes
# the short one, so the old line coming back is visible.
old_line='C:\windows\system32\Night Sky.scr'
sed -i "s/^SCRNSAVE\.EXE=.*/SCRNSAVE.EXE=${old_line//\\/\\\\}\r/I" "$SYSTEM_INI"
check "old line set" "$old_line" "$(scrnsave_line)"
e2e_start "$out/failing" "$E2E_WIN\\Clash.exe" /Q
e2e_finish "$out/failing"
code="$(field "$out/failing" exit-code)"
check "the installation failed" yes "$([[ -n "$code" && "$code" != 0 && "$code" != -38 ]] && echo yes || echo no)"
check "no window on the screen" "" "$(grep '^on-screen' "$out/failing" | paste -sd'|')"
check_ending "$out/failing"
check "the old .scr is back" "$saver_before" "$(md5sum <"$SAVER" 2>/dev/null)"
check "the old install folder is back" "$tree_before" "$(tree_listing "$INSTALL_DIR")"
check "the old system.ini line is back" "$old_line" "$(scrnsave_line)"
e2e_state "$out/state2"
check "the old uninstall entry is back" "HKLM Night Sky Screen Saver|C:\\windows\\system32\\Night Sky.scr /u" \
    "$(grep '^uninstall HKLM' "$out/state2" | cut -d' ' -f2-)"
check "no copy kept in the system folder" "" \
    "$(find "$SYS32" -maxdepth 1 -iname '*night*' ! -name 'Night Sky.scr' ! -name 'Night Sky dir' | paste -sd'|')"

for v in "${old_versions[@]}"; do
    echo "== /Q as $v"
    cp "$E2E_DIR/Setup.exe" "$E2E_DIR/Setup_$v.exe"
    e2e_start "$out/$v" "$E2E_WIN\\Setup_$v.exe" /Q
    e2e_finish "$out/$v"
    check "$v: exit code" 0 "$(field "$out/$v" exit-code)"
    check_ending "$out/$v"
    check "$v: the screen saver in place" "$(md5sum <"$BIN/Night Sky.scr")" "$(md5sum <"$SAVER" 2>/dev/null)"
done

echo "== /q with no player installed and none carried"
# Nobody is there: no box may wait for a click. The run ends by itself, at
# once, with -402 (not 0: nothing was installed).
standins_uninstall_player || fail "the player stand-in could not be removed"
e2e_start "$out/noplayer" "$E2E_WIN\\Setup.exe" /q
e2e_finish "$out/noplayer"
check "exit code" -402 "$(field "$out/noplayer" exit-code)"
ms="$(field "$out/noplayer" elapsed-ms)"
# The look for a player takes its 20 half-second attempts (a player being
# installed in the background gets that time); then the run ends at once.
check "it ended by itself within seconds" yes "$([[ "$ms" =~ ^[0-9]+$ ]] && ((ms < 30000)) && echo yes || echo "no: '$ms' ms")"
check "no window or box on the screen" "" "$(grep '^on-screen' "$out/noplayer" | paste -sd'|')"
check_ending "$out/noplayer"
check "the installed saver untouched" "$saver_before" "$(md5sum <"$SAVER" 2>/dev/null)"
quiet_log="$(find "$WINEPREFIX/drive_c/windows" -maxdepth 1 -iname Setup.log | head -n1)"
check "the log in the Windows folder names the failure" yes \
    "$(tr -d '\r' <"$quiet_log" 2>/dev/null | grep -qx 'exit code: -402' && echo yes || echo "no: '$quiet_log'")"

echo "== /q of the saverpack README's quick start, no player installed: it carries one"
# Built from the README's own text (tests/package/quickstart.sh); the machine
# has no player, so the one the package carries must be installed first.
"$SSI_REPO/tests/package/quickstart.sh" "$SAVERPACK" "$SSI_REPO" "$BIN" "$E2E_DIR/QuickStart.exe" >/dev/null ||
    fail "the quick start could not be built"
e2e_start "$out/quickstart" "$E2E_WIN\\QuickStart.exe" /q
e2e_finish "$out/quickstart"
check "exit code" 0 "$(field "$out/quickstart" exit-code)"
check "no window or box on the screen" "" "$(grep '^on-screen' "$out/quickstart" | paste -sd'|')"
check_ending "$out/quickstart"
check "Aurora.scr in the system folder" "$(md5sum <"$BIN/Night Sky.scr")" "$(md5sum <"$SYS32/Aurora.scr" 2>/dev/null)"
check "its install folder holds the record" yes "$([[ -f "$SYS32/Aurora dir/saver.dat" ]] && echo yes || echo no)"
timeout 120 "$WINE" "$BIN/e2e_helper.exe" state "Aurora" >"$out/quickstart-state.raw" 2>/dev/null
keep_output "$out/quickstart-state"
check "its uninstall entry" "HKLM Aurora Screen Saver|C:\\windows\\system32\\Aurora.scr /u" \
    "$(grep '^uninstall HKLM' "$out/quickstart-state" | cut -d' ' -f2-)"
standins_install_player 7 || fail "the player stand-in could not be put back"
echo "== /Q after a run that was killed while the old saver was aside"
# What a killed run leaves: the saver and its folder under their kept names
# beside their places, nothing under their own. The next run puts them back
# before it replaces them, and ends with the new saver complete.
mv "$SAVER" "$SAVER.kept" && mv "$INSTALL_DIR" "$INSTALL_DIR.kept"
check "the leftover is in place" yes "$([[ -f "$SAVER.kept" && ! -e "$SAVER" ]] && echo yes || echo no)"
e2e_start "$out/recover" "$E2E_WIN\\Setup.exe" /Q
e2e_finish "$out/recover"
check "exit code" 0 "$(field "$out/recover" exit-code)"
check_ending "$out/recover"
check "the saver is in place" "$(md5sum <"$BIN/Night Sky.scr")" "$(md5sum <"$SAVER" 2>/dev/null)"
check "its install folder is complete" yes "$([[ -f "$INSTALL_DIR/saver.dat" ]] && echo yes || echo no)"
check "no kept copy is left" "" "$(find "$SYS32" -maxdepth 1 -iname '*.kept' | paste -sd'|')"

echo "== /Q killed while the old saver is aside, then run again"
# A package whose data file holds a 40 MB item, so that the installation
# takes a while after it has put the old saver under its kept name. The run
# is killed as soon as the kept name shows; the old saver is still on disk
# under one of its two names. The next run removes the killed run's scratch
# folder, puts the old saver back, replaces it and ends with the new saver
# whole.
mkdir -p "$SSI_RUN_DIR/big"
cp -r "$SSI_REPO/fixtures/demo/data/." "$SSI_RUN_DIR/big/"
head -c 40000000 /dev/zero >"$SSI_RUN_DIR/big/movie.bin"
e2e_package Big scr="$SSI_RUN_DIR/other.scr" data="$SSI_RUN_DIR/big" ||
    fail "saverpack could not build the large package"
old_saver="$(md5sum <"$SAVER")"
e2e_start "$out/killed" "$E2E_WIN\\Big.exe" /Q
killed=no
deadline=$((SECONDS + 60))
while ((SECONDS < deadline)); do
    if [[ -e "$SAVER.kept" ]]; then
        pid="$(pgrep -f 'Big\.exe' | while read -r p; do
            tr '\0' ' ' <"/proc/$p/cmdline" 2>/dev/null | grep -qv e2e_helper && echo "$p"; done | head -n1)"
        [[ -n "$pid" ]] && kill -9 "$pid" && killed=yes
        break
    fi
    kill -0 "$E2E_PID" 2>/dev/null || break
done
e2e_finish "$out/killed"
check "the installer was killed in the middle" yes "$killed"
check "the killed run did not end: its scratch folder is left" yes "$([[ -n "$(scratch_folders)" ]] && echo yes || echo no)"
kept_sum="$(md5sum <"$SAVER.kept" 2>/dev/null)"
own_sum="$(md5sum <"$SAVER" 2>/dev/null)"
check "the old saver is on disk under one of its names" yes \
    "$([[ "$kept_sum" == "$old_saver" || "$own_sum" == "$old_saver" ]] && echo yes || echo no)"
e2e_start "$out/after-kill" "$E2E_WIN\\Big.exe" /Q
e2e_finish "$out/after-kill"
check "exit code" 0 "$(field "$out/after-kill" exit-code)"
check_ending "$out/after-kill"
check "the new saver is in place" "$(md5sum <"$SSI_RUN_DIR/other.scr")" "$(md5sum <"$SAVER" 2>/dev/null)"
check "its large item is whole" 40000000 "$(stat -c %s "$INSTALL_DIR/movie.bin" 2>/dev/null)"
check "its install folder is complete" yes "$([[ -f "$INSTALL_DIR/saver.dat" ]] && echo yes || echo no)"
check "no kept or let-go copy is left" "" "$(find "$SYS32" -maxdepth 1 \( -iname '*.kept' -o -iname '*.gone' \) | paste -sd'|')"

echo "== /Q of a saver whose name holds an accented letter"
accented="Bor$(printf '\xc3\xa9')alis"
e2e_package Accent saver="$accented" || fail "saverpack could not build the package named $accented"
e2e_start "$out/accent" "$E2E_WIN\\Accent.exe" /Q
e2e_finish "$out/accent"
check "exit code" 0 "$(field "$out/accent" exit-code)"
check_ending "$out/accent"
check "the screen saver is $accented.scr" "$(md5sum <"$BIN/Night Sky.scr")" "$(md5sum <"$SYS32/$accented.scr" 2>/dev/null)"
check "its install folder is $accented dir" yes "$([[ -f "$SYS32/$accented dir/saver.dat" ]] && echo yes || echo no)"
check "no name in UTF-8 read as 1252" "" "$(find "$SYS32" -maxdepth 1 -name "*$(printf '\xc3\x83')*" | paste -sd'|')"
# The helper prints what Windows holds in its code page, 1252.
e2e_state "$out/accent-state" "$accented"
check "the uninstall entry names $accented.scr" \
    "HKLM $accented Screen Saver|C:\\windows\\system32\\$accented.scr /u" \
    "$(grep -a '^uninstall HKLM' "$out/accent-state" | cut -d' ' -f2- | iconv -f CP1252 -t UTF-8)"

exit $((failures > 0))
