#!/usr/bin/env bash
# Runs the Windows test programs of build-win[-NAME] under Wine: a fresh 32-bit prefix and home in a scratch
# folder, its own Xvfb display, no audio device, one persistent wineserver, everything unattended.
# Usage: tools/windows_test.sh [NAME] [extra ctest arguments...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
name=${1:-}
shift || true
build="$top/build-win${name:+-$name}"
# The prefix, display, persistent server and desktop process are those of the benchmarks
# (tools/wine_env.sh); the Xvfb display is required here.
command -v Xvfb >/dev/null || { echo "windows_test: Xvfb is missing" >&2; exit 2; }
# shellcheck source=tools/wine_env.sh
source "$top/tools/wine_env.sh"
velk_wine_start "$(mktemp -d /tmp/velk-wine.XXXXXX)"
# Floppy drives A: and B: (folders of the scratch), so that the tests meet the drive order that lists
# floppy drives last. Wine reads its drive links at every query.
scratch=$VELK_WINE_FOLDER
mkdir -p "$scratch/floppy-a" "$scratch/floppy-b"
ln -sfn "$scratch/floppy-a" "$WINEPREFIX/dosdevices/a:"
ln -sfn "$scratch/floppy-b" "$WINEPREFIX/dosdevices/b:"

cd "$build"
ctest --output-on-failure -j"${JOBS:-4}" "$@"
