#!/usr/bin/env bash
# Runs pathmere-scan on a small simulated network in throwaway namespaces: three of the
# maker's devices and one foreign device; only the three are listed. Needs root.
# Usage: demo.sh [BUILD_DIR] [-- COMMAND...]   (default: build/main)
# A COMMAND runs in the client namespace in place of pathmere-scan (tools/run.sh --demo starts
# the program this way); the namespaces are removed when it ends, and its status is returned.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build/main
if [ $# -gt 0 ] && [ "$1" != -- ]; then
    build=$1
    shift
fi
[ "${1:-}" = -- ] && shift
source "$root/tests/netns/netns.sh"
NETNS_DEVSIM=$build/tools/devsim/pathmere-devsim
if [ "$(id -u)" -ne 0 ]; then
    echo "demo: needs root to create network namespaces (try: sudo $0)" >&2
    exit 1
fi
netns_setup || exit 1
netns_add_devices home 192.0.2.10 192.0.2.11 192.0.2.12 192.0.2.20 || exit 1
netns_devsim home --address 192.0.2.10 --friendly-name "Living room router" \
    --model-name KT6610 --model-number KT6610-A1 --serial-number KV0001 --max-delay-ms 1000 &&
    netns_devsim home --address 192.0.2.11 --friendly-name "Office access point" \
        --model-name KT5520GR --model-number KT5520-B2 --serial-number KV0002 --http-port 5000 \
        --chunked --max-delay-ms 1000 &&
    netns_devsim home --address 192.0.2.12 --friendly-name "Garage bridge" --model-name BX-91C \
        --model-number BX91-C3 --serial-number KV0003 --notify-only --notify-interval-ms 1000 &&
    netns_devsim home --address 192.0.2.20 --friendly-name "Neighbour's router" \
        --manufacturer "Acme Networks" --model-name AC1200 --max-delay-ms 1000 || exit 1
if [ $# -gt 0 ]; then
    echo "demo: a simulated network of 4 devices, 3 of them the maker's, at 192.0.2.10-12 and .20" >&2
    netns_client "$@" &
    wait $!
    exit $?
fi
echo "searching for 5 seconds on a simulated network (4 devices, 3 of them the maker's)..." >&2
netns_client "$build/tools/scan/pathmere-scan" --seconds 5 &
wait $!
