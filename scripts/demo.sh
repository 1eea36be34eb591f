#!/usr/bin/env bash
# Sets up the machine, builds the programs and runs them on the simulated reader.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake -S . -B build >/dev/null
cmake --build build -j2
if [ ! -x build/cli/orvexcard ]; then
  echo "demo: the programs are not built yet; only the system library and its tests exist." >&2
  exit 1
fi
