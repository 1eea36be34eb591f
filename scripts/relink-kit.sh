#!/usr/bin/env bash
# orvexcard-<version>-win64-relink.zip: the window's own object files and
# libraries and the command that links them, so that whoever holds
# orvexcard-wizard.exe can link it again with a Qt of their own (what the
# LGPL asks of a program that links Qt statically). Made from the link line
# the build used: every file from the build goes into the kit, every file
# from the Qt prefix becomes "$QT/...", the system libraries stay as they are.
#   usage: scripts/relink-kit.sh [build-win]   (after the window is built)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build-win}")
dir=$build/wizard/CMakeFiles/orvexcard-wizard.dir
[ -f "$dir/linkLibs.rsp" ] || { echo "relink-kit: $build has no linked window (build orvexcard-wizard first)" >&2; exit 1; }
qt=$(sed -n 's/^Qt6_DIR:PATH=\(.*\)\/lib\/cmake\/Qt6$/\1/p' "$build/CMakeCache.txt")
[ -n "$qt" ] || { echo "relink-kit: cannot tell the Qt prefix of $build" >&2; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=\(.*\)$/\1/p' "$build/CMakeCache.txt")
name=orvexcard-$version-win64-relink

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
kit=$work/$name
mkdir -p "$kit/obj"

# The link line: the compiler and its options from link.txt, then the objects
# and the libraries, each taken apart into words (the paths hold no spaces
# but may be quoted).
line=$(grep -e '-o orvexcard-wizard.exe' "$dir/link.txt")
cxx=${line%% *}
options=${line#* }
flags=()
for word in $options; do
  case $word in
    -O*|-D*|-mwindows|-mconsole|-static|-static-*|-Wl,--gc-sections) flags+=("$word") ;;
  esac
done
words=()
for word in $(cat "$dir/objects1" "$dir/linkLibs.rsp"); do
  word=${word//\"/}
  case $word in
    -*) words+=("$word"); continue ;;
  esac
  case $word in
    "$qt"/*) words+=("\"\$QT${word#"$qt"}\"") ;;
    *)
      file=$word
      [ -f "$file" ] || file=$build/wizard/$word
      [ -f "$file" ] || { echo "relink-kit: $word on the link line is missing" >&2; exit 1; }
      # Objects keep their place on the line; a name may repeat across targets.
      base=obj/$(printf '%03d' "${#words[@]}")-$(basename "$file")
      cp "$file" "$kit/$base"
      words+=("$base")
      ;;
  esac
done

{
  echo '#!/bin/sh'
  echo "# Links orvexcard-wizard.exe $version again from the objects in obj/."
  echo '#   QT=/path/to/a/static/Qt/for/mingw-w64 ./link.sh'
  echo "# The Qt must be built like the one this program shipped with (static,"
  echo "# the options of scripts/qt-mingw.sh in the program's source); CXX names"
  echo "# the cross compiler."
  echo 'set -e'
  echo 'cd "$(dirname "$0")"'
  echo ': "${QT:?set QT to the prefix of your Qt}"'
  echo "CXX=\${CXX:-$(basename "$cxx")}"
  printf '"$CXX" %s \\\n  ' "${flags[*]}"
  printf '%s ' "${words[@]}"
  printf '\\\n  -o orvexcard-wizard.exe\n'
} >"$kit/link.sh"
chmod +x "$kit/link.sh"
cp "$build/generated/QT-NOTICE.txt" "$kit/"

rm -f "$build/$name.zip"
(cd "$work" && zip -qr "$build/$name.zip" "$name")
echo "$build/$name.zip"
