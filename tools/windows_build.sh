#!/usr/bin/env bash
# Cross-builds the whole tree for 32-bit Windows with mingw-w64 into build-win[-NAME].
# Usage: tools/windows_build.sh [NAME]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build-win${1:+-$1}"
prefix=${VELK_MINGW_PREFIX:-$HOME/.cache/velk-mingw}
"$top/tools/build_mingw_deps.sh" "$prefix"
cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$top/tools/mingw-i686.cmake" -DVELK_MINGW_PREFIX="$prefix" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}"
