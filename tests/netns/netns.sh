# Throwaway network namespaces for discovery tests, demos and benchmarks. Source this file.
# Nothing here touches the host's own network: every link is created inside a namespace
# of this run, addresses are 192.0.2.0/24, and the client namespace has no link out.
#
#   netns_begin DEVSIM [SCAN]       how a namespace test starts: sets NETNS_DEVSIM and scan, loads
#                                   checks.sh, then netns_require_root and netns_setup; returns
#                                   their status (77: skip)
#   netns_require_root              return 77 (skip) when not root, 1 when CI=true and not root
#   netns_setup                     hub namespace with a bridge (multicast snooping off) and the
#                                   client namespace at 192.0.2.1; tears down on EXIT/INT/TERM
#   netns_add_devices NAME ADDR...  a device namespace NAME on the bridge holding the addresses
#   netns_devsim NAME ARGS...       start $NETNS_DEVSIM in NAME (give --address) and wait
#                                   until it listens; its pid is in NETNS_LAST_PID
#   netns_client CMD...             run CMD in the client namespace
#   netns_exec NAME CMD...          run CMD in device namespace NAME
#   netns_check_isolated            fail unless the client reaches nothing but the bridge
#   netns_teardown                  stop what runs in the namespaces and delete them
#
# Example:
#   source tests/netns/netns.sh; NETNS_DEVSIM=build/tools/devsim/pathmere-devsim
#   netns_require_root || exit $?; netns_setup
#   netns_add_devices dev 192.0.2.10
#   netns_devsim dev --address 192.0.2.10 --friendly-name "Office router"
#   netns_client build/tools/scan/pathmere-scan --seconds 3
#
# Bash runs a trap only after the foreground command ends: wait for long commands with
# "cmd & wait $!" so that a TERM tears down at once; never a bare "wait", which would also
# wait for the simulators (they are jobs of the calling shell).
# NETNS_DEVSIM_LIFETIME bounds each simulator's life in seconds (600).
# NETNS_DIR is a scratch folder of the run (removed at teardown); a function named
# netns_on_teardown, if the caller defines one, runs first at teardown.

NETNS_LIB_DIR=$(dirname "${BASH_SOURCE[0]}")
NETNS_PREFIX="pathmere-$$-${RANDOM}${RANDOM}"
NETNS_HUB="$NETNS_PREFIX-hub"
NETNS_CLIENT="$NETNS_PREFIX-client"
NETNS_CLIENT_ADDRESS=192.0.2.1
NETNS_DIR=""
NETNS_LAST_PID=""
NETNS_NAMESPACES=()
NETNS_PIDS=()
NETNS_PORTS=0

netns_begin() {
    NETNS_DEVSIM=$1
    scan=${2:-}
    source "$NETNS_LIB_DIR/checks.sh"
    netns_require_root || return $?
    netns_setup || return 1
}

netns_require_root() {
    [ "$(id -u)" -eq 0 ] && return 0
    if [ "${CI:-}" = true ]; then
        echo "netns: these tests need root, and CI runs as root" >&2
        return 1
    fi
    echo "netns: not root, skipping" >&2
    return 77
}

# Creates a namespace with loopback up and IPv6 off (no router solicitations, no
# link-local addresses in the searched list).
netns__create() {
    ip netns add "$1" || return 1
    NETNS_NAMESPACES+=("$1")
    ip netns exec "$1" sysctl -qw net.ipv6.conf.all.disable_ipv6=1 \
        net.ipv6.conf.default.disable_ipv6=1 >/dev/null
    ip -n "$1" link set lo up
}

# Joins namespace $1 to the bridge through a veth: eth0 inside, a port in the hub.
netns__attach() {
    local ns=$1 port="p$NETNS_PORTS"
    NETNS_PORTS=$((NETNS_PORTS + 1))
    ip -n "$NETNS_HUB" link add "$port" type veth peer name eth0 netns "$ns" || return 1
    ip -n "$NETNS_HUB" link set "$port" master br0 up
    ip -n "$ns" link set eth0 up
}

# A run killed outright (SIGKILL, a test timeout) cannot tear down: the next run removes
# namespaces of this harness whose creating shell is gone, with what still runs in them.
netns__reap_stale() {
    local ns pid owner
    for ns in $(ip netns list | awk '{print $1}' | grep -E '^pathmere-[0-9]+-[0-9]+-'); do
        owner=$(cut -d- -f2 <<<"$ns")
        kill -0 "$owner" 2>/dev/null && continue
        for pid in $(ip netns pids "$ns" 2>/dev/null); do
            kill -KILL "$pid" 2>/dev/null || true
        done
        ip netns del "$ns" 2>/dev/null || true
    done
}

netns_setup() {
    netns__reap_stale
    trap netns_teardown EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    NETNS_DIR=$(mktemp -d /tmp/pathmere-netns.XXXXXX)
    netns__create "$NETNS_HUB" || return 1
    ip netns exec "$NETNS_HUB" sysctl -qw net.ipv4.ip_forward=0
    ip -n "$NETNS_HUB" link add br0 type bridge mcast_snooping 0 stp_state 0 || return 1
    ip -n "$NETNS_HUB" link set br0 up
    netns__create "$NETNS_CLIENT" || return 1
    netns__attach "$NETNS_CLIENT" || return 1
    ip -n "$NETNS_CLIENT" addr add "$NETNS_CLIENT_ADDRESS/24" dev eth0
    # Without a route for the group the search request would have no way out.
    ip -n "$NETNS_CLIENT" route add 224.0.0.0/4 dev eth0
}

netns__name() {
    echo "$NETNS_PREFIX-$1"
}

netns_add_devices() {
    local ns
    ns=$(netns__name "$1")
    shift
    netns__create "$ns" || return 1
    netns__attach "$ns" || return 1
    local address
    for address in "$@"; do
        ip -n "$ns" addr add "$address/24" dev eth0 || return 1
    done
    ip -n "$ns" route add 224.0.0.0/4 dev eth0
}

netns_exec() {
    local ns
    ns=$(netns__name "$1")
    shift
    ip netns exec "$ns" "$@"
}

netns_client() {
    ip netns exec "$NETNS_CLIENT" "$@"
}

netns_devsim() {
    local name=$1
    shift
    local ready="$NETNS_DIR/ready.${#NETNS_PIDS[@]}"
    local log="$NETNS_DIR/devsim.${#NETNS_PIDS[@]}.err"
    # ip netns exec replaces itself with the program, so $! is the simulator's pid.
    ip netns exec "$(netns__name "$name")" "${NETNS_DEVSIM:?set NETNS_DEVSIM}" \
        --ready-file "$ready" --lifetime "${NETNS_DEVSIM_LIFETIME:-600}" "$@" 2>"$log" &
    NETNS_LAST_PID=$!
    NETNS_PIDS+=("$NETNS_LAST_PID")
    local i
    for i in $(seq 200); do
        [ -f "$ready" ] && return 0
        if ! kill -0 "$NETNS_LAST_PID" 2>/dev/null; then
            echo "netns: devsim $* did not start:" >&2
            cat "$log" >&2
            return 1
        fi
        sleep 0.05
    done
    echo "netns: devsim $* not ready after 10 s" >&2
    return 1
}

netns_check_isolated() {
    local links
    links=$(ip -n "$NETNS_CLIENT" -o link show | awk -F': ' '{print $2}' | cut -d@ -f1 | sort)
    if [ "$links" != "$(printf 'eth0\nlo')" ]; then
        echo "netns: client namespace has unexpected links: $links" >&2
        return 1
    fi
    if ip -n "$NETNS_CLIENT" route show default | grep -q .; then
        echo "netns: client namespace has a default route" >&2
        return 1
    fi
    # The client's veth peer is a port of our bridge, and every port of the bridge leads
    # into one of our own namespaces.
    local line peer
    while read -r line; do
        case "$line" in *" master br0 "*) ;; *) continue ;; esac
        peer=$(sed -n 's/.*link-netns \([^ ]*\).*/\1/p' <<<"$line")
        if [[ " ${NETNS_NAMESPACES[*]} " != *" $peer "* ]]; then
            echo "netns: bridge port leads outside this run: $line" >&2
            return 1
        fi
    done < <(ip -n "$NETNS_HUB" -o link show)
    if ip -n "$NETNS_HUB" -o link show | grep -vE ': (lo|br0|p[0-9]+@)' | grep -q .; then
        echo "netns: hub holds a link that is not ours" >&2
        return 1
    fi
    local client_port
    client_port=$(ip -n "$NETNS_HUB" -o link show | grep -E "link-netns $NETNS_CLIENT( |$)" | cut -d: -f2)
    [ -n "$client_port" ] || { echo "netns: client is not on the bridge" >&2; return 1; }
}

netns__any_alive() {
    local pid
    for pid in "${NETNS_PIDS[@]}"; do
        kill -0 "$pid" 2>/dev/null && return 0
    done
    return 1
}

netns_teardown() {
    local rc=$?
    trap - EXIT INT TERM
    if declare -F netns_on_teardown >/dev/null; then
        netns_on_teardown || true
    fi
    local pid
    for pid in "${NETNS_PIDS[@]}"; do
        kill -TERM "$pid" 2>/dev/null || true
    done
    local ns
    # Anything else still running inside our namespaces was started by this run.
    for ns in "${NETNS_NAMESPACES[@]}"; do
        for pid in $(ip netns pids "$ns" 2>/dev/null); do
            kill -TERM "$pid" 2>/dev/null || true
        done
    done
    local i
    for i in $(seq 30); do
        netns__any_alive || break
        sleep 0.1
    done
    for ns in "${NETNS_NAMESPACES[@]}"; do
        for pid in $(ip netns pids "$ns" 2>/dev/null); do
            kill -KILL "$pid" 2>/dev/null || true
        done
        ip netns del "$ns" 2>/dev/null || true
    done
    NETNS_NAMESPACES=()
    NETNS_PIDS=()
    [ -n "$NETNS_DIR" ] && rm -rf "$NETNS_DIR"
    NETNS_DIR=""
    return $rc
}
