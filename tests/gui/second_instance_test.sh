#!/usr/bin/env bash
# One instance per user. With the first instance in the tray (of a StatusNotifierItem host of
# the test's own, on a private session bus, in Xvfb): a start with "simge" only ends; a plain
# start ends with code 0 and brings the first's window back, its search going on; 20 starts at
# once leave one instance; an instance killed with SIGKILL blocks no later start. Everything
# runs in a network namespace with only an unconfigured loopback.
set -uo pipefail
source "$(dirname "$(realpath "$0")")/sni_desktop.sh"

sni_desktop_run "$1" "$2" <<'INNER'
set -uo pipefail
program=$1 host=$2 work=$3 here=$4
source "$here/sni_desktop.sh"
sni_desktop_start
alive() { kill -0 "$1" 2>/dev/null; }
cd "$(dirname "$program")" # the staged folder, with lang.xml
visible() { xdotool search --onlyvisible --name '^Korvane Pathmere$'; }
hidden() { ! visible; }
searches() { grep -c 'search started' "$work/first.log"; }
searches_are() { [ "$(searches)" -eq "$1" ]; }
items() { grep -c '^registered ' "$work/host.log"; }

"$program" simge >"$work/first.log" 2>&1 &
first=$!
SNI_DESKTOP_PIDS+=("$first")
until_true grep -q '^registered ' "$work/host.log" || fail "the first instance has no tray icon"
until_true searches_are 1 || fail "the first search did not start"
until_true hidden || fail "\"simge\" left the window shown"

# A later start with "simge" ends and leaves the window in the tray.
timeout 10 "$program" simge >>"$work/later.log" 2>&1
code=$?
[ "$code" -eq 0 ] || fail "a later start with simge ended with $code"
sleep 0.5
hidden || fail "a later start with simge showed the window"

# A plain later start ends at once and brings the window back; the search goes on.
begin=$(date +%s%N)
timeout 10 "$program" >>"$work/later.log" 2>&1
code=$?
echo "a later start took $((($(date +%s%N) - begin) / 1000000)) ms"
[ "$code" -eq 0 ] || fail "a later start ended with $code"
until_true visible || fail "a later start did not bring the window back"
alive "$first" || fail "the first instance ended"
[ "$(searches)" -eq 1 ] || fail "the search under way was restarted"
grep -q 'search ended' "$work/first.log" && fail "the search ended meanwhile: the check says nothing"
[ "$(items)" -eq 1 ] || fail "a later start showed a tray icon of its own"
[ -s "$work/later.log" ] && fail "a later start printed: $(cat "$work/later.log")"

pids=()
# Killed: the lock goes with the process, and the socket file it leaves is taken over.
kill -9 "$first"
wait "$first" 2>/dev/null
until_true grep -q '^unregistered ' "$work/host.log" || fail "the killed instance's icon stayed"

# 20 starts at once: one runs on, the others end with code 0.
for i in $(seq 20); do
  "$program" >"$work/start-$i.log" 2>&1 &
  pids+=("$!")
  SNI_DESKTOP_PIDS+=("$!")
done
begin=$(date +%s%N)
running() {
  local n=0 pid
  for pid in "${pids[@]}"; do alive "$pid" && n=$((n + 1)); done
  echo $n
}
one_running() { [ "$(running)" -eq 1 ]; }
until_true one_running || fail "$(running) of 20 starts still run"
echo "19 of 20 starts had ended after $((($(date +%s%N) - begin) / 1000000)) ms"
for pid in "${pids[@]}"; do
  if ! alive "$pid"; then
    wait "$pid"
    code=$?
    [ "$code" -eq 0 ] || fail "a start ended with $code"
  fi
done
sleep 1
[ "$(running)" -eq 1 ] || fail "the remaining instance did not run on"
echo PASS
INNER
