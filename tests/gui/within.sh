# Source this file, then: within TENTHS COMMAND... waits up to TENTHS tenths of a second for
# COMMAND to succeed; it returns 1 when COMMAND never does.
within() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
