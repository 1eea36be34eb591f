#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests and runs with.
# Idempotent: packages that are already installed are left alone, and apt is
# not touched at all when nothing is missing. Works as root or through sudo.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev
  libpcsclite-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  pcscd vsmartcard-vpcd
  desktop-file-utils shared-mime-info
  # The fuzzers (scripts/fuzz.sh): clang and its libFuzzer and sanitizer runtimes.
  clang libclang-rt-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "setup: missing packages (${missing[*]}) and neither root nor sudo available" >&2
  exit 1
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
