#!/usr/bin/env bash
# The installer as an operator runs it: installed silently under Wine, the
# installed program started and closed, then uninstalled silently, leaving
# nothing behind but the operator's data.
#
#   installer_under_wine.sh SETUP_EXE VERSION
#
# Needs WINEPREFIX (a booted prefix whose server is running) and DISPLAY.
set -euo pipefail
setup="$1" version="$2"
: "${WINEPREFIX:?}" "${DISPLAY:?}"
title='Quellnetix Tessaro v1.17Type2'
installed="$WINEPREFIX/drive_c/Program Files/meterstation"
shortcut="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/meterstation.lnk"
uninstallKey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\meterstation'
runKey='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
program='C:\Program Files\meterstation\meterstation.exe'

work="$(mktemp -d)"
stationPid=""
cleanUp() {
  [ -z "$stationPid" ] || kill "$stationPid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanUp EXIT
fail() {
  echo "installer_under_wine: $*" >&2
  exit 1
}
hasKey() { wine reg query "$1" ${2:+/v "$2"} >/dev/null 2>&1; }
# Wine may carry an uninstaller on in the background after it returns.
waitUntilGone() {
  for _ in $(seq 150); do [ -e "$1" ] || return 0; sleep 0.2; done
  return 1
}

# The exit status says nothing under Wine (see the notes): the files do.
wine "$setup" /S </dev/null >"$work/setup.out" 2>&1 || true
for file in meterstation.exe db2csv.exe Uninstall.exe; do
  [ -f "$installed/$file" ] || fail "the installer left no $file"
done
[ -f "$shortcut" ] || fail "the installer made no Start menu entry"
hasKey "$uninstallKey" || fail "the installer made no uninstall entry"

# The installed program answers, and opens its window.
answer="$(wine "$program" --version 2>&1 </dev/null | tr -d '\r')"
[ "$answer" = "meterstation $version" ] || fail "--version said '$answer'"
wine "$program" --autostart on </dev/null >"$work/autostart.out" 2>&1 ||
  fail "--autostart on failed: $(cat "$work/autostart.out")"
hasKey "$runKey" meterstation || fail "--autostart on set no Run entry"
(cd "$work" && exec wine "$program") >"$work/station.out" 2>&1 &
stationPid=$!
timeout 60 xdotool search --sync --name "^$title\$" >/dev/null ||
  fail "the installed program showed no window within 60 s"
# Closed as the operator closes it.
wine taskkill /im meterstation.exe >/dev/null 2>&1 || true
for _ in $(seq 100); do kill -0 "$stationPid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$stationPid" 2>/dev/null && fail "the program did not end when its window was closed"
stationPid=""

# The operator's data, which the uninstaller must leave alone.
appData="$(wine cmd /c 'echo %APPDATA%' 2>/dev/null | tr -d '\r')"
data="$(winepath -u "$appData")/meterstation"
mkdir -p "$data"
echo kept >"$data/operator-file"

wine "$installed/Uninstall.exe" /S </dev/null >"$work/uninstall.out" 2>&1 || true
waitUntilGone "$installed" || fail "the uninstaller left $(ls "$installed" | tr '\n' ' ')"
[ ! -e "$shortcut" ] || fail "the uninstaller left the Start menu entry"
hasKey "$uninstallKey" && fail "the uninstaller left its uninstall entry"
hasKey "$runKey" meterstation && fail "the uninstaller left the Run entry"
[ "$(cat "$data/operator-file")" = kept ] || fail "the uninstaller took the operator's data"
rm -rf "$data"
echo "installer_under_wine: installed, started, closed and uninstalled"
