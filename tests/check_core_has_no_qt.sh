#!/usr/bin/env bash
# The station logic must build without Qt: no Qt header may reach it.
set -u
src="$1"
hits=$(grep -rnE '#include *<Q|#include *"Q|Q_OBJECT' \
  "$src/text" "$src/reading" "$src/output" "$src/station" "$src"/platform/*.h || true)
if [ -n "$hits" ]; then
  echo "Qt reaches the station logic:"
  echo "$hits"
  exit 1
fi
echo "no Qt header in the station logic"
