#!/bin/bash
# The quick start of tools/saverpack/README.md, run from the README's own
# text: its manifest and its commands, on the five files it names, with the
# real program image. Builds and verifies the installer; with OUT, copies it
# there for a quiet installation under Wine (tests/e2e/quiet.sh).
#
#   quickstart.sh SAVERPACK REPO WIN32_BIN [OUT]
# Exit 77 (skipped) when WIN32_BIN holds no install.exe.
set -euo pipefail

tool="$(realpath "$1")"
repo="$(realpath "$2")"
bin="$3"
out="${4:-}"
readme="$repo/tools/saverpack/README.md"
[[ -f "$bin/install.exe" && -f "$bin/impborl.dll" ]] || { echo "skipped: no install.exe in $bin"; exit 77; }
work="$(mktemp -d /tmp/ssi-quickstart-XXXXXX)"
trap 'rm -rf "$work"' EXIT

# The README's blocks after the quick start marker: the manifest (```toml)
# and the two command blocks (```sh), each into its own file.
awk -v dir="$work" '
    /<!-- quick start manifest/ { on = 1; next }
    on && /^## / { exit }
    on && /^```toml$/ { file = dir "/manifest.toml"; next }
    on && /^```sh$/ { file = dir "/commands" (++n) ".sh"; next }
    on && /^```$/ { file = ""; next }
    file != "" { print > file }
' "$readme"
for f in manifest.toml commands1.sh commands2.sh; do
    [[ -s "$work/$f" ]] || { echo "FAIL: the README's quick start has no $f block"; exit 1; }
done

# The five files a hobbyist has.
cd "$work"
if [[ -f "$bin/Night Sky.scr" ]]; then cp "$bin/Night Sky.scr" Aurora.scr; else head -c 40000 "$bin/install.exe" > Aurora.scr; fi
cp "$repo/fixtures/demo/installer.jpg" preview.jpg
cp "$repo/fixtures/demo/License.txt" "$repo/fixtures/demo/ReadMe.txt" .
if [[ -f "$bin/flashax7.exe" ]]; then cp "$bin/flashax7.exe" .; else head -c 30000 "$bin/impborl.dll" > flashax7.exe; fi

# The commands as written, saverpack being the tool under test and
# path/to/install.exe the program image; "wine" lines are Wine's to run.
saverpack() { "$tool" "$@"; }
sed -i "s|path/to/install.exe|$bin/install.exe|g" commands2.sh
grep -v '^wine ' commands2.sh > native.sh
source ./commands1.sh
source ./native.sh
grep -q "^wine Setup.exe /q" commands2.sh || { echo "FAIL: the quick start has no quiet installation"; exit 1; }
saverpack verify Setup.exe > verify.txt
grep -qx "Setup.exe: ok" verify.txt || { echo "FAIL: verify: $(cat verify.txt)"; exit 1; }
saverpack list Setup.exe | grep -q '"Aurora.scr"' || { echo "FAIL: no Aurora.scr in slot 6"; exit 1; }
[[ -z "$out" ]] || cp Setup.exe "$out"
echo "quick start: built and verified"
