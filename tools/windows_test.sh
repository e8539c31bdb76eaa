#!/usr/bin/env bash
# Runs the Windows test programs of build-win[-NAME] under Wine: a fresh 32-bit prefix and home in a scratch
# folder, its own Xvfb display, no audio device, one persistent wineserver, everything unattended. With
# --64 those of build-win64[-NAME] (tools/windows_build.sh --64) in a 64-bit prefix under Wine's 64-bit
# loader alone, which needs no 32-bit program on the machine.
# Usage: tools/windows_test.sh [--64] [NAME] [extra ctest arguments...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
width=32 build=build-win
if [ "${1:-}" = --64 ]; then width=64 build=build-win64; shift; fi
name=${1:-}
shift || true
build="$top/$build${name:+-$name}"
# The prefix, display, persistent server and desktop process are those of the benchmarks
# (tools/wine_env.sh); the Xvfb display is required here.
command -v Xvfb >/dev/null || { echo "windows_test: Xvfb is missing" >&2; exit 2; }
# shellcheck source=tools/wine_env.sh
source "$top/tools/wine_env.sh"
velk_wine_start "$(mktemp -d /tmp/velk-wine.XXXXXX)" $width
# Floppy drives A: and B: (folders of the scratch), so that the tests meet the drive order that lists
# floppy drives last. Wine reads its drive links at every query.
scratch=$VELK_WINE_FOLDER
mkdir -p "$scratch/floppy-a" "$scratch/floppy-b"
ln -sfn "$scratch/floppy-a" "$WINEPREFIX/dosdevices/a:"
ln -sfn "$scratch/floppy-b" "$WINEPREFIX/dosdevices/b:"

cd "$build"
ctest --output-on-failure -j"${JOBS:-4}" "$@"
