#!/usr/bin/env bash
# The tray icon on a StatusNotifierItem host, as KDE Plasma, GNOME's AppIndicator extension and
# Xfce's panel show it: a host of the test's own (pathmere-test-snihost) on a private session
# bus, in a real X server. Started with "simge" the program registers its item; the host's
# Activate brings the window back with a new search; the menu the host reads over D-Bus holds
# Show and Close in the current language; Close from there ends the program with code 0 and
# the item goes away. Everything runs in a network namespace with only an unconfigured
# loopback, so the program's searches find no address.
set -uo pipefail
source "$(dirname "$(realpath "$0")")/sni_desktop.sh"

sni_desktop_run "$1" "$2" <<'INNER'
set -uo pipefail
program=$1 host=$2 work=$3 here=$4
source "$here/sni_desktop.sh"
sni_desktop_start

cd "$(dirname "$program")" # the staged folder, with lang.xml
"$program" simge >"$work/program.log" 2>&1 &
app=$!
SNI_DESKTOP_PIDS=($app)

until_true grep -q '^registered ' "$work/host.log" || fail "no item was registered"
visible() { xdotool search --onlyvisible --name '^Korvane Pathmere$'; }
hidden() { ! visible; }
searches() { grep -c 'search started' "$work/program.log"; }
searches_are() { [ "$(searches)" -eq "$1" ]; }
until_true hidden || fail "\"simge\" left the window shown"
until_true searches_are 1 || fail "the first search did not start"
[ "$(searches)" -eq 1 ] || fail "more than one search at start-up"

"$host" activate || fail "the host could not activate the item"
until_true visible || fail "Activate did not bring the window back"
until_true searches_are 2 || fail "Activate did not start a new search"

"$host" menu >"$work/menu.txt" || fail "the host could not read the menu"
cut -f2 "$work/menu.txt" | tr '\n' '|' | grep -qx 'Göster|Kapat|' ||
  fail "the menu is not Show and Close in Turkish: $(cat "$work/menu.txt")"

"$host" click Kapat || fail "the host could not click Close"
for _ in $(seq 100); do kill -0 $app 2>/dev/null || break; sleep 0.1; done
kill -0 $app 2>/dev/null && fail "Close did not end the program"
wait $app
code=$?
app=""
[ "$code" -eq 0 ] || fail "the program ended with $code"
until_true grep -q '^unregistered ' "$work/host.log" || fail "the item stayed registered"
echo PASS
INNER
