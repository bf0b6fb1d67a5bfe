# A private desktop for tests of the tray on a StatusNotifierItem host: a network namespace
# with only an unconfigured loopback (the program's searches find no address), a private
# session bus, Xvfb and the test's own host (pathmere-test-snihost). Source this file.
#
#   sni_desktop_run PROGRAM HOST <<'INNER' ... INNER
#       runs the script on standard input in such a desktop, as root, with the arguments
#       PROGRAM HOST WORK HERE: WORK a scratch folder removed afterwards, HERE this folder.
#       The script begins with
#         program=$1 host=$2 work=$3 here=$4; source "$here/sni_desktop.sh"; sni_desktop_start
#   sni_desktop_start        (inside) starts Xvfb and the host (log: $work/host.log) and sets
#                            the program's environment; pids put in SNI_DESKTOP_PIDS are
#                            killed at the end
#   fail MESSAGE             (inside) prints the message and the logs, and ends the test
#   until_true CMD...        (inside) waits up to 10 s for CMD to succeed

sni_desktop_run() {
  local program host here work inner
  program=$(realpath "$1")
  host=$(realpath "$2")
  here=$(dirname "$(realpath "${BASH_SOURCE[0]}")")
  source "$here/../netns/netns.sh"
  netns_require_root || return $?
  command -v dbus-run-session >/dev/null || { echo "FAIL: dbus-run-session is missing" >&2; return 1; }
  work=$(mktemp -d)
  mkdir -m 700 "$work/runtime"
  cat >"$work/inner.sh"
  [ -s "$work/inner.sh" ] || { echo "FAIL: no test script" >&2; rm -rf "$work"; return 1; }
  # Bash runs a trap only once the foreground command ends: the desktop runs as a job.
  trap 'kill $inner 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
  unshare --net dbus-run-session -- bash "$work/inner.sh" "$program" "$host" "$work" "$here" &
  inner=$!
  wait "$inner"
}

fail() {
  echo "FAIL: $*" >&2
  for log in "$work"/*.log; do echo "--- $log:" >&2; cat "$log" >&2; done
  exit 1
}

until_true() {
  for _ in $(seq 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

sni_desktop_start() {
  source "$here/xvfb.sh"
  xvfb_start "$work/xvfb.log" || fail "no X server"
  "$host" watch >"$work/host.log" 2>&1 &
  SNI_HOST_PID=$!
  trap 'kill -9 ${SNI_DESKTOP_PIDS[*]:-} 2>/dev/null; kill $SNI_HOST_PID 2>/dev/null; xvfb_stop; wait 2>/dev/null' EXIT
  until_true grep -q '^watching' "$work/host.log" || fail "the host did not start"
  export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config"
  export QT_QPA_PLATFORM=xcb QT_LOGGING_RULES="pathmere.*.debug=true"
}
