#!/usr/bin/env bash
# Checks that no layer of the platform library uses what only a higher layer defines: every symbol that
# an object of a layer's archive leaves undefined must be defined by that layer or one below it, or by
# none of them (the C and C++ libraries, the system, the application's entries).
# Usage: tools/check_layer_uses.sh NM ARCHIVE... (the layers' archives, bottom first)
set -euo pipefail
nm=$1
shift
# "layer<TAB>kind<TAB>object<TAB>symbol" for each global symbol: kind D (defined) or U (undefined).
uses=$(for ((layer = 1; layer <= $#; layer++)); do
  "$nm" -A -P "${!layer}" | awk -v layer="$layer" '{
    object = $1; sub(/:$/, "", object); sub(/.*\[/, "", object); sub(/\]$/, "", object)
    if ($3 == "U") print layer "\tU\t" object "\t" $2
    else if ($3 ~ /^[A-TV-Z]$/ || $3 == "u") print layer "\tD\t" object "\t" $2
  }'
done | awk -F'\t' '
  $2 == "D" { if (!($4 in lowest) || $1 < lowest[$4]) { lowest[$4] = $1; definer[$4] = $3 } next }
  { used[NR] = $0 }
  END {
    for (i in used) {
      split(used[i], use, "\t")
      if ((use[4] in lowest) && lowest[use[4]] > use[1])
        print use[3] " uses " use[4] " of " definer[use[4]]
    }
  }' | sort -u)
if [ -n "$uses" ]; then
  echo "Uses of a higher layer:"
  filt=${nm%nm}c++filt  # the demangler of the same toolchain
  if command -v "$filt" >/dev/null; then "$filt" <<<"$uses"; else echo "$uses"; fi
  exit 1
fi
echo "No layer uses a higher one."
