#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop learns
# from it; the install step itself builds the desktop's caches.
set -euo pipefail
build=$1
check="desktop integration"
. "$(dirname "$0")/desktop_checks.sh"
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
check_desktop_tree "$prefix"
echo "$check: ok"
