# Tiny assertion helpers for the namespace tests: every check runs, failures are counted,
# and checks_finish gives the script's exit status.
CHECKS_FAILED=0

check() { # description, command...
    local what=$1
    shift
    if "$@"; then
        echo "ok   $what"
    else
        echo "FAIL $what"
        CHECKS_FAILED=$((CHECKS_FAILED + 1))
    fi
}

check_eq() { # description, expected, actual
    if [ "$2" = "$3" ]; then
        echo "ok   $1"
    else
        echo "FAIL $1"
        echo "     expected: $(printf '%q' "$2")"
        echo "     actual:   $(printf '%q' "$3")"
        CHECKS_FAILED=$((CHECKS_FAILED + 1))
    fi
}

checks_finish() {
    if [ "$CHECKS_FAILED" -ne 0 ]; then
        echo "$CHECKS_FAILED check(s) failed"
        return 1
    fi
    echo "all checks passed"
}
