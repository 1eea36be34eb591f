# Sourced by the install and package checks: what a desktop learns from an
# installed tree (bin/ and share/ under one prefix) once its caches are built:
# the menu entry in both languages, the icon, the *.7kx type (by name and by
# content) and the window as that type's handler.
fail() { echo "$check: $*" >&2; exit 1; }

check_desktop_tree() {
  local prefix=$1
  local share=$prefix/share
  local entry=$share/applications/orvexcard-wizard.desktop
  [ -x "$prefix/bin/orvexcard-wizard" ] || fail "the window is not installed"
  [ -x "$prefix/bin/orvexcard" ] || fail "the command line is not installed"
  [ -f "$share/icons/hicolor/scalable/apps/orvexcard-wizard.svg" ] || fail "no scalable icon"
  grep -qx 'Exec=orvexcard-wizard %f' "$entry" || fail "the entry does not hand a file to the window"
  grep -qx 'Name=OrvexCard wizard' "$entry" || fail "no English name"
  grep -qx 'Name\[de\]=OrvexCard Assistent' "$entry" || fail "no German name"
  desktop-file-validate "$entry" || fail "the entry does not validate"
  # The type database built from our package: the glob and the content match.
  grep -qx '[0-9]*:application/x-orvexcard-sample:\*\.7kx' "$share/mime/globs2" \
    || fail "*.7kx is not mapped to the sample type"
  grep -q 'application/x-orvexcard-sample' "$share/mime/magic" \
    || fail "the sample type has no content match"
  # The handler: the desktop's cache names the window for the type.
  grep -qx 'application/x-orvexcard-sample=orvexcard-wizard.desktop;' \
    "$share/applications/mimeinfo.cache" || fail "the window is not the type's handler"
}
