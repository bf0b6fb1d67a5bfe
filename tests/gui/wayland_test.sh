#!/usr/bin/env bash
# The main window as a native Wayland client: a headless weston, started here, and the test
# program in the client namespace of netns.sh beside two simulated maker devices and a foreign
# one. The client reaches the compositor through its socket file, since abstract sockets are
# private to a namespace.
# Usage: wayland_test.sh WAYLAND_TEST DEVSIM LANG_XML
set -uo pipefail
tester=$(realpath "$1")
devsim=$(realpath "$2")
lang=$(realpath "$3")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../netns/netns.sh"
netns_require_root || exit $?
command -v weston >/dev/null || { echo "FAIL: weston is missing" >&2; exit 1; }
NETNS_DEVSIM=$devsim

compositor=""
netns_on_teardown() {
  if [ -n "$compositor" ]; then
    kill "$compositor" 2>/dev/null
    wait "$compositor" 2>/dev/null
  fi
}
fail() {
  echo "FAIL: $*" >&2
  [ -n "${NETNS_DIR:-}" ] && [ -s "$NETNS_DIR/weston.log" ] && tail -n 20 "$NETNS_DIR/weston.log" >&2
  exit 1
}

netns_setup || fail "namespaces"
work=$NETNS_DIR
netns_add_devices home 192.0.2.10 192.0.2.11 192.0.2.20 || fail "device namespace"
netns_check_isolated || fail "the client namespace is not isolated"
netns_devsim home --address 192.0.2.10 --friendly-name "Living room router" \
  --model-name KT6610 --notify off --max-delay-ms 0 || fail "simulated device"
netns_devsim home --address 192.0.2.11 --friendly-name "Office access point" \
  --model-name KT5520GR --notify off --max-delay-ms 0 || fail "simulated device"
netns_devsim home --address 192.0.2.20 --friendly-name "Neighbour's router" \
  --manufacturer "Acme Networks" --model-name AC1200 --notify off --max-delay-ms 0 ||
  fail "simulated device"

mkdir -m 700 "$work/runtime" "$work/current"
cp "$lang" "$work/current/lang.xml"
XDG_RUNTIME_DIR="$work/runtime" weston --backend=headless-backend.so --socket=wayland-test \
  --idle-time=0 >"$work/weston.log" 2>&1 &
compositor=$!
for _ in $(seq 100); do [ -S "$work/runtime/wayland-test" ] && break; sleep 0.1; done
[ -S "$work/runtime/wayland-test" ] || fail "weston did not start"

(cd "$work/current" &&
  ip netns exec "$NETNS_CLIENT" env QT_QPA_PLATFORM=wayland WAYLAND_DISPLAY=wayland-test \
    XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" "$tester") &
wait $!
