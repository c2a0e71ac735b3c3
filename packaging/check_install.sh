#!/usr/bin/env bash
# Installs the build into a staging directory as the package would
# (prefix /usr) and checks that every file a desktop needs is in place.
# Usage: check_install.sh BUILD_DIR STAGE_DIR PROGRAM...
set -euo pipefail
build="$1"
stage="$2"
shift 2

rm -rf "$stage"
DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null

failed=0
fail() {
  echo "FAILED: $*" >&2
  failed=1
}

for program in "$@"; do
  [ -x "$stage/usr/bin/$program" ] || fail "usr/bin/$program is not installed as a program"
done

# Each menu entry names an installed program and an installed icon.
for app in meterstation meterstation-trends; do
  desktop="$stage/usr/share/applications/$app.desktop"
  icon="$stage/usr/share/icons/hicolor/scalable/apps/$app.svg"
  [ -f "$desktop" ] || fail "usr/share/applications/$app.desktop is missing"
  [ -s "$icon" ] || fail "usr/share/icons/hicolor/scalable/apps/$app.svg is missing"
  [ -f "$desktop" ] || continue
  # The menu starts what Exec names, so it must be a program the package has.
  exec_line="$(sed -n 's/^Exec=//p' "$desktop")"
  [ -x "$stage/usr/bin/${exec_line%% *}" ] || fail "Exec=$exec_line is not an installed program"
  grep -qx "Icon=$app" "$desktop" || fail "$app.desktop does not name its icon"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $app.desktop"
  else
    echo "desktop-file-validate is not installed; $app.desktop was not validated"
  fi
done

# The installed programs run from their new place, not only from the build.
if [ -x "$stage/usr/bin/db2csv" ]; then
  "$stage/usr/bin/db2csv" --help >/dev/null || fail "the installed db2csv --help fails"
fi
if [ -x "$stage/usr/bin/meterstation-trends" ]; then
  "$stage/usr/bin/meterstation-trends" --help >/dev/null ||
    fail "the installed meterstation-trends --help fails"
fi
if [ -x "$stage/usr/bin/meterstation" ]; then
  "$stage/usr/bin/meterstation" --version >/dev/null || fail "the installed meterstation --version fails"
fi

rm -rf "$stage"
exit "$failed"
