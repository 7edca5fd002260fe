#!/bin/bash
# The Windows integration under Wine, once per Windows version: a copy of
# integration_wine_test.exe per version (integration_win95.exe, ...), each
# given its version through HKCU\Software\Wine\AppDefaults\NAME.exe, written
# into the prefix's user.reg before any Wine program starts. The older
# versions run the PerVersion cases; the latest runs everything, with the
# stand-in player (PLAYER_STANDIN_LOG), the stand-in Display Properties
# (desk.cpl in system32, DISPLAY_STANDIN_LOG) and a planted rundll32.exe
# beside the programs, in their current folder.
# Wine starts: seven test programs, the helper holding a file, the player
# installer, rundll32, the planted program.
#   run by scripts/wine-run --script (WINE, WINEPREFIX, DISPLAY, SSI_RUN_DIR set)
#   integration.sh WIN32_BIN
set -uo pipefail
bin="$1"
source "$SSI_REPO/tests/standins/standins.sh"
source "$SSI_REPO/tests/standins/checks.sh"
STANDINS_BIN="$bin"
versions=(win95 win98 winme nt40 win2k winxp win7)

app="$SSI_RUN_DIR/app"
mkdir -p "$app"
cp "$bin/planted/rundll32.exe" "$app/" || { echo "FAIL: no planted rundll32.exe"; exit 1; }
for v in "${versions[@]}"; do
    cp "$bin/integration_wine_test.exe" "$app/integration_$v.exe" || { echo "FAIL: no test program"; exit 1; }
    printf '\n[Software\\\\Wine\\\\AppDefaults\\\\integration_%s.exe] 0\n"Version"="%s"\n' "$v" "$v"
done >>"$WINEPREFIX/user.reg"
standins_install_display_panel || { echo "FAIL: cannot install desk.cpl"; exit 1; }
export PLAYER_STANDIN_LOG DISPLAY_STANDIN_LOG
PLAYER_STANDIN_LOG="$(standins_winpath "$SSI_RUN_DIR/player.log")"
DISPLAY_STANDIN_LOG="$(standins_winpath "$SSI_RUN_DIR/display.log")"

cd "$app" || exit 1
for v in "${versions[@]}"; do
    filter='PerVersion.*'
    [[ "$v" == "${versions[-1]}" ]] && filter='*'
    timeout 300 "$WINE" "$app/integration_$v.exe" --windows="$v" --bin="$(standins_winpath "$bin")" \
        --gtest_filter="$filter" >"$SSI_RUN_DIR/$v.out" 2>&1
    rc=$?
    tr -d '\r' <"$SSI_RUN_DIR/$v.out" | grep -vE '^\[ +(RUN|OK) +\]|^$' | sed "s/^/  [$v] /"
    check "$v: every case passed" 0 "$rc"
done
exit $((failures > 0))
