#!/usr/bin/env bash
# Fails when a file includes a header of a layer above its own. The layers,
# bottom first: text; reading and output (each on text alone); the station
# on all of them and the platform interfaces; the adapters on the platform
# interfaces; the program on everything.
set -euo pipefail
src="${1:?usage: check_layers.sh SRC_DIR}"
cd "$src"

allowed() {
  case "$1" in
    text) echo "text" ;;
    reading) echo "text reading" ;;
    output) echo "text output" ;;
    station) echo "text reading output platform station" ;;
    platform) echo "platform" ;;
    app) echo "text reading output platform station app" ;;
  esac
}

status=0
while IFS= read -r file; do
  layer="${file%%/*}"
  ok="$(allowed "$layer")"
  [ -n "$ok" ] || continue
  while IFS= read -r included; do
    top="${included%%/*}"
    # Only the project's own headers name a layer folder.
    [ -d "$top" ] || continue
    case " $ok " in
      *" $top "*) ;;
      *) echo "$file includes $included: $layer may include only from: $ok" >&2; status=1 ;;
    esac
  done < <(sed -n 's/^#include "\([^"]*\)".*/\1/p' "$file")
done < <(find text reading output station platform app -name '*.h' -o -name '*.cpp' | sort)
exit "$status"
