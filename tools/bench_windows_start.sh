#!/usr/bin/env bash
# Windows start-up and idle benchmark (not a test): the real installer.exe against NSIS under one Wine.
#  - "installer.exe -h" started and ended against an empty NSIS installer (no files, silent, ends at once),
#    both with standard input, output and error on /dev/null: a warm-up pair, then paired runs in
#    alternating order; the ratio of each pair, median with min-max (target <= 1.2);
#  - the CPU share of one core that installer.exe takes while it idles on the first page of the sample
#    package in its window, against an NSIS installer idling on its first page (a directory page), each
#    over the same seconds after it has settled, with the Wine server's share beside it (target for the
#    installer's own process <= 0.3 %).
# One scratch Wine prefix and home, its own Xvfb display, no audio device, one persistent wineserver
# primed with output to /dev/null, the desktop process started silently beforehand (tools/wine_env.sh);
# all of it goes at the end.
# Usage: tools/bench_windows_start.sh [pairs, 21] [idle seconds, 30]
# Needs build-win/installer.exe (tools/windows_build.sh; VELK_INSTALLER_EXE names another, e.g. an older
# build to compare) and the sample package of a native build (build/sample/installer.pkg, or the file
# VELK_SAMPLE_PACKAGE names), makensis (Debian package nsis), wine32, Xvfb and xwininfo.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
pairs=${1:-21}
idle_seconds=${2:-30}
installer=${VELK_INSTALLER_EXE:-$top/build-win/installer.exe}
sample=${VELK_SAMPLE_PACKAGE:-$top/build/sample/installer.pkg}
for tool in makensis wine wineserver Xvfb xwininfo; do
  command -v "$tool" >/dev/null || { echo "bench_windows_start: $tool is missing" >&2; exit 2; }
done
[ -f "$installer" ] || { echo "bench_windows_start: no $installer (tools/windows_build.sh)" >&2; exit 2; }
[ -f "$sample" ] || { echo "bench_windows_start: no sample package $sample (a native build)" >&2; exit 2; }

# The prefix, display, persistent server and desktop process (tools/wine_env.sh); all of it goes at
# the end.
scratch=$(mktemp -d /tmp/velk-bench-start.XXXXXX)
# shellcheck source=tools/wine_env.sh
source "$top/tools/wine_env.sh"
velk_wine_start "$scratch"
mkdir -p "$scratch/work"
server_pid=$(velk_wine_server_pid)

# The two NSIS installers: an empty silent one, and one that waits on its directory page.
cd "$scratch/work"
cat >empty.nsi <<'EOF'
Name "Empty"
OutFile "empty.exe"
SilentInstall silent
RequestExecutionLevel user
Section
SectionEnd
EOF
makensis -V1 empty.nsi >/dev/null
velk_nsis_idle_installer idle.exe
cp "$installer" installer.exe
mkdir -p "$WINEPREFIX/drive_c/sample"
cp "$sample" "$WINEPREFIX/drive_c/sample/installer.pkg"

# Both programs must end well before they are timed.
check() {
  local status=0
  wine "$@" </dev/null >check.out 2>&1 || status=$?
  if [ $status -ne 0 ] || grep -q 'Unhandled page fault' check.out; then
    echo "bench_windows_start: wine $* failed (status $status):" >&2
    cat check.out >&2
    exit 1
  fi
}
check empty.exe
check installer.exe -h
grep -q '^Usage:' check.out || { echo "bench_windows_start: installer.exe -h printed no usage" >&2; exit 1; }

# Milliseconds of one run, from the shell's start of wine to its end.
run_ms() {
  local start end
  start=$(date +%s%N)
  wine "$@" </dev/null >/dev/null 2>&1 || true
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}

# Median and min-max of the numbers on standard input.
spread() {
  sort -g | awk '{v[NR] = $1} END {
    m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "%.2f (min %.2f, max %.2f, %d)", m, v[1], v[NR], NR }'
}

run_ms installer.exe -h >/dev/null
run_ms empty.exe >/dev/null
: >pairs.txt
for i in $(seq "$pairs"); do
  if [ $((i % 2)) -eq 1 ]; then
    ours=$(run_ms installer.exe -h)
    theirs=$(run_ms empty.exe)
  else
    theirs=$(run_ms empty.exe)
    ours=$(run_ms installer.exe -h)
  fi
  echo "$ours $theirs" >>pairs.txt
done
echo "start and exit, $pairs paired runs after a warm-up pair; median (min, max, runs)"
echo "  installer.exe -h     $(awk '{print $1 / 1000}' pairs.txt | spread) ms"
echo "  empty NSIS installer $(awk '{print $2 / 1000}' pairs.txt | spread) ms"
echo "  ratio                $(awk '{print $1 / $2}' pairs.txt | spread) (target <= 1.2)"

# CPU ticks (user + system) of a process.
ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

# The CPU share of a program idling in its window whose title begins with title: started, shown, settled
# for 2 s, then measured over idle_seconds; with the server's share over the same time.
idle_share() {
  local title=$1
  shift
  wine "$@" </dev/null >/dev/null 2>&1 &
  local pid=$! i=0
  until xwininfo -root -tree 2>/dev/null | grep -q "\"$title" || [ $i -ge 300 ]; do sleep 0.1; i=$((i + 1)); done
  sleep 2
  local hz a0 s0 t0 a1 s1 t1
  hz=$(getconf CLK_TCK)
  a0=$(ticks "$pid")
  s0=$( [ -n "$server_pid" ] && ticks "$server_pid" || echo 0)
  t0=$(date +%s%N)
  sleep "$idle_seconds"
  a1=$(ticks "$pid")
  s1=$( [ -n "$server_pid" ] && ticks "$server_pid" || echo 0)
  t1=$(date +%s%N)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  awk -v a=$((a1 - a0)) -v s=$((s1 - s0)) -v hz="$hz" -v ns=$((t1 - t0)) -v seen=$i 'BEGIN {
    wall = ns / 1e9
    printf "%.3f %% of a core (%d ticks in %.1f s), Wine server %.3f %%%s", 100 * a / hz / wall, a, wall,
      100 * s / hz / wall, (seen >= 300) ? " (its window was never seen)" : "" }'
}

echo "idle first page, CPU over $idle_seconds s after 2 s of rest"
ours=$(idle_share 'Sample Application Installer' installer.exe -x '$ROOT0/sample/installer.xml')
echo "  installer.exe        $ours (target <= 0.3 %)"
echo "  NSIS installer       $(idle_share 'Idle Setup' idle.exe)"
