#!/usr/bin/env bash
# Resting-pointer benchmark (not a test): the CPU share of one core that the installer takes while it
# shows the sample package's first page (the licence) with the pointer resting on its Accept button,
# against the same page with the pointer resting away from every control (the baseline, in the same
# run), each over the same seconds after the pointer has settled for 3 s (a button's hint shows by then):
#  - natively: the Linux installer in its window on a private Xvfb display;
#  - under Wine: installer.exe, with the share of its Wine server over the same seconds beside it, and an
#    NSIS installer on its directory page with the pointer on its Install button as the peer.
# Target for the installer's own process with the pointer on the button: as with it away, <= 0.3 %.
# Usage: tools/bench_resting_pointer.sh [seconds, 30]
# Needs build/installer and its sample package (build/sample/installer.pkg) and build-win/installer.exe
# (tools/windows_build.sh); VELK_INSTALLER and VELK_INSTALLER_EXE name other builds (an older one, to
# compare), VELK_SAMPLE_PACKAGE another package with the sample's first page. Also Xvfb, xdotool,
# xwininfo, wine32 and makensis (Debian package nsis).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
installer=${VELK_INSTALLER:-$top/build/installer}
installer_exe=${VELK_INSTALLER_EXE:-$top/build-win/installer.exe}
sample=${VELK_SAMPLE_PACKAGE:-$top/build/sample/installer.pkg}
for tool in Xvfb xdotool xwininfo wine wineserver makensis; do
  command -v "$tool" >/dev/null || { echo "bench_resting_pointer: $tool is missing" >&2; exit 2; }
done
for file in "$installer" "$installer_exe" "$sample"; do
  [ -f "$file" ] || { echo "bench_resting_pointer: no $file (a native and a Windows build)" >&2; exit 2; }
done

# The sample's window (640 x 480 client pixels), and two points of its licence page: the middle of the
# Accept button, and the window's background beside the page.
client_width=640
client_height=480
button_x=558
button_y=433
away_x=8
away_y=8

# CPU ticks (user + system) of a process; 0 without one.
ticks() { [ -n "$1" ] && awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo 0; }

# The client area's top-left corner on the screen of the window whose title begins with title, as
# "x y"; the frame that Wine draws around an unmanaged window's client is as wide on the left, right
# and bottom. Waits up to 30 s for the window.
client_origin() {
  local title=$1 id="" i=0
  until id=$(xdotool search --onlyvisible --name "^$title" 2>/dev/null | head -n 1) && [ -n "$id" ]; do
    [ $i -ge 300 ] && return 1
    sleep 0.1
    i=$((i + 1))
  done
  xwininfo -id "$id" | awk -v cw="$client_width" -v ch="$client_height" '
    /Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4} /Width:/ {w = $2} /Height:/ {h = $2}
    END { border = (w - cw) / 2; print x + border, y + h - ch - border }'
}

# The CPU share of process pid (and of process server, when given) over the measured seconds, with the
# pointer resting at the screen point x, y since 3 s before.
resting_share() {
  local pid=$1 server=$2 x=$3 y=$4
  xdotool mousemove "$x" "$y"
  sleep 3
  local hz a0 s0 t0 a1 s1 t1
  hz=$(getconf CLK_TCK)
  a0=$(ticks "$pid")
  s0=$(ticks "$server")
  t0=$(date +%s%N)
  sleep "$seconds"
  a1=$(ticks "$pid")
  s1=$(ticks "$server")
  t1=$(date +%s%N)
  awk -v a=$((a1 - a0)) -v s=$((s1 - s0)) -v hz="$hz" -v ns=$((t1 - t0)) -v server="$server" 'BEGIN {
    wall = ns / 1e9
    printf "%.3f %% of a core (%d ticks in %.1f s)", 100 * a / hz / wall, a, wall
    if (server != "") printf ", Wine server %.3f %%", 100 * s / hz / wall }'
}

scratch=$(mktemp -d /tmp/velk-bench-resting.XXXXXX)

# Natively: the installer on a display of its own, its system folders in the scratch folder.
native() {
  local display_file="$scratch/native-display" x
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  x=$!
  local i=0
  while [ ! -s "$display_file" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
  (
    export DISPLAY=":$(head -n 1 "$display_file")"
    mkdir -p "$scratch/home"
    HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/config" XDG_DATA_HOME="$scratch/home/data" TMPDIR="$scratch" \
      VELK_UNATTENDED=1 "$installer" -x "\$ROOT0$(dirname "$sample")/installer.xml" </dev/null >/dev/null 2>&1 &
    local pid=$! origin
    origin=$(client_origin "Sample Application Installer") || { echo "its window was never seen"; kill $pid; exit; }
    read -r cx cy <<<"$origin"
    sleep 2  # the first page has faded in
    echo "  pointer away          $(resting_share $pid "" $((cx + away_x)) $((cy + away_y)))"
    echo "  pointer on Accept     $(resting_share $pid "" $((cx + button_x)) $((cy + button_y)))"
    kill $pid 2>/dev/null || true
    wait $pid 2>/dev/null || true
  )
  kill $x 2>/dev/null || true
}

echo "natively ($installer), CPU over $seconds s each"
native

# Under Wine: one prefix, display and persistent server (tools/wine_env.sh), all of it gone at the end.
# shellcheck source=tools/wine_env.sh
source "$top/tools/wine_env.sh"
velk_wine_start "$scratch/wine"
server_pid=$(velk_wine_server_pid)
mkdir -p "$scratch/work" "$WINEPREFIX/drive_c/sample"
cp "$sample" "$WINEPREFIX/drive_c/sample/installer.pkg"
cp "$installer_exe" "$scratch/work/installer.exe"
cd "$scratch/work"
velk_nsis_idle_installer idle.exe

echo "under Wine ($installer_exe), CPU over $seconds s each"
wine installer.exe -x '$ROOT0/sample/installer.xml' </dev/null >/dev/null 2>&1 &
pid=$!
if origin=$(client_origin "Sample Application Installer"); then
  read -r cx cy <<<"$origin"
  sleep 2
  echo "  pointer away          $(resting_share $pid "$server_pid" $((cx + away_x)) $((cy + away_y)))"
  echo "  pointer on Accept     $(resting_share $pid "$server_pid" $((cx + button_x)) $((cy + button_y))) (target <= 0.3 %)"
else
  echo "  installer.exe: its window was never seen"
fi
kill $pid 2>/dev/null || true
wait $pid 2>/dev/null || true

# The NSIS installer's Install button: the bottom right one of its window.
wine idle.exe </dev/null >/dev/null 2>&1 &
pid=$!
id=
for i in $(seq 300); do
  id=$(xdotool search --onlyvisible --name "^Idle Setup" 2>/dev/null | head -n 1) && [ -n "$id" ] && break
  sleep 0.1
done
if [ -n "$id" ]; then
  read -r nx ny nw nh < <(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4}
    /Width:/ {w = $2} /Height:/ {h = $2} END {print x, y, w, h}')
  sleep 2
  echo "  NSIS, on Install      $(resting_share $pid "$server_pid" $((nx + nw - 55)) $((ny + nh - 22)))"
else
  echo "  NSIS installer: its window was never seen"
fi
kill $pid 2>/dev/null || true
wait $pid 2>/dev/null || true
cd /
velk_wine_stop
rm -rf "$scratch"
