#!/usr/bin/env bash
# Rogue devices: each one, alone beside two good maker devices, must leave the search ending
# within its usual time plus the fetch bounds, with exactly the good devices listed. A control
# shows that the rogue's lookup log catches a name the client looks up.
# Usage: rogue_test.sh PATH-TO-pathmere-devsim PATH-TO-pathmere-scan
set -uo pipefail
source "$(dirname "$0")/netns.sh"
netns_begin "$@" || exit $?

quick=(--max-delay-ms 500)
# The good devices also announce themselves every second, as devices do now and then: a burst
# of 10,000 answers can fill the search socket's receive queue at the very moment their answers
# come, and the system then drops those; the announcements arrive on the group socket.
good=(--notify-interval-ms 1000 "${quick[@]}")
netns_add_devices good 192.0.2.10 192.0.2.11
netns_add_devices rogue 192.0.2.50
netns_devsim good --address 192.0.2.10 --friendly-name "Good one" --serial-number SN10 \
    "${good[@]}" || exit 1
netns_devsim good --address 192.0.2.11 --friendly-name "Good two" --serial-number SN11 \
    --chunked "${good[@]}" || exit 1
check "nothing of ours can leave the namespaces" netns_check_isolated

# The client's name server is the rogue itself, which logs every query it gets.
resolv_dir=/etc/netns/$NETNS_CLIENT
netns_on_teardown() {
    rm -rf "$resolv_dir"
    rmdir /etc/netns 2>/dev/null || true
}
mkdir -p "$resolv_dir"
echo "nameserver 192.0.2.50" >"$resolv_dir/resolv.conf"

good_rows=$'192.0.2.10\tGood one\t1.0\tSN10\thttp://192.0.2.10:80/rootDesc.xml\n192.0.2.11\tGood two\t1.0\tSN11\thttp://192.0.2.11:80/rootDesc.xml'
search_seconds=3

# One search with the rogue started by the given devsim options; bound = the fetch bound the
# rogue runs into (s). Prints the time it took.
rogue() { # name, bound, expected extra rows, devsim options...
    local name=$1 bound=$2 extra=$3
    shift 3
    if ! netns_devsim rogue --address 192.0.2.50 --dns-log "$NETNS_DIR/dns.$name" "$@"; then
        check "$name: the rogue device started" false
        return
    fi
    local pid=$NETNS_LAST_PID
    local begin end
    begin=$(date +%s%N)
    netns_client timeout 200 "$scan" --seconds "$search_seconds" >"$NETNS_DIR/rows.$name" \
        2>"$NETNS_DIR/scan.$name" &
    wait $!
    local status=$?
    end=$(date +%s%N)
    kill "$pid" 2>/dev/null
    local ms=$(((end - begin) / 1000000))
    echo "$name: search took $ms ms"
    check_eq "$name: the search ends normally" 0 "$status"
    # The usual search, the rogue's bound, and 5 s of slack for a busy machine.
    check "$name: the search ends within its time and the bound (${bound} s)" \
        test "$ms" -le $(((search_seconds + bound + 5) * 1000))
    local expected=$good_rows
    [ -n "$extra" ] && expected=$(printf '%s\n%s' "$good_rows" "$extra")
    check_eq "$name: exactly the expected devices are listed" "$expected" \
        "$(sort "$NETNS_DIR/rows.$name")"
    check "$name: no name was looked up" test ! -s "$NETNS_DIR/dns.$name"
}

# Limits of one fetch: 7.5 s without progress, 30 s in all. The first search, beside a
# well-behaved device of another maker, is the usual time the others are compared with.
rogue baseline 2 "" --manufacturer Acme "${quick[@]}"
rogue endless-body 2 "" --fault endless-body "${quick[@]}"
rogue drip 31 "" --fault drip "${quick[@]}"
rogue huge-body 2 "" --fault huge-body "${quick[@]}"
rogue silent 8 "" --fault silent "${quick[@]}"
rogue flood 2 "" --flood 198.18.0.1:10000 --answers 0 --notify off "${quick[@]}"
rogue junk-datagrams 2 "" --fault junk-datagrams --answers 0 --notify off "${quick[@]}"
long_name=$(head -c 102400 /dev/zero | tr '\0' 'n')
rogue long-name 2 $'192.0.2.50\t'"${long_name:0:256}"$'\t1.0\tSN50\thttp://192.0.2.50:80/rootDesc.xml' \
    --friendly-name "$long_name" --serial-number SN50 "${quick[@]}"
rogue utf16 2 "" --fault utf16 "${quick[@]}"
rogue broken-chunked 2 "" --fault broken-chunked "${quick[@]}"
rogue endless-headers 2 "" --fault endless-headers "${quick[@]}"
rogue name-host 2 "" --location-host router.example --http-any "${quick[@]}"

# The control: the lookup log would catch a lookup. A name the client looks up itself reaches
# the rogue and is logged (the query in its wire form, the name's labels readable).
if netns_devsim rogue --address 192.0.2.50 --dns-log "$NETNS_DIR/dns.control" "${quick[@]}"; then
    control=$NETNS_LAST_PID
    netns_client timeout 5 getent hosts router.example >/dev/null 2>&1
    kill "$control" 2>/dev/null
    check "control: a name the client looks up is in the rogue's log" \
        grep -qa router "$NETNS_DIR/dns.control"
else
    check "control: the rogue device started" false
fi

checks_finish
