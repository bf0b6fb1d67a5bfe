#!/usr/bin/env bash
# 100 searches in a row in one window (LongRunTest.cpp), on a private network of two good maker
# devices and one of another maker. Needs root for the namespaces.
# Usage: longrun_test.sh PATH-TO-longrun_test PATH-TO-pathmere-devsim
set -uo pipefail
here=$(dirname "$0")
source "$here/../netns/netns.sh"
test_binary=$1
NETNS_DEVSIM=$2
netns_require_root || exit $?
netns_setup || exit 1

# Frequent announcements keep each receive pass short; answers come within 0.3 s.
fast=(--max-delay-ms 300 --notify-interval-ms 500)
netns_add_devices devices 192.0.2.10 192.0.2.11 192.0.2.20
netns_devsim devices --address 192.0.2.10 --friendly-name "Good one" "${fast[@]}" || exit 1
netns_devsim devices --address 192.0.2.11 --friendly-name "Good two" --chunked "${fast[@]}" || exit 1
netns_devsim devices --address 192.0.2.20 --friendly-name "Other maker" --manufacturer Acme \
    "${fast[@]}" || exit 1
netns_check_isolated || exit 1

netns_client env QT_QPA_PLATFORM=offscreen "$test_binary" &
wait $!
