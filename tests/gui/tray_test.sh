#!/usr/bin/env bash
# The tray icon in a real X server with a notification area (trayer): started with "simge" the
# program goes to the tray; a double click on the icon brings the window back; a right click
# opens the icon's menu, whose Close ends the program (code 0) and removes the icon. The
# program runs in a network namespace with only an unconfigured loopback, so its searches find
# no address. A screenshot of each step is kept in the test's build folder.
set -uo pipefail
program=$(realpath "$1")
shots=$(realpath -m "${2:-.}")

source "$(dirname "$(realpath "$0")")/../netns/netns.sh"
netns_require_root || exit $?

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -m 700 "$work/runtime"
mkdir -p "$shots"
# Everything below runs in one namespace: the X server listens on a Unix socket only.
unshare --net bash -s "$program" "$work" "$shots" "$(dirname "$(realpath "$0")")" <<'INNER' &
set -uo pipefail
program=$1 work=$2 shots=$3 here=$4
fail() { echo "FAIL: $*" >&2; exit 1; }
# Waits up to 10 s for a command to succeed.
until_true() {
  for _ in $(seq 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}
source "$here/xvfb.sh"
xvfb_start "$work/xvfb.log" || fail "no X server"
trayer --edge bottom --align right --widthtype pixel --width 120 --heighttype pixel \
  --height 32 >/dev/null 2>&1 &
tray=$!
trayer_up() { xwininfo -root -tree | grep -q '("panel" "trayer")'; }
until_true trayer_up || fail "trayer did not start"

export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config"
cd "$(dirname "$program")"
QT_LOGGING_RULES="pathmere.tray.debug=true" "$program" simge >"$work/program.log" 2>&1 &
app=$!
cleanup() { kill $app $tray 2>/dev/null; xvfb_stop; wait 2>/dev/null; }
trap cleanup EXIT

# The icon: the program's window embedded in trayer's panel.
icon_geometry() {
  xwininfo -root -tree | awk '/"panel": \("panel" "trayer"\)/ {p=1; next}
    p && /\("pathmere" "pathmere"\)/ {print $(NF); exit}'
}
has_icon() { [ -n "$(icon_geometry)" ]; }
until_true has_icon || fail "the icon never appeared in the tray"
read -r ix iy <<<"$(icon_geometry | awk -F+ '{print $2, $3}')"
x=$((ix + 8)) y=$((iy + 10))

visible() { xdotool search --onlyvisible --name '^Korvane Pathmere$'; }
hidden() { ! visible; }
shown_windows() { xdotool search --onlyvisible --class pathmere | wc -l; }
# About one second after start, "simge" sends the window to the tray, and says so.
sent() { grep -q "the window went to the tray" "$work/program.log"; }
until_true sent || fail "\"simge\" never sent the window to the tray: $(cat "$work/program.log")"
until_true hidden || fail "\"simge\" left the window shown"
import -window root "$shots/tray-1-in-tray.png"

xdotool mousemove $x $y click --repeat 2 --delay 100 1
until_true visible || fail "a double click on the icon did not bring the window back"
sleep 0.5
import -window root "$shots/tray-2-restored.png"

windows_before=$(shown_windows)
menu_open() { [ "$(shown_windows)" -gt "$windows_before" ]; }
xdotool mousemove $x $y click 3
until_true menu_open || fail "a right click did not open the menu"
sleep 0.3
import -window root "$shots/tray-3-menu.png"
# The menu's last item is Close.
xdotool key Up Return

for _ in $(seq 100); do kill -0 $app 2>/dev/null || break; sleep 0.1; done
kill -0 $app 2>/dev/null && fail "Close did not end the program"
wait $app
code=$?
[ "$code" -eq 0 ] || fail "the program ended with $code"
no_icon() { ! has_icon; }
until_true no_icon || fail "the icon stayed in the tray"
echo PASS
INNER
inner=$!
pids+=("$inner")
wait "$inner"
