#!/usr/bin/env bash
# Discovery cost on a busy simulated network: 30 maker devices and 30 foreign ones, each
# answering a search with 12 datagrams and announcing itself. One search at the program's
# pace (a tick every 1.3 s) must list the 30 maker devices and nothing else; prints the
# search's CPU time and added memory. Needs root (network namespaces).
# Usage: run.sh [PATH-TO-pathmere-devsim PATH-TO-pathmere-scan]   (default: build/main)
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tests/netns/netns.sh"
source "$root/bench/discovery/network.sh"
NETNS_DEVSIM=${1:-$root/build/main/tools/devsim/pathmere-devsim}
scan=${2:-$root/build/main/tools/scan/pathmere-scan}
for program in "$NETNS_DEVSIM" "$scan"; do
    [ -x "$program" ] || { echo "bench: $program not built" >&2; exit 1; }
done
bench_network || exit 1
n=0
for address in "${makers[@]}"; do
    netns_devsim makers --address "$address" --answers 12 --friendly-name "Maker $address" \
        --model-name "${models[n % 10]}" --serial-number "SN$n" || exit 1
    n=$((n + 1))
done
for address in "${foreign[@]}"; do
    netns_devsim foreign --address "$address" --answers 12 --friendly-name "Other $address" \
        --manufacturer "Acme Networks" --model-name "AC1200" || exit 1
done
netns_check_isolated || exit 1

echo "searching for about a minute (60 devices, 12 answers each, a tick every 1.3 s)"
begin=$(date +%s.%N)
netns_client "$scan" --tick-ms 1300 --stats >"$NETNS_DIR/rows" 2>"$NETNS_DIR/stats" &
wait $!
status=$?
end=$(date +%s.%N)
listed=$(cut -f1 "$NETNS_DIR/rows" | sort -V)
expected=$(printf '%s\n' "${makers[@]}")
found=$(wc -l <"$NETNS_DIR/rows")
echo "exit status:           $status"
echo "devices listed:        $found (expected the 30 maker devices)"
if [ "$listed" = "$expected" ]; then
    echo "maker devices:         all 30 listed, nothing else"
else
    echo "maker devices:         MISMATCH"
    diff <(echo "$expected") <(echo "$listed")
fi
echo "search wall time:      $(awk -v b="$begin" -v e="$end" "BEGIN { printf \"%.1f\", e - b }") s"
sed -n 's/.*cpu_seconds=\([0-9.]*\).*/search CPU time:       \1 s (goal under 0.5 s)/p' "$NETNS_DIR/stats"
sed -n 's/.*added_memory_kib=\(-\?[0-9]*\).*/added memory:          \1 KiB (goal under 10 MiB)/p' "$NETNS_DIR/stats"
[ "$status" -eq 0 ] && [ "$listed" = "$expected" ]
