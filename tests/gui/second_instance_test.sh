#!/usr/bin/env bash
# A second start of the program while the first runs ends at once with exit code 0, and the
# first goes on. Each instance runs offscreen in a network namespace of its own with only an
# unconfigured loopback, so that their searches find no address and nothing leaves the machine.
set -uo pipefail
program=$(realpath "$1")

source "$(dirname "$(realpath "$0")")/../netns/netns.sh"
netns_require_root || exit $?

work=$(mktemp -d)
first=""
cleanup() {
  if [ -n "$first" ]; then
    kill "$first" 2>/dev/null
    wait "$first" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -m 700 "$work/runtime"
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config"
cd "$(dirname "$program")" # the staged folder, with lang.xml

unshare --net "$program" >>"$work/program.log" 2>&1 &
first=$!

lock="$work/runtime/MIRD-01234567-B10D-11D3-BC36-006067709674.lock"
for _ in $(seq 200); do
  if [ -e "$lock" ] && ! flock -n "$lock" true; then break; fi
  kill -0 "$first" 2>/dev/null || fail "the first instance ended by itself"
  sleep 0.05
done
flock -n "$lock" true && fail "the first instance never took the lock"

timeout 30 unshare --net "$program" >>"$work/program.log" 2>&1
code=$?
[ "$code" -eq 0 ] || fail "the second instance ended with $code"
kill -0 "$first" 2>/dev/null || fail "the first instance did not go on"
flock -n "$lock" true && fail "the lock was lost"

# Once the first has ended, the next start is a first instance again and keeps running.
kill "$first"
wait "$first" 2>/dev/null
first=""
unshare --net "$program" >>"$work/program.log" 2>&1 &
first=$!
sleep 1
kill -0 "$first" 2>/dev/null || fail "a start after the first had ended did not run"
echo "PASS"
