#!/usr/bin/env bash
# pathmere-scan's output forms and diagnosis on a simulated network: a device that only
# announces, one that answers 2 s late, a foreign one, one whose description cannot be
# fetched, one whose name is not UTF-8 and holds control characters; then the same client
# behind a firewall that drops the unicast answers, and with every datagram dropped.
# Usage: scan_test.sh PATH-TO-pathmere-devsim PATH-TO-pathmere-scan
set -uo pipefail
source "$(dirname "$0")/netns.sh"
netns_begin "$@" || exit $?

quick=(--max-delay-ms 300)
netns_add_devices makers 192.0.2.10 192.0.2.11 192.0.2.12 192.0.2.13
netns_add_devices foreign 192.0.2.20
netns_add_devices broken 192.0.2.30
log=$NETNS_DIR
started=true
start() { netns_devsim "$@" || started=false; }
# Its description escapes the name: Ahmet&#39;s Office &amp; Lab.
start makers --address 192.0.2.10 --friendly-name "Ahmet's Office & Lab" --serial-number SN10 "${quick[@]}"
start makers --address 192.0.2.11 --friendly-name "Announcer" --notify-only \
    --notify-interval-ms 300 --serial-number SN11
start makers --address 192.0.2.12 --friendly-name "Late" --serial-number SN12 \
    --min-delay-ms 2000 --max-delay-ms 2000
start makers --address 192.0.2.13 --friendly-name $'Caf\xc3\xa9 \xff\x1b[31mred\x07' \
    --serial-number SN13 "${quick[@]}"
start foreign --address 192.0.2.20 --friendly-name "Acme box" --manufacturer Acme "${quick[@]}"
start broken --address 192.0.2.30 --friendly-name "Refuses" "${quick[@]}"
check "every simulated device started" $started
# The description server refuses every connection at once.
netns_exec broken nft -f - <<'NFT'
table inet refuse {
    chain input { type filter hook input priority 0; tcp dport 80 reject with tcp reset; }
}
NFT
check "nothing of ours can leave the namespaces" netns_check_isolated

search() { # output file, arguments...
    local out=$1
    shift
    netns_client timeout 100 "$scan" --seconds 4 "$@" >"$out" 2>"$out.err" & wait $!
}

# Lines for a script: devices in the order first heard, the diagnosis on stderr.
search "$log/tsv" --tsv
check_eq "tsv: the run ends normally" 0 $?
row() { grep "^$1	" "$log/tsv"; }
check_eq "tsv: today's five fields, the name's references decoded" \
    $'192.0.2.10\tAhmet\'s Office & Lab\t1.0\tSN10\thttp://192.0.2.10:80/rootDesc.xml' "$(row 192.0.2.10)"
check_eq "tsv: an announcer is listed" "Announcer" "$(row 192.0.2.11 | cut -f2)"
check_eq "tsv: a device answering 2 s late is listed" "Late" "$(row 192.0.2.12 | cut -f2)"
check_eq "tsv: bytes that are not UTF-8 and controls are replaced" \
    $'Caf\xc3\xa9 \xef\xbf\xbd [31mred ' "$(row 192.0.2.13 | cut -f2)"
check "tsv: the output is valid UTF-8" iconv -f UTF-8 -t UTF-8 "$log/tsv" -o /dev/null
check_eq "tsv: no escape character reaches the output" 0 "$(tr -cd '\033\007' <"$log/tsv" | wc -c)"
check_eq "tsv: only the maker's devices" 4 "$(wc -l <"$log/tsv")"
check "tsv: the diagnosis names the description that failed" \
    grep -q "http://192.0.2.30:80/rootDesc.xml could not be read: connection refused" "$log/tsv.err"
check "tsv: the searched address and its counts" \
    grep -qE "^192\.0\.2\.1: searched; [1-9][0-9]* answers? to the search, [1-9][0-9]* announcements? heard" "$log/tsv.err"

# Streamed: the late device is printed while the search still runs.
mkfifo "$log/fifo"
netns_client "$scan" --seconds 4 --stream --tsv >"$log/fifo" 2>/dev/null &
scanner=$!
exec 3<"$log/fifo"
late_seen=no
while IFS= read -r -t 30 line <&3; do
    echo "$line" >>"$log/stream"
    case "$line" in 192.0.2.12$'\t'*)
        kill -0 "$scanner" 2>/dev/null && late_seen=while-running || late_seen=after-the-end
        break ;;
    esac
done
cat <&3 >>"$log/stream"
exec 3<&-
wait "$scanner"
check_eq "stream: the late device is printed while the search runs" while-running "$late_seen"
check_eq "stream: the same four devices" "$(cut -f1 "$log/tsv" | sort)" "$(cut -f1 "$log/stream" | sort)"

# --all in CSV: every description read, and why the program would not list it.
search "$log/csv" --csv --all
check_eq "csv: header" "address,friendly_name,model_number,serial_number,location,manufacturer,model_name,listed,reason" \
    "$(head -1 "$log/csv")"
check "csv: the foreign device and why" \
    grep -q '^192\.0\.2\.20,Acme box,,,http://192\.0\.2\.20:80/rootDesc\.xml,Acme,KT6610,no,manufacturer is not Korvane$' "$log/csv"
check "csv: the unreadable description and why" \
    grep -q '^192\.0\.2\.30,.*,no,description could not be read: connection refused$' "$log/csv"
check_eq "csv: six devices after the header" 7 "$(wc -l <"$log/csv")"

# One JSON document.
search "$log/json" --json --all --stream
check "json: one valid document" jq -e . "$log/json" >/dev/null
check_eq "json: the maker's devices" "192.0.2.10 192.0.2.11 192.0.2.12 192.0.2.13" \
    "$(jq -r '[.devices[].address] | sort | join(" ")' "$log/json")"
check_eq "json: the foreign one among the descriptions, not listed" "false manufacturer is not Korvane" \
    "$(jq -r '.descriptions[] | select(.address == "192.0.2.20") | "\(.listed) \(.reason)"' "$log/json")"
check_eq "json: the name, with its bad bytes replaced" $'Caf\xc3\xa9 \xef\xbf\xbd [31mred ' \
    "$(jq -r '.devices[] | select(.address == "192.0.2.13") | .friendly_name' "$log/json")"
check_eq "json: the address searched" "192.0.2.1 true" \
    "$(jq -r '.addresses[] | "\(.address) \(.searched)"' "$log/json")"
has() { jq -e "$1" "$2" >/dev/null; } # jq filter, file
check "json: the failed fetch in the diagnosis" \
    has '.diagnosis | any(test("192.0.2.30.*connection refused"))' "$log/json"

# A table, on request.
search "$log/table" --table
check "table: a heading" grep -qE '^ADDRESS +FRIENDLY NAME +MODEL NUMBER +SERIAL NUMBER +LOCATION$' "$log/table"
column_of() { awk -v text="$1" 'i = index($0, text) { print i; exit }' "$log/table"; }
check_eq "table: names under their heading" "$(column_of "FRIENDLY NAME")" "$(column_of "Ahmet's Office & Lab")"
# The row of an ASCII name, where bytes are columns.
check_eq "table: addresses under their heading" "$(column_of "LOCATION")" \
    "$(awk '/^192\.0\.2\.10 / { print index($0, "http://"); exit }' "$log/table")"
fits_80() { # characters, not bytes: names may be UTF-8
    local line
    while IFS= read -r line; do [ "${#line}" -le 80 ] || return 1; done < <(sed -n '1,/^$/p' "$1")
}
LC_ALL=C.UTF-8 check "table: the rows fit 80 columns" fits_80 "$log/table"
check "table: the diagnosis follows" grep -q "^192.0.2.1: searched" "$log/table"

# A firewall that drops every datagram but those to port 1900: the answers to the search
# socket are lost, the announcer is still heard on the group.
netns_client nft -f - <<'NFT'
table inet firewall {
    chain input { type filter hook input priority 0; udp dport != 1900 drop; }
}
NFT
search "$log/fw" --json
check_eq "firewall: no answer reached the search socket, the group was heard" "0 true" \
    "$(jq -r '.addresses[0] | "\(.search_socket_answers) \(.group_datagrams > 0)"' "$log/fw")"
check "firewall: advice with the ufw and firewalld commands" \
    has '.diagnosis | any(test("ufw allow")) and any(test("firewall-cmd"))' "$log/fw"
check "firewall: the announcer is still found" has '.devices | any(.address == "192.0.2.11")' "$log/fw"
netns_client nft delete table inet firewall

# Silence: every datagram dropped, as on a network that blocks multicast.
netns_client nft -f - <<'NFT'
table inet silence {
    chain input { type filter hook input priority 0; meta l4proto udp drop; }
}
NFT
search "$log/silent" --table
check_eq "silence: the run still ends normally" 0 $?
check "silence: this computer's firewall named first" grep -q "A firewall on this computer is the likeliest cause" "$log/silent"
check "silence: then a network that keeps devices apart" grep -q "client isolation" "$log/silent"
netns_client nft delete table inet silence

# No usable address: only a link-local one, on a veth pair whose both ends are in the
# namespace, so it leads nowhere.
lonely="$NETNS_PREFIX-lonely"
ip netns add "$lonely" && NETNS_NAMESPACES+=("$lonely")
ip netns exec "$lonely" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 \
    net.ipv6.conf.default.disable_ipv6=1 >/dev/null
ip -n "$lonely" link add d0 type veth peer name d1
ip -n "$lonely" addr add 169.254.7.7/16 dev d0
ip -n "$lonely" link set d0 up && ip -n "$lonely" link set d1 up
ip netns exec "$lonely" timeout 60 "$scan" --seconds 1 --table >"$log/lonely" 2>&1
check_eq "no usable address: exit status 1" 1 $?
check "no usable address: the address and why it was skipped" \
    grep -q "169.254.7.7: not searched (link-local)" "$log/lonely"
check "no usable address: said plainly" grep -q "No usable IPv4 address" "$log/lonely"

# No network at all, only loopback: the search's fallback address is no connection either.
cut_off="$NETNS_PREFIX-cutoff"
ip netns add "$cut_off" && NETNS_NAMESPACES+=("$cut_off")
ip -n "$cut_off" link set lo up
ip netns exec "$cut_off" timeout 60 "$scan" --seconds 1 --table >"$log/cutoff" 2>&1
check_eq "no network: exit status 1" 1 $?
check "no network: not connected, no firewall blamed" \
    bash -c "grep -q 'not connected' '$log/cutoff' && ! grep -q 'firewall' '$log/cutoff'"

checks_finish
