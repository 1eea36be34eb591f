#!/usr/bin/env bash
# Builds a static Qt 6 (qtbase only) for 64-bit Windows with mingw-w64 from
# Debian's own source package, once, into a cache outside the checkout:
#
#   ${ORVEX_QT_MINGW_CACHE:-~/.cache/orvexcard}/qt-<version>-mingw-static/
#
# The installed tree is reused when it is complete (a stamp written last) and
# was built with the same options (the stamp holds their digest). Prints the
# prefix on its last line of standard output; everything else goes to stderr.
#
# Debian ships no Qt for mingw; its qt6-base source cross-builds against the
# host Qt of the same version (Debian's qt6-base-dev-tools: moc, rcc, uic).
# No prebuilt Qt is fetched from anywhere.
set -euo pipefail
cd "$(dirname "$0")/.."

say() { echo "qt-mingw: $*" >&2; }

need_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"
  elif command -v sudo >/dev/null 2>&1; then sudo "$@"
  else say "needs root or sudo for: $*"; exit 1
  fi
}

# --- Packages ---------------------------------------------------------------
packages=(qt6-base-dev qt6-base-dev-tools g++-mingw-w64-x86-64-posix ninja-build cmake dpkg-dev perl)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  say "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  need_root apt-get update -q >&2
  need_root apt-get install -y -q --no-install-recommends "${missing[@]}" >&2
fi

# The host tools must be the very version we build: Qt refuses others.
version=$(dpkg-query -W -f='${Version}' qt6-base-dev | sed 's/+.*//; s/-.*//')
[ -n "$version" ] || { say "cannot tell the version of qt6-base-dev"; exit 1; }

# The cross compiler as Qt is built with it. Kept in the cache beside the
# build, so Qt's own toolchain file (lib/cmake/Qt6/qt.toolchain.cmake), which
# loads it, does not depend on where a checkout lies; programs that use this
# Qt hand their own toolchain file in through QT_CHAINLOAD_TOOLCHAIN_FILE.
# -fno-ipa-ra: on Windows the linker keeps one copy of each inline function
# (std::mt19937's, QString's) out of all objects, whatever flags each was
# compiled with, so a caller must not count on the registers its own copy
# leaves alone. With GCC's interprocedural register allocation
# QRandomGenerator wrote through a register that the program's copy of the
# Mersenne twister had changed, and every QTemporaryDir crashed.
toolchain_text='set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_C_FLAGS_INIT -fno-ipa-ra)
set(CMAKE_CXX_FLAGS_INIT -fno-ipa-ra)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)'

# Every option that changes the result; its digest goes into the stamp.
options=(
  -G Ninja
  -DCMAKE_BUILD_TYPE=Release
  -DBUILD_SHARED_LIBS=OFF
  -DQT_HOST_PATH=/usr
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DQT_GENERATE_SBOM=OFF
  # What the window needs: Core, Gui, Widgets, Network (the single-instance
  # channel), Test (the window's tests). Everything else is left out.
  -DFEATURE_sql=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_openssl=OFF
  -DFEATURE_sql_sqlite=OFF -DFEATURE_jpeg=OFF -DFEATURE_gif=OFF
  -DFEATURE_androiddeployqt=OFF -DFEATURE_testlib_selfcover=OFF
  -DFEATURE_opengl=ON -DINPUT_opengl=desktop
  # Debian's source has no wintab.h.
  -DFEATURE_tabletevent=OFF
  # The bundled third-party libraries: the cross compiler has none of them.
  -DFEATURE_system_zlib=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_png=OFF
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_freetype=OFF
  -DFEATURE_system_doubleconversion=OFF -DFEATURE_system_libb2=OFF
  -DFEATURE_freetype=ON -DFEATURE_harfbuzz=ON
)
digest=$(printf '%s\n' "$version" "${options[@]}" "$toolchain_text" | sha256sum | cut -c1-16)

cache=${ORVEX_QT_MINGW_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/orvexcard}
prefix=$cache/qt-$version-mingw-static
stamp=$prefix/.orvex-complete

if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$digest" ] && [ -x "$prefix/bin/qt-cmake" ]; then
  say "reusing $prefix"
  echo "$prefix"
  exit 0
fi

# --- Source -------------------------------------------------------------------
work=$cache/qt-$version-mingw-work
src=$work/src
if [ ! -f "$src/.orvex-unpacked" ]; then
  # apt fetches the source with the signatures of Debian's archive and
  # dpkg-source checks the tarballs against the signed .dsc.
  if ! apt-get source --print-uris -qq qt6-base 2>/dev/null | grep -q '\.dsc'; then
    list=/etc/apt/sources.list.d/orvexcard-src.sources
    say "enabling Debian's source entries ($list)"
    tmp=$(mktemp)
    {
      echo "Types: deb-src"
      echo "URIs: http://deb.debian.org/debian"
      echo "Suites: $(. /etc/os-release; echo "$VERSION_CODENAME") $(. /etc/os-release; echo "$VERSION_CODENAME")-updates"
      echo "Components: main"
      echo "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
    } >"$tmp"
    need_root install -m 644 "$tmp" "$list"
    rm -f "$tmp"
    need_root apt-get update -q >&2
  fi
  rm -rf "$work"
  mkdir -p "$work/fetch"
  say "fetching the source of qt6-base $version"
  # apt checks the .dsc against the archive's signed index, and dpkg-source
  # every tarball against the .dsc: an altered source stops here.
  (cd "$work/fetch" && apt-get source -q --download-only "qt6-base=$(dpkg-query -W -f='${Version}' qt6-base-dev)" >&2)
  dsc=$(ls "$work"/fetch/qt6-base_*.dsc)
  (cd "$work/fetch" && dpkg-source -x "$dsc" "$src" >&2)
  touch "$src/.orvex-unpacked"
fi

# --- Build ----------------------------------------------------------------------
build=$work/build
rm -rf "$build" "$prefix"
mkdir -p "$build"
toolchain=$cache/toolchain-mingw64-qt.cmake
printf '%s\n' "$toolchain_text" >"$toolchain"
say "configuring (log: $build/configure.log)"
# ccache (when the machine has it) changes no output, only the time of a
# rebuild after an option changed.
launcher=()
if command -v ccache >/dev/null 2>&1; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$src" -B "$build" "${options[@]}" "${launcher[@]}" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_INSTALL_PREFIX="$prefix" >"$build/configure.log" 2>&1 \
  || { tail -40 "$build/configure.log" >&2; exit 1; }
start=$(date +%s)
say "building with ${ORVEX_JOBS:-2} jobs (about 30 to 40 minutes on 2 cores; log: $build/build.log)"
cmake --build "$build" -j"${ORVEX_JOBS:-2}" >"$build/build.log" 2>&1 \
  || { tail -40 "$build/build.log" >&2; exit 1; }
cmake --install "$build" >"$build/install.log" 2>&1 \
  || { tail -40 "$build/install.log" >&2; exit 1; }
say "built in $(( $(date +%s) - start )) s"
# The licence texts travel with the programs that link this Qt: the LGPL
# (and the GPL it builds on) and Debian's record of every part's copyright
# and licence, the bundled third-party libraries included.
mkdir -p "$prefix/share/licenses"
cp "$src/LICENSES/LGPL-3.0-only.txt" "$src/LICENSES/GPL-3.0-only.txt" "$prefix/share/licenses/"
cp "$src/debian/copyright" "$prefix/share/licenses/qt6-base-copyright.txt"
dpkg-parsechangelog -l "$src/debian/changelog" -S Version >"$prefix/share/licenses/qt6-base-source-version.txt"
echo "$digest" >"$stamp"
# The build tree is large and not needed again; the source stays for a rebuild.
rm -rf "$build"
echo "$prefix"
