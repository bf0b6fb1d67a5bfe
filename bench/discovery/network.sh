# The benchmarks' simulated network: source after tests/netns/netns.sh. bench_network
# checks for root, builds the client namespace and two device namespaces, "makers" holding
# 192.0.2.10-39 and "foreign" holding 192.0.2.110-139, and fills the arrays makers, foreign
# and models (the ten model names of the maker's table).
bench_network() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "bench: needs root for its network namespaces" >&2
        return 1
    fi
    netns_setup || return 1
    makers=() foreign=()
    local i
    for i in $(seq 10 39); do makers+=("192.0.2.$i"); done
    for i in $(seq 110 139); do foreign+=("192.0.2.$i"); done
    netns_add_devices makers "${makers[@]}" || return 1
    netns_add_devices foreign "${foreign[@]}" || return 1
    models=(KT6610RU KT6610GR KT6610 KT5520GR KT5520RU KT5520 KT5520UA BX-91CUA BX-91CRU BX-91C)
}
