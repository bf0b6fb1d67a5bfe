#!/usr/bin/env bash
# The program's speed and resources, offscreen, on its own main window:
#  - start to the first painted window, in an empty network namespace (goal under 300 ms);
#  - a whole search on demo.sh's simulated network (three maker devices, one foreign): the
#    program's CPU time, start-up included (goal under 1 s), and its memory (goal under 60 MiB).
# Each figure is taken over several fresh processes; min and median are printed. Needs root.
# Usage: run.sh [PATH-TO-pathmere-bench-program [BUILD_DIR]]   (default: build/main)
# BENCH_START_RUNS (15) and BENCH_SEARCH_RUNS (3) set the repetitions; a search takes about
# a minute at the program's pace.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath -m "${2:-$root/build/main}")
bench=$(realpath -m "${1:-$build/bench/program/pathmere-bench-program}")
start_runs=${BENCH_START_RUNS:-15}
search_runs=${BENCH_SEARCH_RUNS:-3}
[ -f "$build/pathmere-paths.sh" ] || { echo "bench: $build is not configured" >&2; exit 1; }
source "$build/pathmere-paths.sh" # run_dir
for file in "$bench" "$build/tools/devsim/pathmere-devsim" "$run_dir/lang.xml"; do
  [ -e "$file" ] || { echo "bench: $file not built" >&2; exit 1; }
done
if [ "$(id -u)" -ne 0 ]; then
  echo "bench: needs root for its network namespaces" >&2
  exit 1
fi

work=$(mktemp -d /tmp/pathmere-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
mkdir -m 700 "$work/runtime"
# The program reads lang.xml from its current folder and keeps its settings and lock here.
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config"
cd "$run_dir" || exit 1

# Prints "min M, median D" of the numbers on standard input.
summary() {
  sort -g | awk '{ v[NR] = $1 } END {
    if (NR == 0) { print "no figures"; exit 1 }
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "min %s, median %s (%d runs)\n", v[1], m, NR }'
}
field() { # name: that field's values from the lines on standard input
  sed -n "s/.*\\b$1=\\([0-9.]*\\).*/\\1/p"
}

echo "start to the first painted window, $start_runs fresh processes..."
"$bench" start "$start_runs" >"$work/start.txt" 2>"$work/start.err" || {
  cat "$work/start.err" >&2
  exit 1
}

echo "whole searches on demo.sh's simulated network, $search_runs times (about a minute each)..."
: >"$work/search.txt"
for run in $(seq "$search_runs"); do
  # demo.sh removes its namespaces when the command ends; the bench checks it runs in the
  # client namespace named by the harness, whose name the command learns from ip netns.
  bash "$root/tests/netns/demo.sh" "$build" -- bash -c \
    'exec "$1" search "$(ip netns identify $$)"' bench "$bench" \
    >>"$work/search.txt" 2>>"$work/search.err" || {
    echo "bench: search run $run failed" >&2
    cat "$work/search.err" >&2
    exit 1
  }
done

rows=$(field rows <"$work/search.txt" | sort -u | tr '\n' ' ')
echo
echo "start to first paint:   $(field first_paint_ms <"$work/start.txt" | summary) ms (goal under 300 ms)"
echo "memory at first paint:  $(field rss_kib <"$work/start.txt" | summary) KiB"
echo "rows listed per search: ${rows% } (expected 3)"
echo "search wall time:       $(field search_s <"$work/search.txt" | summary) s"
echo "CPU time, whole run:    $(field total_cpu_ms <"$work/search.txt" | summary) ms (goal under 1000 ms)"
echo "CPU time, search only:  $(field search_cpu_ms <"$work/search.txt" | summary) ms"
echo "memory after a search:  $(field rss_kib <"$work/search.txt" | summary) KiB (goal under 61440 KiB)"
echo "peak memory:            $(field peak_rss_kib <"$work/search.txt" | summary) KiB"
[ "${rows% }" = 3 ]
