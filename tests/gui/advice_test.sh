#!/usr/bin/env bash
# Why the router is missing, said by the real window in a real X server and by pathmere-scan,
# on simulated networks: this computer's firewall dropping the answers (with and without a
# device that announces itself), only a foreign device answering, a maker device whose address
# lies in another network on the same link, a description that cannot be fetched, and no
# address at all. For each, the window's advice (from its log) and the tool's first advice
# must name the right cause; a screenshot of the window per case goes to SCREENSHOT_DIR.
# Usage: advice_test.sh PATHMERE DEVSIM SCAN [SCREENSHOT_DIR]
set -uo pipefail
program=$(realpath "$1")
NETNS_DEVSIM=$(realpath "$2")
scan=$(realpath "$3")
shots=$(realpath -m "${4:-.}")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../netns/netns.sh"
source "$here/../netns/checks.sh"
source "$here/xvfb.sh"
source "$here/within.sh"
netns_require_root || exit $?

app=""
stop_window() {
  if [ -n "$app" ]; then
    kill "$app" 2>/dev/null
    within 50 bash -c "! kill -0 $app" || kill -9 "$app" 2>/dev/null
    app=""
  fi
}
netns_on_teardown() { stop_window; xvfb_stop; }
netns_setup || exit 1
work=$NETNS_DIR
mkdir -p "$shots"
xvfb_start "$work/xvfb.log" || { echo "Xvfb did not start" >&2; exit 1; }
netns_add_devices home 192.0.2.10 192.0.2.11 192.0.2.20 192.0.2.30 || exit 1
netns_add_devices elsewhere 192.168.7.1 || exit 1
check "nothing of ours can leave the namespaces" netns_check_isolated

# The window's search on the test clock (150 ms a tick), its advice read from its log.
window_advice() { # case
  local log="$work/$1.log"
  mkdir -m 700 -p "$work/$1.runtime"
  mkdir -p "$work/$1.config/Korvane" # in English, as chosen at an earlier start
  printf '%s\n' '[SOFTWARE\Korvane\Pathmere\]' '"Language"=sz:"EN"' \
    >"$work/$1.config/Korvane/machine.conf"
  (cd "$(dirname "$program")" &&
    exec ip netns exec "$NETNS_CLIENT" env DISPLAY="$DISPLAY" QT_QPA_PLATFORM=xcb \
      XDG_RUNTIME_DIR="$work/$1.runtime" XDG_CONFIG_HOME="$work/$1.config" \
      QT_LOGGING_RULES="pathmere.advice.debug=true" PATHMERE_TEST_TICK_MS=150 \
      "$program" >"$log" 2>&1) &
  app=$!
  if within 300 grep -q "advice:" "$log"; then
    local window
    window=$(xdotool search --onlyvisible --class pathmere 2>/dev/null | head -n1)
    sleep 0.3 # the list panel painted
    [ -n "$window" ] && import -window "$window" "$shots/advice-$1.png"
  fi
  stop_window
  sed -n 's/.*advice: //p' "$log" | head -n1
}

# The tool's first advice, and its exit status after a tab.
scan_advice() { # case
  netns_client timeout 60 "$scan" --seconds 4 --table >"$work/$1.scan" 2>&1 & wait $!
  echo "$?	$(grep -m1 '^! ' "$work/$1.scan")"
}

expect() { # case, window's words, tool's words, tool's status
  local said
  said=$(window_advice "$1")
  check "$1: the window says: $2" grep -qF -- "$2" <<<"$said"
  [ -n "$said" ] && echo "window ($1): $said"
  said=$(scan_advice "$1")
  check "$1: pathmere-scan says: $3" grep -qF -- "$3" <<<"$said"
  check_eq "$1: pathmere-scan's status" "$4" "${said%%	*}"
  echo "pathmere-scan ($1): ${said#*	}"
}

devices=()
device() { netns_devsim "$@" && devices+=("$NETNS_LAST_PID"); }
stop_devices() {
  kill "${devices[@]}" 2>/dev/null
  devices=()
}
drop_answers() { # the set-up of ufw: the group's port passes, answers to other ports do not
  netns_client nft -f - <<'NFT'
table inet firewall {
    chain input { type filter hook input priority 0; udp dport != 1900 drop; }
}
NFT
}

device home --address 192.0.2.10 --friendly-name "Office router" --notify off --max-delay-ms 300
drop_answers
expect firewall "No device answered the search on 192.0.2.1. A firewall on this computer" \
  "! On 192.0.2.1 no device answered the search. A firewall on this computer" 0
device home --address 192.0.2.11 --friendly-name "Announcer" --notify-only \
  --notify-interval-ms 300
expect firewall-announced "No device answered the search on 192.0.2.1. A firewall" \
  "announcements were heard, so devices are there). A firewall on this computer" 0
check "firewall-announced: the announcer is listed by the tool" grep -q Announcer \
  "$work/firewall-announced.scan"
netns_client nft delete table inet firewall
stop_devices

device home --address 192.0.2.20 --friendly-name "Neighbour's router" \
  --manufacturer "Acme Networks" --model-name AC1200 --max-delay-ms 300
expect foreign "none of the devices that answered is a Korvane: 192.0.2.20 (Acme Networks, AC1200)" \
  "! The search worked, but the one device that answered is not a Korvane: 192.0.2.20" 0
check "foreign: no firewall blamed" bash -c "! grep -q firewall '$work/foreign.scan'"
stop_devices

device elsewhere --address 192.168.7.1 --friendly-name "Moved router" --notify-only \
  --notify-interval-ms 300
expect other-network "A device at 192.168.7.1 is in another network (192.168.7.0/24)" \
  "! A device at 192.168.7.1 is on this computer's link but in another network" 0
stop_devices

device home --address 192.0.2.30 --friendly-name "Refuses" --max-delay-ms 300
netns_exec home nft -f - <<'NFT'
table inet refuse {
    chain input { type filter hook input priority 0; tcp dport 80 reject with tcp reset; }
}
NFT
expect unreadable "The device at 192.0.2.30 answered, but its description could not be read" \
  "! The description at http://192.0.2.30:80/rootDesc.xml could not be read" 0
netns_exec home nft delete table inet refuse
stop_devices

ip -n "$NETNS_CLIENT" addr flush dev eth0
expect not-connected "This computer is not connected to a network" \
  "! No usable IPv4 address: this computer is not connected" 1

checks_finish
