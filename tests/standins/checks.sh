# Reporting for the stand-ins' test scripts: "ok: ..." or "FAIL: ..." lines,
# counted in $failures (the script ends with `exit $((failures > 0))`).
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
check() {  # check DESCRIPTION EXPECTED ACTUAL
    if [[ "$2" == "$3" ]]; then echo "ok: $1"; else fail "$1: expected '$2', got '$3'"; fi
}
