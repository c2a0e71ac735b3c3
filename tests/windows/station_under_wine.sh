#!/usr/bin/env bash
# The Windows program as an operator meets it: meterstation.exe started
# under Wine with COM1 on processor-sim's pseudo-terminal, found by its
# window title, driven with xdotool at the layout table's positions, and a
# full set checked byte for byte.
#
#   station_under_wine.sh STATION_EXE PROCESSOR_SIM WINDOW_LAYOUT_POINTS
#
# Needs WINEPREFIX (a booted prefix whose server is running) and DISPLAY.
set -euo pipefail
station="$(realpath "$1")" sim="$(realpath "$2")" points="$(realpath "$3")"
: "${WINEPREFIX:?}" "${DISPLAY:?}"
title='Quellnetix Tessaro v1.17Type2'

work="$(mktemp -d)"
simPid="" stationPid=""
# COM1 is both the link in dosdevices and the registry's Ports value:
# Wine's mount manager writes the links again from the registry (or to
# /dev/ttyS0) whenever Wine's services start anew between two programs.
com1="$WINEPREFIX/dosdevices/com1"
portsKey='HKLM\Software\Wine\Ports'
savedCom1="$(readlink "$com1" 2>/dev/null || true)"
setCom1() {
  wine reg add "$portsKey" /v COM1 /d "$1" /f >/dev/null 2>&1 || true
  rm -f "$com1"
  ln -s "$1" "$com1"
}
cleanUp() {
  [ -z "$stationPid" ] || kill "$stationPid" 2>/dev/null || true
  [ -z "$simPid" ] || kill "$simPid" 2>/dev/null || true
  if [ -n "$savedCom1" ]; then
    setCom1 "$savedCom1"
  else
    wine reg delete "$portsKey" /v COM1 /f >/dev/null 2>&1 || true
    rm -f "$com1"
  fi
  rm -rf "$work"
}
trap cleanUp EXIT
fail() {
  echo "station_under_wine: $*" >&2
  echo "COM1 is $(readlink "$com1" 2>/dev/null || echo nothing)" >&2
  for log in station.out sim.out sim.err sim.log; do
    [ -f "$work/$log" ] && { echo "--- $log" >&2; cat "$work/$log" >&2; }
  done
  exit 1
}

mkdir -p "$work/data/qN42"
"$sim" --link "$work/com1" --fast --shuffle --silence 400 --sets 1 --seed 7 \
  --log "$work/sim.log" >"$work/sim.out" 2>"$work/sim.err" &
simPid=$!
for _ in $(seq 100); do [ -e "$work/com1" ] && break; sleep 0.05; done
[ -e "$work/com1" ] || fail "processor-sim published no line"
setCom1 "$work/com1"

# Dir1 starts in the directory the program was started in.
(cd "$work/data" && exec wine "$station") >"$work/station.out" 2>&1 &
stationPid=$!
window=""
for _ in $(seq 300); do
  kill -0 "$stationPid" 2>/dev/null || fail "the station ended before it showed its window"
  window="$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1)" &&
    [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || fail "no window titled '$title' within 60 s"

# The centre of a control, in the window's client pixels.
centre() {
  awk -v name="$1" '$1 == name { print int($2 + $4 / 2), int($3 + $5 / 2) }' <(
    "$points")
}
# Keys go as real input (XTEST) to the window under the pointer, in order
# behind the click that gave the control its focus; keys sent to a window
# (XSendEvent) can overtake it.
click() {
  local at
  at="$(centre "$1")"
  [ -n "$at" ] || fail "the layout has no control $1"
  # shellcheck disable=SC2086
  xdotool mousemove --window "$window" $at click 1 2>/dev/null
  # The program takes the click in its own time.
  sleep 0.3
}
typeInto() {
  click "$1"
  xdotool key End 2>/dev/null
  for _ in $(seq 12); do xdotool key BackSpace 2>/dev/null; done
  xdotool type "$2" 2>/dev/null
  sleep 0.2
}

# A window just shown may still drop the first input that reaches it.
sleep 1
typeInto Text4 250
typeInto Text3 1
# The only subdirectory is the last entry: open it, as a double click would.
click Dir1
xdotool key End Return 2>/dev/null
sleep 0.5
click Command1
for _ in $(seq 100); do
  grep -q "the station opened" "$work/sim.log" && break
  sleep 0.1
done
grep -q "the station opened" "$work/sim.log" || {
  shot="${TMPDIR:-/tmp}/station_under_wine-$$.png"
  command -v import >/dev/null && import -window root "$shot" 2>/dev/null && echo "screen: $shot" >&2
  fail "the station did not open COM1 within 10 s of Com1"
}

for _ in $(seq 600); do kill -0 "$stationPid" 2>/dev/null || break; sleep 0.2; done
kill -0 "$stationPid" 2>/dev/null && fail "the station did not end within 120 s of Com1"
wait "$stationPid" || fail "the station ended with status $?"
stationPid=""
wait "$simPid" || fail "processor-sim ended with status $?"
simPid=""
grep -q "count 0" "$work/sim.out" || fail "processor-sim saw no stop command"

# The readings as sent, in the order they came, without their CR LF.
sed -n 's/^[0-9.]* reading //; T; s/\\r\\n$//; p' "$work/sim.log" >"$work/readings"
[ "$(wc -l <"$work/readings")" -eq 16 ] || fail "processor-sim sent no full set"
dir="$work/data/qN42"
# The set's line: the marker, the stamp (masked), the readings by meter.
awk '{ r[NR] = $0 } END {
  line = "qN42##############"
  for (m = 1; m <= 16; m++) for (i = 1; i <= 16; i++)
    if (substr(r[i], 1, 2) + 0 == m) line = line "," substr(r[i], 1, 40)
  printf "%s  \r\n", line }' "$work/readings" >"$work/expected.db1"
sed -E 's/^(qN42)[0-9]{14}/\1##############/' "$dir/qn.db1" >"$work/got.db1"
cmp "$work/expected.db1" "$work/got.db1" || fail "qn.db1 is not the set's line"
grep -Eq '^qN4220[0-9]{12},' "$dir/qn.db1" || fail "qn.db1's stamp is no time"
awk '{ printf "%s\r\n", substr($0, 1, 18) }' "$work/readings" >"$work/expected.usage"
cmp "$work/expected.usage" "$dir/usage.tsr" || fail "usage.tsr is not the set's readings"
printf '\r\n' | cat "$work/expected.usage" - >"$work/expected.ct"
cmp "$work/expected.ct" "$dir/ct.tsr" || fail "ct.tsr is not the set's readings"
times='^[0-2][0-9]:[0-5][0-9]:[0-5][0-9] [01][0-9]-[0-3][0-9]-20[0-9]{2}'$'\r''$'
[ "$(grep -cE "$times" "$dir/quell2.tsr")" -eq 16 ] && [ "$(stat -c %s "$dir/quell2.tsr")" -eq 338 ] ||
  fail "quell2.tsr is not the set's sixteen times"
echo "station_under_wine: a full set from processor-sim, byte for byte"
