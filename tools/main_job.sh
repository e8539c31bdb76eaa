#!/usr/bin/env bash
# The main job: installs what the Linux build needs, builds the installer, then shows what it does.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "${VELK_SKIP_INSTALL:-0}" != 1 ]; then "$top/tools/install_packages.sh" native; fi
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$top/build" -j"$(nproc)"
echo "== installer --velk"
"$top/build/installer" --velk
