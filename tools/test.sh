#!/usr/bin/env bash
# Installs what is missing, then builds each preset of CMakePresets.json and runs its tests:
# the main build, the core with AddressSanitizer and UndefinedBehaviorSanitizer, the worker
# hand-over with ThreadSanitizer, and a short fuzzing of every parser.
#
# The tests spend most of their time waiting on the network and on timers, the builds on the
# processors: so each preset's tests run in the background while the next preset builds at a
# lower priority. Every stage is reported, even after another failed; the exit code fails if
# any did.
set -uo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh || exit 1

werror=OFF
[ "${CI:-}" = true ] && werror=ON
jobs=$(nproc)
# Tests that wait outnumber the processors: twice as many at once keeps them busy. The
# thread-sanitized tests and the fuzzers keep a processor busy each.
declare -A test_jobs=([main]=$((2 * jobs)) [asan]=$((2 * jobs)) [tsan]=$jobs [fuzz]=$jobs)
logs=build/logs
mkdir -p "$logs"
presets=(main asan tsan fuzz)
declare -A outcome tests_pid

for preset in "${presets[@]}"; do
  echo "== $preset: build [at ${SECONDS} s]"
  if ! cmake --preset "$preset" -DPATHMERE_WERROR=$werror >"$logs/$preset-configure.log" 2>&1; then
    cat "$logs/$preset-configure.log"
    outcome[$preset]="configure FAILED"
  elif ! nice -n 10 cmake --build --preset "$preset" -j "$jobs"; then
    outcome[$preset]="build FAILED"
  else
    echo "== $preset: tests started (log: $logs/$preset-tests.log) [at ${SECONDS} s]"
    ctest --preset "$preset" -j "${test_jobs[$preset]}" >"$logs/$preset-tests.log" 2>&1 &
    tests_pid[$preset]=$!
  fi
done

failed=0
for preset in "${presets[@]}"; do
  if [ -n "${tests_pid[$preset]:-}" ]; then
    if wait "${tests_pid[$preset]}"; then outcome[$preset]=passed; else outcome[$preset]="tests FAILED"; fi
    echo "== $preset: tests ended [at ${SECONDS} s]"
    cat "$logs/$preset-tests.log"
  fi
  [ "${outcome[$preset]}" = passed ] || failed=1
done

echo "== summary after ${SECONDS} s"
for preset in "${presets[@]}"; do
  printf '   %-5s %s\n' "$preset" "${outcome[$preset]}"
done
exit $failed
