#!/usr/bin/env bash
# Cross-builds the whole tree with mingw-w64: for 32-bit Windows into build-win[-NAME] (the shipped
# program), with --64 for 64-bit Windows into build-win64[-NAME], each on the libraries of its own width.
# --program builds the installer alone, without the tests and tools (for a machine that cannot run them).
# Usage: tools/windows_build.sh [--program] [--64] [NAME]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
targets=()
if [ "${1:-}" = --program ]; then
  shift
  targets=(--target installer)
fi
if [ "${1:-}" = --64 ]; then
  shift
  build="$top/build-win64${1:+-$1}"
  prefix=${VELK_MINGW64_PREFIX:-$HOME/.cache/velk-mingw64}
  toolchain="$top/tools/mingw-x86_64.cmake"
else
  build="$top/build-win${1:+-$1}"
  prefix=${VELK_MINGW_PREFIX:-$HOME/.cache/velk-mingw}
  toolchain="$top/tools/mingw-i686.cmake"
fi
"$top/tools/build_mingw_deps.sh" "$prefix" "$toolchain"
cmake -S "$top" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVELK_MINGW_PREFIX="$prefix" \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"${JOBS:-$(nproc)}" "${targets[@]}"
