#!/usr/bin/env bash
# One search in a simulated network holding every kind of device at once: maker devices
# with each quirk, foreign ones, an announcer, a flooder, a staller and one that never
# takes a connection.
# Usage: discovery_test.sh PATH-TO-pathmere-devsim PATH-TO-pathmere-scan
set -uo pipefail
source "$(dirname "$0")/netns.sh"
netns_begin "$@" || exit $?

# Answers come within 0.5 s, so with a 5 s window the second receive pass reads them all.
quick=(--max-delay-ms 500)
netns_add_devices makers 192.0.2.10 192.0.2.11 192.0.2.12 192.0.2.13 192.0.2.14 192.0.2.15
netns_add_devices foreign 192.0.2.20 192.0.2.21 192.0.2.22
flood_hosts=(192.0.2.30)
for i in $(seq 100 119); do flood_hosts+=("192.0.2.$i"); done
netns_add_devices flood "${flood_hosts[@]}"
netns_add_devices stall 192.0.2.40 192.0.2.41

log=$NETNS_DIR
started=true
start() { netns_devsim "$@" || started=false; }
start makers --address 192.0.2.10 --http-port 5000 --friendly-name "Office router" \
    --model-name KT6610 --model-number "6610-B2" --serial-number SN0010 \
    --log "$log/req10" --search-log "$log/search10" "${quick[@]}"
start makers --address 192.0.2.11 --friendly-name "Port eighty" --model-name kt5520gr \
    --serial-number SN0011 --chunked --location-no-blank --log "$log/req11" "${quick[@]}"
start makers --address 192.0.2.12 --friendly-name $'Upper\tcase' --model-name BX-91C \
    --serial-number SN0012 --location-upper --http-port 49152 "${quick[@]}"
start makers --address 192.0.2.13 --friendly-name "Twelve answers" --answers 12 \
    --serial-number SN0013 --http-port 8000 "${quick[@]}"
start makers --address 192.0.2.14 --friendly-name "Announcer" --notify-only \
    --notify-interval-ms 400 --serial-number SN0014 --search-log "$log/search14"
start makers --address 192.0.2.15 --friendly-name "Close delimited" --close-delimited \
    --manufacturer "KORVANE Networks Ltd." --serial-number SN0015 "${quick[@]}"
start foreign --address 192.0.2.20 --friendly-name "Acme router" --manufacturer "Acme" \
    --model-name KT6610 "${quick[@]}"
start foreign --address 192.0.2.21 --friendly-name "Unknown model" --model-name KT9999 \
    "${quick[@]}"
start foreign --address 192.0.2.22 --friendly-name "Longer model" --model-name KT6610X \
    "${quick[@]}"
start flood --address 192.0.2.30 --http-any --http-port 8080 --friendly-name "Flooder" \
    --flood 192.0.2.100:20 "${quick[@]}"
start stall --address 192.0.2.40 --friendly-name "Staller" --stall-body "${quick[@]}"
start stall --address 192.0.2.41 --friendly-name "Deaf" --full-backlog "${quick[@]}"
check "every simulated device started" $started

check "nothing of ours can leave the namespaces" netns_check_isolated
check "the client has no route beyond its own network" \
    bash -c "! ip netns exec '$NETNS_CLIENT' ip route get 198.51.100.1 >/dev/null 2>&1"

for args in "--seconds 0" "--seconds x" "--bogus" "--seconds"; do
    # shellcheck disable=SC2086
    netns_client "$scan" $args >/dev/null 2>"$log/usage.err"
    check_eq "pathmere-scan $args exits 2" 2 $?
    check "pathmere-scan $args says why" grep -q "pathmere-scan: " "$log/usage.err"
done

begin=$(date +%s)
# About 5 s of search, 30 s for the staller's description and 7.5 s for the connection the
# deaf device never takes. Unbounded, the connection alone would wait over two minutes;
# 100 s tells the two apart with a wide margin.
netns_client timeout 100 "$scan" --seconds 5 >"$log/rows" 2>"$log/scan.err"
status=$?
echo "search took $(($(date +%s) - begin)) s"
check_eq "the search ends normally" 0 "$status"
cat "$log/scan.err"
echo "--- rows"
cat "$log/rows"
echo "---"

row() { grep "^$1	" "$log/rows"; }
check_eq "port 5000 device, every field" \
    $'192.0.2.10\tOffice router\t6610-B2\tSN0010\thttp://192.0.2.10:5000/rootDesc.xml' "$(row 192.0.2.10)"
check_eq "port 80 device: chunked description, lower-case model, no blank after Location:" \
    $'192.0.2.11\tPort eighty\t1.0\tSN0011\thttp://192.0.2.11:80/rootDesc.xml' "$(row 192.0.2.11)"
check_eq "LOCATION spelling; a tab in a name printed as a blank" \
    $'192.0.2.12\tUpper case\t1.0\tSN0012\thttp://192.0.2.12:49152/rootDesc.xml' "$(row 192.0.2.12)"
check_eq "twelve answers to one search give one row" 1 "$(row 192.0.2.13 | wc -l)"
check_eq "a device that only announces is heard on the group" \
    $'192.0.2.14\tAnnouncer\t1.0\tSN0014\thttp://192.0.2.14:80/rootDesc.xml' "$(row 192.0.2.14)"
check "the announcer heard the search but did not answer it" test -s "$log/search14"
check_eq "a body ended by closing the connection; the maker inside a longer name" \
    "Close delimited" "$(row 192.0.2.15 | cut -f2)"
check_eq "foreign manufacturer, unknown model and longer model are not listed" "" \
    "$(grep -E '^192\.0\.2\.2[0-9]	' "$log/rows")"
flooded=$(grep -cE '^192\.0\.2\.(30|1[01][0-9])	' "$log/rows")
check_eq "a sender naming 21 hosts adds 8 of them" 8 "$flooded"
check_eq "a description sent a byte a second is given up" "" "$(row 192.0.2.40)"
check_eq "a connection never taken is given up" "" "$(row 192.0.2.41)"
check_eq "nothing else is listed" 14 "$(wc -l <"$log/rows")"
check_eq "every row has five fields" "" "$(awk -F'\t' 'NF != 5' "$log/rows")"

expected_search=$'M-SEARCH * HTTP/1.1\r\nMX: 10\r\nST: ssdp:all\r\nHOST: 239.255.255.250:1900\r\nMAN: "ssdp:discover"\r\n\r\n'
check_eq "one search request of exactly these 95 bytes" \
    "$(printf '%s' "$expected_search" | od -c)" "$(od -c <"$log/search10")"
ua="User-Agent: Mozilla/4.0 (compatible; Korvane Browser)"
check_eq "request bytes, port 5000: Host names the port" \
    "$(printf 'GET /rootDesc.xml HTTP/1.1\r\nHost: 192.0.2.10:5000\r\n%s\r\nContent-Length: 0\r\n\r\n' "$ua" | od -c)" \
    "$(od -c <"$log/req10")"
check_eq "request bytes, port 80: Host without a port" \
    "$(printf 'GET /rootDesc.xml HTTP/1.1\r\nHost: 192.0.2.11\r\n%s\r\nContent-Length: 0\r\n\r\n' "$ua" | od -c)" \
    "$(od -c <"$log/req11")"

checks_finish
