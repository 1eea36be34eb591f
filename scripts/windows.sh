#!/usr/bin/env bash
# The Windows build: cross-compiles both programs, the system code and their
# tests with mingw-w64 into build-win/, against a static Qt for Windows built
# once from Debian's source (scripts/qt-mingw.sh; the first run takes 30 to
# 40 minutes for it), runs the tests under Wine in a Wine prefix of the
# build's own (build-win/wineprefix), never the user's ~/.wine, then the
# command line under Wine and the installer's silent install and uninstall.
# Installs the cross compiler, Wine and NSIS first when they are missing (as
# root or through sudo, like scripts/setup.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build-win

# --- Packages ---------------------------------------------------------------
# librsvg2-bin and icoutils make the program icon, nsis the installer, zip
# the relink kit; xvfb and xauth give Wine a display for the screenshots,
# which are drawn in DejaVu Sans.
packages=(g++-mingw-w64-x86-64-posix wine wine64 googletest nsis librsvg2-bin icoutils
          qt6-translations-l10n xvfb xauth fonts-dejavu-core zip unzip)
missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -eq 0 ]; then
    sudo=()
  elif command -v sudo >/dev/null 2>&1; then
    sudo=(sudo)
  else
    echo "windows: missing packages (${missing[*]}) and neither root nor sudo available" >&2
    exit 1
  fi
  echo "windows: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q
  "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# --- Qt for Windows ------------------------------------------------------------
qt=$(scripts/qt-mingw.sh | tail -n 1)

# --- Build ------------------------------------------------------------------
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# Optimised, without debug information: -g nearly doubles the compile time and
# makes each test program 20 to 30 MB to link.
# Qt's toolchain file finds the Qt for Windows and hands over to ours.
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/toolchain-mingw64.cmake" -DORVEX_BUILD_PROGRAMS=ON \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DCMAKE_C_FLAGS_RELEASE="-O2 -DNDEBUG" \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j2
cmake --build "$build" --target installer
cmake --build "$build" --target relink_kit

# --- Wine -------------------------------------------------------------------
export WINEPREFIX="$PWD/$build/wineprefix"
export WINEDEBUG=-all
# Wine names files in the Unix locale's charset: UTF-8, or no name outside ASCII.
export LC_ALL=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer dialogs
mkdir -p "$WINEPREFIX"
# One server for every program below, kept until a minute after the last. It
# must come first: wineboot's own server would still be running, and -p then
# fails. A server of an earlier run that is still up serves as well.
wineserver -p 60 || true
# wineboot also starts the session's own processes: when the first two
# programs of a new session start side by side, one of them may never end.
if [ ! -d "$WINEPREFIX/drive_c/windows/system32" ]; then
  echo "windows: creating the Wine prefix"
  wineboot -i >/dev/null 2>&1
else
  wineboot >/dev/null 2>&1
fi

# --- Tests ------------------------------------------------------------------
ctest --test-dir "$build" --output-on-failure -j2 -L windows

# --- Command line -----------------------------------------------------------
# orvexcard.exe as an operator runs it, and cards crossing to the Linux build.
./scripts/windows-cli.sh "$build" build

# --- Relink kit ---------------------------------------------------------------
# The kit links the window again with the Qt it names, importing the same DLLs.
kit=$(mktemp -d)
unzip -q "$build"/orvexcard-*-win64-relink.zip -d "$kit"
QT="$qt" "$kit"/orvexcard-*-win64-relink/link.sh
cmp -s <(x86_64-w64-mingw32-objdump -p "$kit"/orvexcard-*-win64-relink/orvexcard-wizard.exe | grep 'DLL Name') \
       <(x86_64-w64-mingw32-objdump -p "$build/wizard/orvexcard-wizard.exe" | grep 'DLL Name') ||
  { echo "windows: the relinked window imports other DLLs than the built one" >&2; exit 1; }
rm -rf "$kit"
echo "windows: the relink kit links the window again"

# --- Installer ----------------------------------------------------------------
# A silent install and uninstall in a fresh Wine prefix.
./scripts/windows-installer.sh "$build"
