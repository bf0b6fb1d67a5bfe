#!/usr/bin/env bash
# A device whose answers to connection attempts are lost until the client has tried three
# times, and whose later SYN-ACKs reach only the first attempt (a device resends an unanswered
# SYN-ACK 1 s, then 3 s after the SYN): the description is read on that first connection, the
# request is sent once, and the device is listed.
# Usage: connect_test.sh PATH-TO-pathmere-devsim PATH-TO-pathmere-scan
set -uo pipefail
source "$(dirname "$0")/netns.sh"
netns_begin "$@" || exit $?

netns_add_devices makers 192.0.2.10
log=$NETNS_DIR
netns_devsim makers --address 192.0.2.10 --friendly-name "Far" --serial-number SN10 \
    --max-delay-ms 100 --log "$log/requests"
check_eq "the simulated device started" 0 $?
# "first" keeps the source port of the first SYN; "hold" drops every SYN-ACK until it goes.
netns_exec makers nft -f - <<'NFT'
table inet held {
    set first { type inet_service; size 1; flags dynamic; }
    counter syns { }
    chain input {
        type filter hook input priority 0;
        tcp dport 80 tcp flags & (syn | ack) == syn counter name syns update @first { tcp sport }
    }
    chain output {
        type filter hook output priority 0;
        tcp sport 80 tcp flags & (syn | ack) == syn | ack tcp dport != @first drop
        tcp sport 80 tcp flags & (syn | ack) == syn | ack drop comment "hold"
    }
}
NFT
check_eq "the device's filter is in place" 0 $?
check "nothing of ours can leave the namespaces" netns_check_isolated

syns() { netns_exec makers nft list counter inet held syns | awk '$1 == "packets" { print $2 }'; }
netns_client timeout 100 "$scan" --seconds 2 --stream --tsv >"$log/rows" 2>"$log/scan.err" &
scan_pid=$!
# The first attempt and the fresh ones 250 and 750 ms later.
for _ in $(seq 400); do
    [ "$(syns)" -ge 3 ] && break
    sleep 0.05
done
attempts=$(syns)
hold=$(netns_exec makers nft -a list chain inet held output | sed -n 's/.*"hold" # handle //p')
netns_exec makers nft delete rule inet held output handle "$hold"
check_eq "the hold is lifted" 0 $?
wait "$scan_pid"
check_eq "the run ends normally" 0 $?
cat "$log/scan.err"
check "the client tried more than one connection" test "$attempts" -ge 3
check_eq "the device is listed: read on the first connection, the only one answered" \
    $'192.0.2.10\tFar\t1.0\tSN10\thttp://192.0.2.10:80/rootDesc.xml' "$(cat "$log/rows")"
check_eq "the description was asked for once" 1 "$(cat "$log/requests" 2>/dev/null | grep -c '^GET ')"

checks_finish
