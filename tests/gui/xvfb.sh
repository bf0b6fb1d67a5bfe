# A private Xvfb for a test. Source this file, then: xvfb_start LOG || exit 1
# It sets DISPLAY and XVFB_PID; xvfb_stop ends the server. The server listens on no network.
#
# The display number is one whose lock file the server could take, so that servers started side
# by side never share one. Not -displayfd: a server in a network namespace of its own finds
# every abstract socket free, so it always picks 0 and takes over the socket file
# /tmp/.X11-unix/X0 of whatever server has that number outside, a desktop's included. Numbers
# from 20 up leave a desktop's own displays alone.

XVFB_PID=""

xvfb__try() { # display number, log
  Xvfb ":$1" -screen 0 1024x768x24 -nolisten tcp >"$2" 2>&1 &
  XVFB_PID=$!
  local i
  for i in $(seq 100); do
    kill -0 "$XVFB_PID" 2>/dev/null || break # the number was taken after all
    if xdpyinfo -display ":$1" >/dev/null 2>&1; then
      # Ours only if it holds the lock: of two servers started with one number at once, the
      # second exits, and until then a client reaches the first one, which is another test's.
      [ "$(tr -d ' \n' <"/tmp/.X$1-lock" 2>/dev/null)" = "$XVFB_PID" ] && return 0
      break
    fi
    sleep 0.1
  done
  xvfb_stop
  return 1
}

xvfb_start() { # log
  local number
  for number in $(seq 20 99); do
    [ -e "/tmp/.X$number-lock" ] || [ -e "/tmp/.X11-unix/X$number" ] && continue
    if xvfb__try "$number" "$1"; then
      export DISPLAY=":$number"
      return 0
    fi
  done
  echo "xvfb: no display number could be taken" >&2
  return 1
}

xvfb_stop() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
  fi
  XVFB_PID=""
  return 0
}
