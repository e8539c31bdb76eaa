#!/usr/bin/env bash
# Times the Windows program's automatic mode against NSIS under Wine (tools/bench_windows_install.cpp):
# makes a scratch Wine prefix with a persistent wineserver (tools/wine_env.sh), runs the benchmark in it
# and removes it again. Needs the packages of "tools/install_packages.sh bench" (nsis) and both builds:
# the Linux one (the benchmark, release build advised) and the Windows one (installer.exe).
# Usage: tools/bench_windows_install.sh [pairs, 5] [native build folder, build-release] [windows build folder, build-win]
#        [windows build folder to compare]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
pairs=${1:-5}
native=${2:-$top/build-release}
windows=${3:-$top/build-win}
compared=${4:+$4/installer.exe}
for file in "$native/bench_windows_install" "$windows/installer.exe"; do
  [ -e "$file" ] || { echo "bench_windows_install: $file is missing: build it first" >&2; exit 2; }
done
command -v makensis >/dev/null || { echo "bench_windows_install: makensis is missing (tools/install_packages.sh bench)" >&2; exit 2; }
# shellcheck source=tools/wine_env.sh
source "$top/tools/wine_env.sh"
velk_wine_start
echo "$(wine --version), $(makensis -VERSION)"
"$native/bench_windows_install" "$windows/installer.exe" "$pairs" 4096 ${compared:+"$compared"}
