#!/usr/bin/env bash
# Runs the Windows test programs of build-win[-NAME] under Wine: a fresh 32-bit prefix and home in a scratch
# folder, its own Xvfb display, no audio device, one persistent wineserver, everything unattended.
# Usage: tools/windows_test.sh [NAME] [extra ctest arguments...]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
name=${1:-}
shift || true
build="$top/build-win${name:+-$name}"
scratch=$(mktemp -d /tmp/velk-wine.XXXXXX)
export HOME="$scratch/home" WINEPREFIX="$scratch/prefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
export VELK_UNATTENDED=1
mkdir -p "$HOME"
printf 'pcm.!default { type null }\nctl.!default { type null }\n' > "$HOME/.asoundrc"

xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" >/dev/null 2>&1 || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to the pipe. No reset when the last client
# leaves: a resetting server drops the clients that connect meanwhile, and between two test programs
# the display may have none.
exec 3< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null & echo "pid $!")
read -r first <&3
if [[ $first == pid* ]]; then xvfb_pid=${first#pid }; read -r display <&3; else display=$first; read -r p <&3; xvfb_pid=${p#pid }; fi
export DISPLAY=":$display"

wineboot -i >/dev/null 2>&1
# Floppy drives A: and B: (folders of the scratch), so that the tests meet the drive order that lists
# floppy drives last.
mkdir -p "$scratch/floppy-a" "$scratch/floppy-b"
ln -sfn "$scratch/floppy-a" "$WINEPREFIX/dosdevices/a:"
ln -sfn "$scratch/floppy-b" "$WINEPREFIX/dosdevices/b:"
# Unmanaged windows: without a window manager every hide or close of a managed window waits 2 s.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
# A crashing program ends at once instead of waiting in Wine's crash dialog.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
wineserver -w
wineserver -p >/dev/null 2>&1
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
# The default desktop's process, started here with no output and kept for the run: Wine would start it
# for the first test program that needs the desktop, with that program's output pipe, and keep the pipe
# open until the last program of the run had ended (ctest then counted that test as running all along,
# up to its timeout). It is ready once it has windows on the display.
wine explorer.exe /desktop </dev/null >/dev/null 2>&1 &
for i in $(seq 100); do xwininfo -root -tree 2>/dev/null | grep -q '"explorer.exe"' && break; sleep 0.1; done

cd "$build"
ctest --output-on-failure -j"${JOBS:-4}" "$@"
