#!/usr/bin/env bash
# Routers that also serve media: two UPnP devices on one address, the maker's gateway and a
# media server of another maker, each with a description of its own on its own port. The
# maker's router must be listed whichever of the two answers first: on 192.0.2.10 the media
# server answers at once and the router 400 ms later, on 192.0.2.11 the other way round.
# On 192.0.2.12 and 192.0.2.13 one simulator is both devices (--media-server), which sends
# every answer of the one before any of the other: the media server first at another path
# of the router's own port, and last on a port of its own.
# Usage: media_router_test.sh PATH-TO-pathmere-devsim PATH-TO-pathmere-scan
set -uo pipefail
source "$(dirname "$0")/netns.sh"
netns_begin "$@" || exit $?

netns_add_devices routers 192.0.2.10 192.0.2.11 192.0.2.12 192.0.2.13
log=$NETNS_DIR
first=(--max-delay-ms 0 --notify off)
second=(--min-delay-ms 400 --max-delay-ms 400 --notify off)
media=(--http-port 8200 --friendly-name "USB media" --manufacturer "Acme Media"
    --model-name "Media Server" --serial-number M1)
started=true
start() { netns_devsim "$@" || started=false; }
start routers --address 192.0.2.10 "${media[@]}" "${first[@]}" --log "$log/media10"
start routers --address 192.0.2.10 --http-port 2189 --friendly-name "Media first" \
    --model-name KT5520GR --serial-number R10 "${second[@]}" --log "$log/router10"
start routers --address 192.0.2.11 "${media[@]}" "${second[@]}"
start routers --address 192.0.2.11 --http-port 2189 --friendly-name "Router first" \
    --model-name KT5520GR --serial-number R11 "${first[@]}"
start routers --address 192.0.2.12 --friendly-name "Same port" --serial-number R12 \
    --media-server 80/MediaServer.xml --media-order first --max-delay-ms 300 --notify off \
    --log "$log/both12"
start routers --address 192.0.2.13 --http-port 2189 --friendly-name "Media last" \
    --serial-number R13 --media-server 8200 --media-order last --max-delay-ms 300 --notify off
check "every simulated device started" $started
check "nothing of ours can leave the namespaces" netns_check_isolated

search() { # output file, arguments...
    local out=$1
    shift
    netns_client timeout 100 "$scan" --seconds 3 "$@" >"$out" 2>"$out.err" & wait $!
}

# The window's way (the whole search, then every description) and the streaming way.
for mode in whole-run stream; do
    args=(--tsv)
    [ $mode = stream ] && args+=(--stream)
    search "$log/$mode" "${args[@]}"
    check_eq "$mode: the run ends normally" 0 $?
    check_eq "$mode: the router heard after its media server is listed" \
        $'192.0.2.10\tMedia first\t1.0\tR10\thttp://192.0.2.10:2189/rootDesc.xml' \
        "$(grep '^192\.0\.2\.10	' "$log/$mode")"
    check_eq "$mode: the router heard before its media server is listed" \
        $'192.0.2.11\tRouter first\t1.0\tR11\thttp://192.0.2.11:2189/rootDesc.xml' \
        "$(grep '^192\.0\.2\.11	' "$log/$mode")"
    check_eq "$mode: the router whose media server answers first at another path" \
        $'192.0.2.12\tSame port\t1.0\tR12\thttp://192.0.2.12:80/rootDesc.xml' \
        "$(grep '^192\.0\.2\.12	' "$log/$mode")"
    check_eq "$mode: the router whose media server answers last" \
        $'192.0.2.13\tMedia last\t1.0\tR13\thttp://192.0.2.13:2189/rootDesc.xml' \
        "$(grep '^192\.0\.2\.13	' "$log/$mode")"
    check_eq "$mode: nothing else" 4 "$(wc -l <"$log/$mode")"
done
check_eq "each description was fetched once per search" "2 2" \
    "$(grep -c '^GET' "$log/router10") $(grep -c '^GET' "$log/media10")"
check_eq "each description at one port was fetched once per search" "2 2" \
    "$(grep -c '^GET /rootDesc.xml ' "$log/both12") $(grep -c '^GET /MediaServer.xml ' "$log/both12")"

# Every description read at an address, in the order first heard, each with its reason.
search "$log/all" --csv --all
described() { # address, what, then the location, listed and reason of each description there
    local address=$1 what=$2
    shift 2
    check_eq "all: $what" "$(printf '%s\n' "$@")" \
        "$(grep "^${address//./\\.}," "$log/all" | awk -F, '{print $5 "," $8 "," $9}')"
}
media="no,manufacturer is not Korvane"
described 192.0.2.10 "both descriptions of 192.0.2.10, media server first" \
    "http://192.0.2.10:8200/rootDesc.xml,$media" "http://192.0.2.10:2189/rootDesc.xml,yes,"
described 192.0.2.11 "both descriptions of 192.0.2.11, router first" \
    "http://192.0.2.11:2189/rootDesc.xml,yes," "http://192.0.2.11:8200/rootDesc.xml,$media"
described 192.0.2.12 "the media server at another path of the router's port, heard first" \
    "http://192.0.2.12:80/MediaServer.xml,$media" "http://192.0.2.12:80/rootDesc.xml,yes,"
described 192.0.2.13 "the media server on its own port, heard last" \
    "http://192.0.2.13:2189/rootDesc.xml,yes," "http://192.0.2.13:8200/rootDesc.xml,$media"
check_eq "all: the media server's own name and maker" "Same port: media,Ostrea Media" \
    "$(grep '^192\.0\.2\.12,.*MediaServer' "$log/all" | cut -d, -f2,6)"

checks_finish
