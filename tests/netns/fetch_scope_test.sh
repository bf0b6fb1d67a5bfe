#!/usr/bin/env bash
# A location names what this computer fetches: devices that name the client's own loopback,
# the unspecified address (which reaches the client itself), a public address and a multicast
# address, beside a good device. The client has a default route here (to a gateway namespace
# that forwards nothing), so that a connection attempt to the public address would leave; an
# nftables counter in the client shows that no connection was attempted to any of them, by
# the window's way of identifying or the streaming one, while the good device is listed and
# --all shows each refused location with its reason.
# Usage: fetch_scope_test.sh PATH-TO-pathmere-devsim PATH-TO-pathmere-scan
set -uo pipefail
source "$(dirname "$0")/netns.sh"
netns_begin "$@" || exit $?

netns_add_devices home 192.0.2.10 192.0.2.20 192.0.2.21 192.0.2.22 192.0.2.23
netns_add_devices gateway 192.0.2.254
log=$NETNS_DIR
quick=(--max-delay-ms 300 --notify off)
started=true
start() { netns_devsim "$@" || started=false; }
start home --address 192.0.2.10 --friendly-name "Good one" --serial-number SN10 "${quick[@]}"
start home --address 192.0.2.20 --location-host 127.0.0.1 --http-port 8631 "${quick[@]}"
start home --address 192.0.2.21 --location-host 0.0.0.0 --http-port 8632 "${quick[@]}"
start home --address 192.0.2.22 --location-host 198.51.100.7 "${quick[@]}"
start home --address 192.0.2.23 --location-host 239.255.255.250 "${quick[@]}"
check "every simulated device started" $started
check "nothing of ours can leave the namespaces" netns_check_isolated
# Only now the default route: the gateway is a namespace of this run, which forwards nothing.
ip -n "$NETNS_CLIENT" route add default via 192.0.2.254
check "the public address has a route" netns_client ip route get 198.51.100.7 >/dev/null

netns_client nft -f - <<'NFT'
table inet watch {
    counter loopback {}
    counter public {}
    counter multicast {}
    chain output {
        type filter hook output priority 0;
        oifname "lo" meta l4proto tcp counter name "loopback"
        ip daddr 198.51.100.7 counter name "public"
        ip daddr 224.0.0.0/4 meta l4proto tcp counter name "multicast"
    }
}
NFT
packets() { # counter name
    netns_client nft list counter inet watch "$1" | awk '$1 == "packets" { print $2 }'
}
counts() { echo "$(packets loopback) $(packets public) $(packets multicast)"; }

# The counters see an attempt: a connection to each of the first two leaves a packet.
netns_client timeout 3 bash -c 'exec 3<>/dev/tcp/127.0.0.1/8631' 2>/dev/null
netns_client timeout 3 bash -c 'exec 3<>/dev/tcp/198.51.100.7/80' 2>/dev/null
check "the counters see a connection attempt" \
    test "$(packets loopback)" -gt 0 -a "$(packets public)" -gt 0
netns_client nft reset counters table inet watch >/dev/null

for way in no-stream stream; do
    netns_client timeout 100 "$scan" --seconds 3 --tsv "--$way" >"$log/$way" 2>"$log/$way.err" &
    wait $!
    check_eq "$way: the run ends normally" 0 $?
    check_eq "$way: the good device is listed, alone" \
        $'192.0.2.10\tGood one\t1.0\tSN10\thttp://192.0.2.10:80/rootDesc.xml' "$(cat "$log/$way")"
    check_eq "$way: nothing was sent to loopback, the public or the multicast address" "0 0 0" \
        "$(counts)"
done

netns_client timeout 100 "$scan" --seconds 3 --csv --all >"$log/all" 2>"$log/all.err" & wait $!
refused() { # location: whether it is listed, and why
    grep -F ",$1," "$log/all" | awk -F, '{ print $8 "," $9 }'
}
check_eq "all: the client's loopback, refused" "no,not fetched: names a loopback address" \
    "$(refused http://127.0.0.1:8631/rootDesc.xml)"
check_eq "all: the unspecified address, refused" "no,not fetched: names the unspecified address" \
    "$(refused http://0.0.0.0:8632/rootDesc.xml)"
check_eq "all: the public address, refused" \
    "no,not fetched: names an address outside this network" \
    "$(refused http://198.51.100.7:80/rootDesc.xml)"
check_eq "all: the multicast address, refused" "no,not fetched: names a multicast address" \
    "$(refused http://239.255.255.250:80/rootDesc.xml)"
check_eq "all: and still nothing sent to them" "0 0 0" "$(counts)"

checks_finish
