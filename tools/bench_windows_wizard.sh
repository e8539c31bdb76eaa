#!/usr/bin/env bash
# Times the Windows program's wizard in a real window against its "-a" under Wine (tools/bench_wizard.cpp,
# the native benchmark program, drives installer.exe there): makes a scratch Wine prefix with its own Xvfb
# display and a persistent wineserver (tools/wine_env.sh), runs the benchmark in it and removes it again.
# Needs both builds: the Linux one (the benchmark, release build advised) and the Windows one
# (installer.exe), with xdotool, xwininfo and xwd.
# Usage: tools/bench_windows_wizard.sh [pairs, 5] [native build folder, build-release] [windows build folder,
#        build-win] [windows build folder to compare]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
pairs=${1:-5}
native=${2:-$top/build-release}
windows=${3:-$top/build-win}
compared=${4:+$4/installer.exe}
for file in "$native/bench_wizard" "$windows/installer.exe" ${compared:+"$compared"}; do
  [ -e "$file" ] || { echo "bench_windows_wizard: $file is missing: build it first" >&2; exit 2; }
done
for tool in wine wineserver Xvfb xdotool xwininfo xwd; do
  command -v "$tool" >/dev/null || { echo "bench_windows_wizard: $tool is missing" >&2; exit 2; }
done
# shellcheck source=tools/wine_env.sh
source "$top/tools/wine_env.sh"
velk_wine_start
echo "$(wine --version)"
"$native/bench_wizard" "$pairs" 0 "$windows/installer.exe" ${compared:+"$compared"}
