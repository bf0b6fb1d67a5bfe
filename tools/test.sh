#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the main build, then the core
# with AddressSanitizer and UndefinedBehaviorSanitizer, then the worker hand-over with
# ThreadSanitizer, then a short fuzzing of every parser with libFuzzer (clang).
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-deps.sh

werror=OFF
[ "${CI:-}" = true ] && werror=ON
jobs=$(nproc)

configure() { # build folder, extra options...
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DPATHMERE_WERROR=$werror "$@" >/dev/null
}

echo "== main build"
configure build/main -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/main -j "$jobs"
ctest --test-dir build/main --output-on-failure -j "$jobs"

echo "== core with AddressSanitizer and UndefinedBehaviorSanitizer"
configure build/asan -DCMAKE_BUILD_TYPE=Debug -DPATHMERE_CORE_ONLY=ON -DPATHMERE_SANITIZE=address,undefined
cmake --build build/asan -j "$jobs"
ctest --test-dir build/asan --output-on-failure -j "$jobs"

echo "== worker hand-over with ThreadSanitizer"
configure build/tsan -DCMAKE_BUILD_TYPE=Debug -DPATHMERE_CORE_ONLY=ON -DPATHMERE_SANITIZE=thread
cmake --build build/tsan -j "$jobs"
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir build/tsan --output-on-failure -L tsan

echo "== short fuzzing with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer (clang)"
if command -v clang++-14 >/dev/null; then
  configure build/fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 \
    -DCMAKE_CXX_COMPILER=clang++-14 -DPATHMERE_FUZZ=ON -DPATHMERE_SANITIZE=address,undefined
  cmake --build build/fuzz -j "$jobs" -t pathmere_fuzzers
  PATHMERE_FUZZ_SECONDS=30 ctest --test-dir build/fuzz --output-on-failure -L fuzz -j "$jobs"
elif [ "${CI:-}" = true ]; then
  echo "clang++-14 is missing: the fuzzing cannot run" >&2
  exit 1
else
  echo "clang++-14 is missing: fuzzing skipped"
fi
