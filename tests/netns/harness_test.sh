#!/usr/bin/env bash
# The harness cleans up after itself whatever happens, and the simulator ends when told
# to or when its lifetime is over.
# Usage: harness_test.sh PATH-TO-pathmere-devsim
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/netns.sh"
netns_begin "$1" || exit $?

# A child run that leaves through $1 after writing its namespace prefix, its simulator's
# pid and its own.
child() {
    local ending=$1 out=$2
    NETNS_DEVSIM=$NETNS_DEVSIM bash -c '
        source "$1/netns.sh"
        netns_setup
        netns_add_devices dev 192.0.2.10
        netns_devsim dev --address 192.0.2.10
        echo "$NETNS_PREFIX $NETNS_LAST_PID $$" >"$2"
        case "$3" in
            fail) false || exit 3 ;;
            wait) sleep 30 >/dev/null 2>&1 & wait $! ;;
        esac' child "$here" "$out" "$ending"
}

ended() { # a process that is gone or only waits to be reaped
    local state
    state=$(ps -o stat= -p "$1")
    [ -z "$state" ] || [[ $state == Z* ]]
}

left_over() { # prefix: namespaces of that run still present
    ip netns list | grep -c "^$1-"
}

for ending in fail wait; do
    out="$NETNS_DIR/child.$ending"
    if [ "$ending" = wait ]; then
        child wait "$out" &
        job=$!
        for _ in $(seq 100); do [ -s "$out" ] && break; sleep 0.1; done
        read -r prefix devsim_pid child_pid <"$out"
        kill -TERM "$child_pid"
        wait "$job"
    else
        child fail "$out"
    fi
    read -r prefix devsim_pid child_pid <"$out"
    check "a run ended by $ending had namespaces" test -n "$prefix"
    check_eq "a run ended by $ending leaves no namespace" 0 "$(left_over "$prefix")"
    check "a run ended by $ending leaves no simulator" ended "$devsim_pid"
done

# A run killed outright leaves its namespaces; the next setup removes them and what runs there.
true &
dead=$!
wait "$dead"
stale="pathmere-$dead-0-hub"
ip netns add "$stale"
# Started from a subshell, so that its killing is not reported as a job of this script.
stale_sleeper=$( (ip netns exec "$stale" sleep 30 >/dev/null 2>&1 & echo $!) )
listed() { ip netns list | grep -qE "^$1( |\$)"; }
not_listed() { ! listed "$1"; }
check "a stale namespace is in place" listed "$stale"
child fail "$NETNS_DIR/child.reap"
check "a namespace left by a killed run is removed" not_listed "$stale"
check "and what ran in it is ended" ended "$stale_sleeper"

netns_add_devices dev 192.0.2.10
netns_devsim dev --address 192.0.2.10
pid=$NETNS_LAST_PID
kill -TERM "$pid"
wait "$pid"
check_eq "the simulator ends cleanly on SIGTERM" 0 $?

netns_devsim dev --address 192.0.2.10 --lifetime 1
pid=$NETNS_LAST_PID
timeout 10 tail --pid="$pid" -f /dev/null
check_eq "the simulator ends by itself when its lifetime is over" 0 $?
wait "$pid"
check_eq "and says so with status 0" 0 $?

netns_exec dev "$NETNS_DEVSIM" --address 192.0.2.10 --answers many 2>/dev/null
check_eq "a bad option ends the simulator with status 2" 2 $?

checks_finish
