#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the main build, then the core
# with AddressSanitizer and UndefinedBehaviorSanitizer, then the worker hand-over with
# ThreadSanitizer.
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
