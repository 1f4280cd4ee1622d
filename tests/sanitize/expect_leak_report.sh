#!/usr/bin/env bash
# Runs a program built with LeakSanitizer that leaks on purpose and passes only when the program's
# own checks passed and LeakSanitizer reported every expected leak: "FUNCTION:BYTES" names the
# function of ours on the leak's stack and the size it leaked.
# Usage: expect_leak_report.sh PROGRAM FUNCTION:BYTES...
set -uo pipefail
program=$1
shift
output=$("$program" 2>&1)
status=$?
echo "$output"

failed=0
fail() {
    echo "expect_leak_report: $*" >&2
    failed=1
}
[ "$status" -ne 0 ] || fail "the program ended with status 0: no leak was reported"
echo "$output" | grep -Eq '^Totals: [0-9]+ passed, 0 failed' || fail "the program's own tests did not all pass"
for expected in "$@"; do
    function=${expected%%:*}
    bytes=${expected##*:}
    # One report per leak: its header line, then its stack up to a blank line.
    found=$(echo "$output" | awk -v fn="$function" '
        /^(Direct|Indirect) leak of / { header = $0; next }
        /^$/ { header = "" }
        header != "" && $0 ~ (" in ([^ ]*::)?" fn "([ (]|$)") { print header; header = "" }')
    if [ -z "$found" ]; then
        fail "no leak reported in $function"
    elif ! echo "$found" | grep -q "^Direct leak of $bytes byte(s) in 1 object(s)"; then
        fail "the leak in $function was reported as \"$found\", expected $bytes bytes"
    fi
done
[ "$failed" -eq 0 ] && echo "expect_leak_report: every expected leak was reported"
exit "$failed"
