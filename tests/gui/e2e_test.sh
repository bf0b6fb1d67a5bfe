#!/usr/bin/env bash
# From start to the browser: the real program in a real X server, searching a simulated
# network of two maker devices and a foreign one. The program runs from its staged folder in
# the client namespace of netns.sh and reaches Xvfb through the server's filesystem socket; a
# fake xdg-open first on its PATH records what it is asked to open. After the search (about a
# on a test clock of 150 ms a tick) the keyboard alone must open a device and reach the Help
# menu's windows, a double click on each row must open exactly "http://" and that row's
# address, and the foreign device must not be listed. A screenshot of the list is kept in the
# given folder. The second maker device also serves media, and its media server is heard first.
# Usage: e2e_test.sh PATHMERE DEVSIM [SCREENSHOT_DIR]
set -uo pipefail
program=$(realpath "$1")
devsim=$(realpath "$2")
shots=$(realpath -m "${3:-.}")
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../netns/netns.sh"
source "$here/xvfb.sh"
source "$here/within.sh"
netns_require_root || exit $?
NETNS_DEVSIM=$devsim

netns_on_teardown() { xvfb_stop; }
work=""
fail() {
  echo "FAIL: $*" >&2
  if [ -n "$work" ]; then
    for log in "$work"/*.log; do
      [ -s "$log" ] && { echo "--- $(basename "$log")"; tail -n 20 "$log"; } >&2
    done
  fi
  exit 1
}

netns_setup || fail "namespaces"
work=$NETNS_DIR
maker1=192.0.2.10 maker2=192.0.2.11 foreign=192.0.2.20
netns_add_devices home $maker1 $maker2 $foreign || fail "device namespace"
netns_check_isolated || fail "the client namespace is not isolated"

# The X server stays in this namespace and listens on no network: the client namespace reaches
# it through /tmp/.X11-unix, since abstract sockets are private to a namespace.
xvfb_start "$work/xvfb.log" || fail "Xvfb did not start"
netns_client xdpyinfo >/dev/null 2>&1 ||
  fail "the client namespace cannot reach the X server through /tmp/.X11-unix"

# The first maker device answers a search at once; the second only announces itself and is
# started once the search request has been seen, so that it is always accepted second and
# the rows' order is known. The foreign device answers at once too.
netns_devsim home --address $maker1 --friendly-name "Ahmet's Office & Lab" --model-name KT6610 \
  --serial-number KV0001 --notify off --max-delay-ms 0 --search-log "$work/search.txt" \
  --log "$work/maker1-http.txt" || fail "simulated device $maker1"
netns_devsim home --address $foreign --friendly-name "Neighbour's router" \
  --manufacturer "Acme Networks" --model-name AC1200 --notify off --max-delay-ms 0 \
  --log "$work/foreign-http.txt" || fail "simulated device $foreign"

mkdir -p "$work/bin" "$shots"
mkdir -m 700 "$work/runtime"
opened="$work/opened.txt"
: >"$opened"
cat >"$work/bin/xdg-open" <<EOF
#!/bin/sh
printf '%s\n' "\$*" >>"$opened"
EOF
chmod +x "$work/bin/xdg-open"

# ip netns exec becomes the program, so $! is the program's pid.
(cd "$(dirname "$program")" &&
  exec ip netns exec "$NETNS_CLIENT" env PATH="$work/bin:$PATH" DISPLAY="$DISPLAY" \
    QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config" \
    PATHMERE_TEST_TICK_MS=150 \
    "$program" >"$work/program.log" 2>&1) &
app=$!

window=""
find_window() {
  window=$(xdotool search --onlyvisible --class pathmere 2>/dev/null | head -n1)
  [ -n "$window" ]
}
within 150 find_window || fail "the program's window never appeared"
eval "$(xdotool getwindowgeometry --shell "$window")" # X, Y, WIDTH, HEIGHT
[ "$WIDTH" -ge 580 ] && [ "$HEIGHT" -ge 380 ] || fail "unexpected window size ${WIDTH}x$HEIGHT"

within 200 test -s "$work/search.txt" || fail "no search request reached the devices"
# The second maker device also serves media: its media server, of another maker, announces
# itself from the same address just before the device does.
netns_devsim home --address $maker2 --http-port 8200 --friendly-name "USB media" \
  --manufacturer "Acme Media" --model-name "Media Server" --notify-only --notify-interval-ms 300 \
  --log "$work/media-http.txt" || fail "media server on $maker2"
netns_devsim home --address $maker2 --friendly-name "Office access point" \
  --model-name KT5520GR --serial-number KV0002 --notify-only --notify-interval-ms 2000 \
  --log "$work/maker2-http.txt" || fail "simulated device $maker2"

# Rows of the list: the list lies at (4,37) in pnlNetworks at (2,81); below its header come
# rows 32 px high.
header=18
row_x=$((X + 2 + 4 + 100))
row_y() { echo $((Y + 81 + 37 + header + 16 + 32 * $1)); }
pixel() { # colour of the screen at x y
  import -window root -crop "1x1+$1+$2" -depth 8 txt:- 2>/dev/null | tail -n1 | awk '{print $3}'
}
search_colour=$(pixel $row_x "$(row_y 0)")
[ -n "$search_colour" ] || fail "cannot read the screen"

# The search listens until its 40th tick (6 s with the test clock), then fetches the
# descriptions; the list comes to the front at the next tick.
fetched() { [ -s "$work/maker1-http.txt" ] && [ -s "$work/maker2-http.txt" ]; }
for _ in $(seq 120); do
  fetched && break
  kill -0 $app 2>/dev/null || fail "the program ended during the search"
  sleep 1
done
fetched || fail "the search never fetched both maker devices' descriptions"
list_shown() { [ "$(pixel $row_x "$(row_y 0)")" != "$search_colour" ]; }
within 100 list_shown || fail "the list never came to the front after the search"
sleep 0.5
import -window "$window" "$shots/e2e-list.png" || fail "screenshot"

lines() { wc -l <"$opened"; }
shown_windows() { xdotool search --onlyvisible --class pathmere 2>/dev/null | wc -l; }
# For within, which runs its command again each time: counted anew on every try.
lines_at_least() { [ "$(lines)" -ge "$1" ]; }
windows_above() { [ "$(shown_windows)" -gt "$1" ]; }
windows_equal() { [ "$(shown_windows)" -eq "$1" ]; }

# The keyboard alone. The pointer is put aside, off the menus; the window gets the X input
# focus, which with no window manager nothing gives back after a dialog closes.
# X may give the focus before the program has taken it in, and keys sent meanwhile are lost:
# F10 opening the File menu (and Escape closing it) shows that the keyboard reaches the window.
focus_window() {
  xdotool windowfocus --sync "$window" || fail "cannot give the window the keyboard focus"
  local before
  before=$(shown_windows)
  for _ in $(seq 20); do
    xdotool key F10
    if within 10 windows_above "$before"; then
      xdotool key Escape
      within 50 windows_equal "$before" || fail "Escape did not close the File menu"
      sleep 0.3
      return 0
    fi
  done
  fail "the keyboard never reached the window"
}
xdotool mousemove 0 0
focus_window
# Activation may or may not have put the focus on the list; Shift+Tab reaches Next from either
# (backwards round from the list, or the last control from nowhere), and Tab goes on to the
# list. Down selects the second row, Return opens it.
xdotool key --delay 200 shift+Tab Tab Down Return
within 100 lines_at_least 1 || fail "Tab, Down and Return opened nothing"
keyed=$(sed -n 1p "$opened")
[ "$keyed" = "http://$maker2" ] || fail "Tab, Down and Return opened '$keyed', expected 'http://$maker2'"
# Alt with the Help title's first letter (Turkish by default: Yardım), Return on its first item
# opens About; Escape closes it. F10, Left (round to Help) and Down twice reach the legal
# notice; Escape closes it too.
windows=$(shown_windows)
xdotool key --delay 300 alt+y Return
within 50 windows_above "$windows" || fail "Alt+Y and Return did not open About"
xdotool key Escape
within 50 windows_equal "$windows" || fail "Escape did not close About"
focus_window
xdotool key --delay 300 F10 Left Down Down Return
within 50 xdotool search --onlyvisible --name '^legalNotice$' ||
  fail "F10, Left, Down, Down and Return did not open the legal notice"
xdotool key Escape
within 50 windows_equal "$windows" || fail "Escape did not close the legal notice"

# A double click opens the row under the pointer; nothing is opened twice for one click.
double_click_row() {
  xdotool mousemove $row_x "$(row_y "$1")" click --repeat 2 --delay 80 1
}
double_click_row 0
within 100 lines_at_least 2 || fail "a double click on the first row opened nothing"
double_click_row 1
within 100 lines_at_least 3 || fail "a double click on the second row opened nothing"
# Where a third row would be: the foreign device must not be there, or anywhere. Whatever that
# double click opened would come before what the steps below open: the count after the context
# menu's Connect shows it, with no wait for nothing to happen.
double_click_row 2
kill -0 $app 2>/dev/null || fail "the program ended after the double clicks"

# What is known of a row, under the pointer; Ctrl+C copies the selected row's web address, not
# its name; the context menu's first item opens the row under the pointer.
# A row's tooltip may still be up from the double clicks: the pointer leaves first.
xdotool mousemove 0 0
within 50 windows_equal 1 || fail "a tooltip stayed after the pointer left"
focus_window
windows=$(shown_windows)
# A press stops the tooltip's timer: the pointer moves on a little after the click.
xdotool mousemove $row_x "$(row_y 0)" click 1 mousemove_relative 2 0
within 50 windows_above "$windows" || fail "no tooltip over the first row"
import -window root -crop "${WIDTH}x$((HEIGHT + 60))+$X+$Y" "$shots/e2e-row-details.png" ||
  fail "screenshot of the tooltip"
xdotool key ctrl+c
copied() { [ "$(xclip -o -selection clipboard 2>/dev/null)" = "http://$maker1" ]; }
within 50 copied || fail "Ctrl+C copied '$(xclip -o -selection clipboard 2>/dev/null)'"
xdotool mousemove 0 0
within 50 windows_equal "$windows" || fail "the tooltip stayed"
# The menu's second item copies: only the menu can put the second row's address there, as
# keys that reached the list instead would open it.
menu_on_second_row() { # which time
  xdotool mousemove $row_x "$(row_y 1)" click 3
  within 50 windows_above "$windows" || fail "no context menu on the second row ($1)"
}
menu_on_second_row first
xdotool key Down Down Return
copied_second() { [ "$(xclip -o -selection clipboard 2>/dev/null)" = "http://$maker2" ]; }
within 50 copied_second || fail "the context menu's Copy address did not copy the second row"
xdotool mousemove 0 0
within 50 windows_equal "$windows" || fail "the context menu stayed open"
focus_window # nothing gives the window the focus back after a popup, with no window manager
menu_on_second_row second
xdotool key Down Return
within 100 lines_at_least 4 || fail "the context menu's Connect opened nothing"
[ "$(lines)" -eq 4 ] || fail "opened $(lines) addresses, expected 4 (the double click below the rows opened one?)"
xdotool mousemove 0 0
within 50 windows_equal "$windows" || fail "the context menu stayed open"

first=$(sed -n 2p "$opened") second=$(sed -n 3p "$opened")
menu=$(sed -n 4p "$opened")
[ "$menu" = "http://$maker2" ] || fail "the context menu opened '$menu', expected 'http://$maker2'"
[ "$first" = "http://$maker1" ] || fail "first row opened '$first', expected 'http://$maker1'"
[ "$second" = "http://$maker2" ] || fail "second row opened '$second', expected 'http://$maker2'"
if grep -v -x -e "http://$maker1" -e "http://$maker2" "$opened" | grep -q .; then
  fail "opened something other than the two maker devices: $(tr '\n' ' ' <"$opened")"
fi
[ -s "$work/foreign-http.txt" ] || fail "the foreign device's description was never fetched"
[ -s "$work/media-http.txt" ] || fail "the media server's description was never fetched"
echo "PASS: opened $(tr '\n' ' ' <"$opened")"
