#!/usr/bin/env bash
# pathmere-scan beside the field's discovery tools, on simulated networks in throwaway
# namespaces. In each run four tools start together in the client namespace:
#   pathmere-scan --seconds 5 --stream, pathmere-scan --seconds 5, upnpc -l (miniupnpc) and
#   gssdp-discover --timeout 5 --target ssdp:all (gupnp-tools).
# Networks: 3 maker devices; the same 3 each with a media server of another maker beside it on
# their address (port 8200), which answers first; 30 maker and 30 foreign devices answering
# 12 times each, spread over 5 s; the same as one burst; the spread network with 20 % of the
# devices' packets dropped. For each tool: recall of the maker devices (for the discovery-only
# tools the maker device's description address counts), time to its first and its last maker
# device, wall time until its output is complete, CPU time; median and worst over the
# repetitions. Per run: the stream's last maker device against the fastest other tool that
# found them all, and its first against gssdp-discover's first sighting. On the media network,
# bench_identification then times the identification alone, the 3 maker devices' descriptions
# against those and their media servers', in alternate rounds.
# Given an earlier pathmere-scan as well, each repetition runs the four tools once with each
# build, the two in turn (which goes first alternates), so that both meet the same load; the
# last table sets the two builds' streams side by side.
# Needs root. Installs miniupnpc, gupnp-tools and time when missing. CPU time is perf's
# task-clock when perf is installed, else GNU time's (10 ms steps).
# Usage: run.sh [REPETITIONS] [PATH-TO-pathmere-devsim PATH-TO-pathmere-scan
#               PATH-TO-bench_identification [PATH-TO-an-earlier-pathmere-scan]]
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
source "$root/tests/netns/netns.sh"
source "$root/bench/discovery/network.sh"
repetitions=${1:-5}
NETNS_DEVSIM=${2:-$root/build/main/tools/devsim/pathmere-devsim}
declare -A scans=([now]=${3:-$root/build/main/tools/scan/pathmere-scan})
identify=${4:-$root/build/main/bench/identification/bench_identification}
builds=(now)
if [ -n "${5:-}" ]; then
    scans[earlier]=$5
    builds+=(earlier)
fi
export NETNS_DEVSIM_LIFETIME=3600
for program in "$NETNS_DEVSIM" "${scans[@]}" "$identify"; do
    [ -x "$program" ] || { echo "bench: $program not built" >&2; exit 1; }
done
need=()
command -v upnpc >/dev/null || need+=(miniupnpc)
command -v gssdp-discover >/dev/null || need+=(gupnp-tools)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=300 install -y \
        --no-install-recommends "${need[@]}" >/dev/null || exit 1
fi

bench_network || exit 1
netns_check_isolated || exit 1

devices=()
start_devices() { # maker count, foreign count, devsim options...
    local nmakers=$1 nforeign=$2 i
    shift 2
    for ((i = 0; i < nmakers; i++)); do
        netns_devsim makers --address "${makers[i]}" --friendly-name "Maker $i" \
            --model-name "${models[i % 10]}" --serial-number "SN$i" "$@" || exit 1
        devices+=("$NETNS_LAST_PID")
    done
    for ((i = 0; i < nforeign; i++)); do
        netns_devsim foreign --address "${foreign[i]}" --friendly-name "Other $i" \
            --manufacturer "Acme Networks" --model-name AC1200 "$@" || exit 1
        devices+=("$NETNS_LAST_PID")
    done
}
stop_devices() {
    local pid
    for pid in "${devices[@]}"; do kill -TERM "$pid" 2>/dev/null; done
    for pid in "${devices[@]}"; do
        while kill -0 "$pid" 2>/dev/null; do sleep 0.05; done
    done
    devices=()
}
loss() { # on|off: 20 % of every packet the devices send is dropped
    local ns
    for ns in makers foreign; do
        netns_exec "$ns" nft delete table inet loss 2>/dev/null
        [ "$1" = on ] || continue
        netns_exec "$ns" nft -f - <<'NFT'
table inet loss {
    chain output { type filter hook output priority 0; numgen random mod 100 < 20 drop; }
}
NFT
    done
}

# Each output line prefixed with the seconds since the run's start.
# Bash arithmetic only: a process per line would load the machine the tools share.
since() { # start time as EPOCHREALTIME gives it; sets seconds
    local now=${EPOCHREALTIME/./} start=${1/./}
    local us=$((10#$now - 10#$start))
    printf -v seconds '%d.%03d' $((us / 1000000)) $((us % 1000000 / 1000))
}
stamp() { # start time
    local line seconds
    while IFS= read -r line; do
        since "$1"
        printf '%s %s\n' "$seconds" "$line"
    done
}
# The command that runs a tool and writes its CPU time to the file named last.
if command -v perf >/dev/null; then
    timer=(perf stat -x, -e task-clock -o)
    cpu_seconds() { awk -F, '/task-clock/ { printf "%.4f", $1 / 1000 }' "$1"; }
else
    timer=(/usr/bin/time -f '%U %S' -o)
    # GNU time puts "Command exited with non-zero status" before the times when a tool fails.
    cpu_seconds() { tail -1 "$1" | awk '{ printf "%.3f", $1 + $2 }'; }
fi
tool() { # name, start time, command...
    local name=$1 begin=$2
    shift 2
    netns_client "${timer[@]}" "$run/$name.cpu" stdbuf -oL -eL "$@" 2>/dev/null \
        | stamp "$begin" >"$run/$name.out"
    local seconds
    since "$begin"
    echo "$seconds" >"$run/$name.wall"
}
tools=(stream batch upnpc gssdp)

results=$NETNS_DIR/results
: >"$results"
runs() { # network name, maker count, run number, build
    local network=$1 nmakers=$2 r=$3 build=$4 name
    local scan=${scans[$build]}
    run=$NETNS_DIR/$network.$r.$build
    mkdir -p "$run"
    sleep 1 # the devices' answers to the last run have died down
    local begin=$EPOCHREALTIME
    local pids=()
    tool stream "$begin" "$scan" --seconds 5 --stream --tsv & pids+=($!)
    tool batch "$begin" "$scan" --seconds 5 --tsv & pids+=($!)
    tool upnpc "$begin" upnpc -l & pids+=($!)
    tool gssdp "$begin" gssdp-discover --timeout 5 --target ssdp:all & pids+=($!)
    wait "${pids[@]}" # never a bare wait: the simulators are jobs of this shell too
    for name in "${tools[@]}"; do
        # First time each maker's description address appears (port 80, where the media
        # servers are not).
        grep -o '^[0-9.]* .*http://192\.0\.2\.[0-9]*:80/' "$run/$name.out" \
            | sed -E 's|^([0-9.]+) .*http://(192\.0\.2\.[0-9]+):80/$|\1 \2|' \
            | awk '!seen[$2]++' | grep -wFf <(printf '%s\n' "${makers[@]:0:nmakers}") \
            >"$run/$name.makers"
        # "-" for a tool that found none, so that the columns stay in place.
        local first last
        first=$(head -1 "$run/$name.makers" | cut -d' ' -f1)
        last=$(tail -1 "$run/$name.makers" | cut -d' ' -f1)
        printf '%s %s %d %s %s %s %s %d %s\n' "$network" "$name" \
            "$(wc -l <"$run/$name.makers")" "${first:--}" "${last:--}" "$(cat "$run/$name.wall")" \
            "$(cpu_seconds "$run/$name.cpu")" "$r" "$build" >>"$results"
    done
}
measure() { # network name, maker count
    local r i
    for ((r = 1; r <= repetitions; r++)); do
        # With two builds, which one goes first alternates from run to run.
        for ((i = 0; i < ${#builds[@]}; i++)); do
            runs "$1" "$2" "$r" "${builds[(i + r + 1) % ${#builds[@]}]}"
        done
    done
}

echo "network: 3 maker devices"
start_devices 3 0 --max-delay-ms 500
measure three 3
stop_devices
echo "network: the same 3, each with a media server answering first"
start_devices 3 0 --max-delay-ms 500 --media-server 8200 --media-order first
measure media 3
routers=() beside=()
for address in "${makers[@]:0:3}"; do
    routers+=("http://$address:80/rootDesc.xml")
    beside+=("http://$address:80/rootDesc.xml" "http://$address:8200/rootDesc.xml")
done
netns_client "$identify" 51 "${routers[@]}" -- "${beside[@]}" >"$NETNS_DIR/identification"
stop_devices
echo "network: 30+30 devices, 12 answers each spread over 5 s"
start_devices 30 30 --answers 12
measure spread 30
echo "network: the same with 20 % of the devices' packets dropped"
loss on
measure lossy 30
loss off
stop_devices
echo "network: 30+30 devices, 12 answers each in one burst"
start_devices 30 30 --answers 12 --max-delay-ms 0
measure burst 30
stop_devices

# Awk helpers of the tables: the median and the worst (highest) of a list a[1..m].
stats='
    function sort(a, m,   i, j, t) { for (i = 2; i <= m; i++) for (j = i; j > 1 && a[j-1] > a[j]; j--) { t = a[j]; a[j] = a[j-1]; a[j-1] = t } }
    function med(a, m) { sort(a, m); return m % 2 ? a[(m+1)/2] : (a[m/2] + a[m/2+1]) / 2 }
    function worst(a, m) { sort(a, m); return a[m] }
    function show(v) { return v >= 999 ? "-" : sprintf("%.2f", v) }
    function wanted(net) { return net == "three" || net == "media" ? 3 : 30 }
    function quotient(a, b) { return a >= 999 || b >= 999 || b == 0 ? "-" : sprintf("%.2f", a / b) }'

echo
echo "median / worst over $repetitions runs; times in seconds from the common start; '-' none found"
printf '%-8s %-8s %-7s %-12s %-14s %-14s %-14s %-14s\n' network build tool recall first last \
    complete cpu
for network in three media spread burst lossy; do
    for build in "${builds[@]}"; do
        for name in "${tools[@]}"; do
            awk -v net="$network" -v tool="$name" -v build="$build" "$stats"'
                $1 == net && $2 == tool && $9 == build {
                    n++; recall[n] = -$3; first[n] = $4 == "-" ? 999 : $4
                    last[n] = $5 == "-" ? 999 : $5; wall[n] = $6; cpu[n] = $7 }
                END {
                    if (n == 0) exit
                    printf "%-8s %-8s %-7s %-12s %-14s %-14s %-14s %-14s\n", net, build, tool,
                        sprintf("%d/%d", -med(recall, n), -worst(recall, n)),
                        show(med(first, n)) "/" show(worst(first, n)),
                        show(med(last, n)) "/" show(worst(last, n)),
                        show(med(wall, n)) "/" show(worst(wall, n)),
                        sprintf("%.3f/%.3f", med(cpu, n), worst(cpu, n))
                }' "$results"
        done
    done
done
echo "(recall: median/worst of maker devices found; the others: median/worst)"
echo
echo "per run: the stream's last maker device beside the fastest other tool that found all of"
echo "them; its first beside gssdp-discover's first sighting (+ later, - sooner); its CPU"
awk "$stats"'
    { key = $1 " " $8 " " $9; if (!(key in seen)) { seen[key] = 1; order[++keys] = key }
      if ($2 == "stream") { last[key] = $5; first[key] = $4; found[key] = $3; cpu[key] = $7 }
      else if ($3 == wanted($1) && $5 != "-" && (!(key in best) || $5 < best[key])) {
          best[key] = $5; by[key] = $2 }
      if ($2 == "gssdp") { sighted[key] = $4 } }
    END { for (i = 1; i <= keys; i++) { k = order[i]; split(k, part, " ")
            line = sprintf("%-8s run %-2s %-8s stream %s (%d found)", part[1], part[2], part[3],
                           last[k], found[k])
            if (k in best) line = line sprintf("  %s %s  ratio %s", by[k], best[k],
                                               last[k] == "-" ? "-" : sprintf("%.2f", last[k] / best[k]))
            else line = line "  no other tool found all"
            if ((k in sighted) && sighted[k] != "-" && first[k] != "-")
                line = line sprintf("  first %+d ms", (first[k] - sighted[k]) * 1000)
            print line sprintf("  cpu %.3f", cpu[k]) } }' "$results"
echo
echo "identification alone, the descriptions fetched side by side and read (the window's way):"
cat "$NETNS_DIR/identification"
if [ ${#builds[@]} -eq 2 ]; then
    echo
    echo "the stream of this build (now) beside the earlier one: median/worst, and now/earlier"
    printf '%-8s %-8s %-10s %-12s %-12s %-14s %-10s\n' network build recall first last cpu \
        'worst ratio to fastest other'
    awk "$stats"'
        { key = $1 " " $8 " " $9
          if ($2 == "stream") { last[key] = $5 == "-" ? 999 : $5 }
          else if ($3 == wanted($1) && $5 != "-" && (!(key in best) || $5 < best[key])) best[key] = $5 }
        $2 == "stream" { k = $1 " " $9; n[k]++; recall[k, n[k]] = -$3
                         first[k, n[k]] = $4 == "-" ? 999 : $4; lasts[k, n[k]] = $5 == "-" ? 999 : $5
                         cpu[k, n[k]] = $7; runkey[k, n[k]] = key }
        END {
            split("three media spread burst lossy", nets, " ")
            for (j = 1; j <= 5; j++) { net = nets[j]
                for (b = 1; b <= 2; b++) { build = b == 1 ? "now" : "earlier"; k = net " " build
                    if (!n[k]) continue
                    delete r; delete f; delete l; delete c; ratio = 0
                    for (i = 1; i <= n[k]; i++) { r[i] = recall[k, i]; f[i] = first[k, i]
                        l[i] = lasts[k, i]; c[i] = cpu[k, i]
                        rk = runkey[k, i]; if (rk in best && last[rk] / best[rk] > ratio) ratio = last[rk] / best[rk] }
                    # A run whose stream found none has no ratio: shown as "-".
                    ratio = ratio > 900 ? "-" : sprintf("%.2f", ratio)
                    mf[build] = med(f, n[k]); wf[build] = worst(f, n[k])
                    ml[build] = med(l, n[k]); wl[build] = worst(l, n[k])
                    mc[build] = med(c, n[k]); wc[build] = worst(c, n[k])
                    printf "%-8s %-8s %-10s %-12s %-12s %-14s %s\n", net, build,
                        sprintf("%d/%d", -med(r, n[k]), -worst(r, n[k])),
                        show(mf[build]) "/" show(wf[build]), show(ml[build]) "/" show(wl[build]),
                        sprintf("%.3f/%.3f", mc[build], wc[build]), ratio }
                if (n[net " now"] && n[net " earlier"])
                    printf "%-8s %-8s %-10s %-12s %-12s %-14s\n", net, "now/earl", "",
                        quotient(mf["now"], mf["earlier"]) "/" quotient(wf["now"], wf["earlier"]),
                        quotient(ml["now"], ml["earlier"]) "/" quotient(wl["now"], wl["earlier"]),
                        quotient(mc["now"], mc["earlier"]) "/" quotient(wc["now"], wc["earlier"]) }
        }' "$results"
fi
cp "$results" "${BENCH_RESULTS:-/tmp/pathmere-field-bench.txt}"
