#!/usr/bin/env bash
# Installs what is missing, builds Pathmere and starts it on your desktop.
#
#   tools/run.sh                  search your own network for the maker's devices
#   sudo -E tools/run.sh --demo   search a simulated network of three of the maker's devices and
#                                 a foreign one, built in private network namespaces (needs
#                                 root; -E keeps your display); removed when the program ends
#
# The program reads lang.xml and its manuals (Doc/) from its current folder, so it is started
# from the build's staged run folder. Under sudo, the build and the program run as you.
# PATHMERE_BUILD_DIR chooses the build folder (build/main); PATHMERE_DRY_RUN=1 does everything
# but start the program, and prints the command that would start it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PATHMERE_BUILD_DIR:-$root/build/main}
dry_run=${PATHMERE_DRY_RUN:-0}

usage() {
  sed -n '2,8s/^# \{0,1\}//p' "$0"
}

demo=false
case "${1:-}" in
  "") ;;
  --demo) demo=true ;;
  -h | --help)
    usage
    exit 0
    ;;
  *)
    usage >&2
    exit 2
    ;;
esac
[ $# -le 1 ] || {
  usage >&2
  exit 2
}

if $demo && [ "$(id -u)" -ne 0 ]; then
  echo "run.sh: --demo builds its simulated network in network namespaces, which needs root." >&2
  echo "        Start it as:  sudo -E tools/run.sh --demo   (-E keeps your display)" >&2
  exit 1
fi
if [ "$dry_run" != 1 ] && [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set): start it from your" >&2
  echo "        desktop session$($demo && echo ', with sudo -E so that they are kept')." >&2
  exit 1
fi

# Started through sudo, run the program as the user who asked, so that its settings and its
# single-instance lock stay theirs; build as them too unless the build folder is root's (a
# build made by CI as root, say).
as_user=()
build_as=()
if [ "$(id -u)" -eq 0 ] && [ -n "${SUDO_UID:-}" ] && [ "${SUDO_UID}" != 0 ]; then
  as_user=(setpriv --reuid="$SUDO_UID" --regid="${SUDO_GID:-$SUDO_UID}" --init-groups --)
  existing=$build
  while [ ! -e "$existing" ]; do existing=$(dirname "$existing"); done
  [ "$(stat -c %u "$existing")" = "$SUDO_UID" ] && build_as=("${as_user[@]}")
fi

bash "$root/tools/install-deps.sh"
configure=(-S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo)
[ -f "$build/CMakeCache.txt" ] || configure+=(-G Ninja)
"${build_as[@]}" cmake "${configure[@]}" >/dev/null
"${build_as[@]}" cmake --build "$build" --target pathmere pathmere-devsim pathmere-scan \
  pathmere_run_files pathmere_manuals

source "$build/pathmere-paths.sh" # run_dir
start=("${as_user[@]}" env -C "$run_dir" "$run_dir/pathmere")
if $demo; then
  start=(bash "$root/tests/netns/demo.sh" "$build" -- "${start[@]}")
fi
if [ "$dry_run" = 1 ]; then
  printf '%q ' "${start[@]}"
  echo
  exit 0
fi

begun=$SECONDS
status=0
"${start[@]}" || status=$?
if [ "$status" -eq 0 ] && [ $((SECONDS - begun)) -lt 3 ]; then
  # The single-instance rule: a second start brings the running window back and ends.
  echo "run.sh: Pathmere was already running; its window has been brought back. To start" >&2
  echo "        this build instead, close it (File, Close) and start this again." >&2
fi
exit "$status"
