#!/usr/bin/env bash
# The main job: installs what the Linux build needs, builds the installer (and the sample package of
# tools/sample), then installs the sample with "-a" into /tmp/velk-sample and lists what was installed.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ "${VELK_SKIP_INSTALL:-0}" != 1 ]; then "$top/tools/install_packages.sh" native; fi
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$top/build" -j"$(nproc)"
echo "== installer --velk"
"$top/build/installer" --velk

# The sample's default destination is /tmp/velk-sample/installed; its shortcuts and uninstall entry go
# to a home of its own under /tmp/velk-sample as well, so the run touches nothing else.
sample=/tmp/velk-sample
rm -rf "$sample"
mkdir -p "$sample/home"
echo "== installer -x \$ROOT0$top/build/sample/installer.xml -a"
status=0
HOME="$sample/home" XDG_CONFIG_HOME="$sample/home/.config" XDG_DATA_HOME="$sample/home/.local/share" \
  XDG_DESKTOP_DIR="$sample/home/Desktop" TMPDIR="$sample" VELK_UNATTENDED=1 \
  "$top/build/installer" -x "\$ROOT0$top/build/sample/installer.xml" -a || status=$?
echo "== exit status $status; installed:"
find "$sample" -type f | sort
echo "== $sample/installed/install_log.txt"
cat "$sample/installed/install_log.txt"
exit "$status"
