#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the main build, then the core
# with AddressSanitizer and UndefinedBehaviorSanitizer, then the worker hand-over with
# ThreadSanitizer, then a short fuzzing of every parser with libFuzzer (clang).
#
# The tests spend most of their time waiting on the network and on timers, the builds on the
# processors: so a build's tests run in the background while the next build compiles at a
# lower priority; each stage's log is kept in build/logs/ and printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

werror=OFF
[ "${CI:-}" = true ] && werror=ON
jobs=$(nproc)
# Tests that wait outnumber the processors: twice as many at once keeps them busy.
test_jobs=$((2 * jobs))
logs=build/logs
mkdir -p "$logs"

# Debug information as line tables only: a backtrace or a sanitizer report still names the
# function, file and line, and the builds take a fifth less time than with every type of Qt
# and GoogleTest described.
configure() { # build folder, extra options...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DPATHMERE_WERROR=$werror \
    -DCMAKE_CXX_FLAGS_DEBUG=-g1 -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" "$@" >/dev/null
}
# The sanitizer and fuzzing builds use clang when it is there: it builds them in about half of
# GCC's time, and its warnings check the code a second compiler's way.
clang=()
if command -v clang++-14 >/dev/null; then
  clang=(-DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14)
fi
stage() { # title
  echo "== $1 [at ${SECONDS} s]"
}
build_behind_tests() { # build folder, targets...: compiles below the tests' priority
  local dir=$1; shift
  [ $# -eq 0 ] || set -- -t "$@"
  nice -n 10 cmake --build "$dir" -j "$jobs" "$@"
}

background=() # "name|pid|log" of test runs still going
start_tests() { # name, ctest arguments...
  local name=$1; shift
  local log=$logs/${name// /-}.log
  stage "$name: tests started (log: $log)"
  ctest "$@" --output-on-failure >"$log" 2>&1 &
  background+=("$name|$!|$log")
}
finish_tests() { # waits for every test run in the background; fails if any failed
  local entry name pid log failed=0
  for entry in "${background[@]}"; do
    IFS='|' read -r name pid log <<<"$entry"
    if wait "$pid"; then
      stage "$name: tests"
    else
      stage "$name: tests FAILED"
      failed=1
    fi
    cat "$log"
  done
  background=()
  return $failed
}
# A failure stops the run; the tests still going in the background are ended with it.
trap 'for entry in "${background[@]}"; do IFS="|" read -r _ pid _ <<<"$entry"; kill "$pid" 2>/dev/null; done' EXIT

stage "main build"
configure build/main -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/main -j "$jobs"
start_tests "main build" --test-dir build/main -j "$test_jobs"

stage "core with AddressSanitizer and UndefinedBehaviorSanitizer: build"
configure build/asan "${clang[@]}" -DCMAKE_BUILD_TYPE=Debug -DPATHMERE_CORE_ONLY=ON \
  -DPATHMERE_SANITIZE=address,undefined
build_behind_tests build/asan
start_tests "AddressSanitizer" --test-dir build/asan -j "$test_jobs"

stage "worker hand-over with ThreadSanitizer: build"
configure build/tsan "${clang[@]}" -DCMAKE_BUILD_TYPE=Debug -DPATHMERE_CORE_ONLY=ON \
  -DPATHMERE_SANITIZE=thread
build_behind_tests build/tsan pathmere_tsan_tests

fuzz=false
stage "short fuzzing with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer (clang): build"
if [ ${#clang[@]} -gt 0 ]; then
  # Optimised as OSS-Fuzz builds its targets (-O1): nearly the speed of -O2, built sooner.
  configure build/fuzz "${clang[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPATHMERE_FUZZ=ON \
    -DPATHMERE_SANITIZE=address,undefined -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG"
  build_behind_tests build/fuzz pathmere_fuzzers
  fuzz=true
elif [ "${CI:-}" = true ]; then
  echo "clang++-14 is missing: the fuzzing cannot run" >&2
  exit 1
else
  echo "clang++-14 is missing: fuzzing skipped"
fi

stage "worker hand-over with ThreadSanitizer: tests"
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build/tsan --output-on-failure -L tsan

if [ "$fuzz" = true ]; then
  stage "short fuzzing: tests"
  PATHMERE_FUZZ_SECONDS=30 ctest --test-dir build/fuzz --output-on-failure -L fuzz -j "$jobs"
fi

finish_tests
