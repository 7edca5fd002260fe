# Reporting for the shell test scripts (stand-ins, windows, end to end): "ok: ..." or "FAIL: ..." lines,
# counted in $failures (the script ends with `exit $((failures > 0))`).
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
check() {  # check DESCRIPTION EXPECTED ACTUAL
    if [[ "$2" == "$3" ]]; then echo "ok: $1"; else fail "$1: expected '$2', got '$3'"; fi
}
verdict() {  # verdict PASSED DESCRIPTION WHY: PASSED is an exit status, 0 for ok
    if [[ "$1" == 0 ]]; then echo "ok: $2"; else fail "$2: $3"; fi
}
