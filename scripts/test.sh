#!/usr/bin/env bash
# Sets up the machine (Debian packages), builds everything and runs the whole
# test suite. With --sanitize the build uses AddressSanitizer and
# UndefinedBehaviorSanitizer and goes to build-asan/.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
flags=()
if [ "${1:-}" = "--sanitize" ]; then
  build=build-asan
  flags+=(-DORVEX_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug)
fi

if command -v ccache >/dev/null 2>&1; then
  flags+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

scripts/setup.sh
cmake -S . -B "$build" "${flags[@]}" >/dev/null
cmake --build "$build" -j2
ctest --test-dir "$build" --output-on-failure -j2
