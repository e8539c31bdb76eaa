# Sourced (not run) by the Windows test runner (tools/windows_test.sh) and the benchmarks that time
# Windows programs under Wine: one scratch prefix and home, a private Xvfb display, no audio device, and
# one persistent wineserver primed so that no later wine process starts Wine's services or waits for
# them; and NSIS installers built with makensis as the peer to measure against.
#
#   source tools/wine_env.sh
#   velk_wine_start [folder] [64]
#                                makes the prefix in folder (default: a new /tmp/velk-wine-env.XXXXXX) and
#                                exports WINEPREFIX, WINEARCH, HOME, DISPLAY, WINEDEBUG, WINEDLLOVERRIDES,
#                                VELK_UNATTENDED and VELK_WINE_DRIVE_C (the prefix's C: drive); sets an
#                                EXIT trap that stops the server and the display and removes the folder.
#                                The prefix is a 32-bit one; with "64" a 64-bit one, run by Wine's 64-bit
#                                loader and server alone (folder/bin first on PATH names them wine,
#                                wineserver and wineboot), so that nothing 32-bit is started
#   velk_wine_stop               the same at once
#   velk_wine_path PATH          PATH as Windows programs see it: C:\... inside the C: drive, else Z:\...
#   velk_nsis_installer OUT.exe FILES COMPRESSION
#                                an NSIS installer of every file below the folder FILES ("" for none) into
#                                $INSTDIR, with COMPRESSION "off" (SetCompress off) or "zlib"; run it with
#                                wine OUT.exe /S /D=C:\destination
#   velk_nsis_idle_installer OUT.exe
#                                an NSIS installer titled "Idle Setup" that waits on its directory page
#   velk_wine_server_pid         the process id of the prefix's persistent server ("" when none is found)
# A wine process then starts in about 0.1 s; each run of a program should send its output somewhere
# other than the terminal's pipe of a caller that waits for it (Wine's services never close it).

VELK_WINE_ENV=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine_env.sh
export VELK_WINE_ENV

velk_wine_start() {
  local folder=${1:-} arch=win32
  if [ -z "$folder" ]; then folder=$(mktemp -d /tmp/velk-wine-env.XXXXXX) || return 1; fi
  mkdir -p "$folder/home" || return 1
  VELK_WINE_FOLDER=$folder
  if [ "${2:-}" = 64 ]; then
    # Debian's wine and wineboot start the 32-bit loader when it is installed, which hands 64-bit programs
    # on to the 64-bit one; where the kernel runs no 32-bit program it cannot start at all.
    arch=win64
    [ -x /usr/lib/wine/wine64 ] || { echo "wine_env: Wine's 64-bit loader is missing (Debian package wine64)" >&2; return 1; }
    mkdir -p "$folder/bin" || return 1
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 "$@"\n' >"$folder/bin/wine"
    printf '#!/bin/sh\nexec /usr/lib/wine/wine64 wineboot "$@"\n' >"$folder/bin/wineboot"
    printf '#!/bin/sh\nexec /usr/lib/wine/wineserver64 "$@"\n' >"$folder/bin/wineserver"
    chmod +x "$folder/bin/wine" "$folder/bin/wineboot" "$folder/bin/wineserver"
    export PATH="$folder/bin:$PATH" WINELOADER=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver64
  # Where this machine has no 32-bit Wine, that of the Debian i386 root (tools/wine32_root.sh) stands in.
  elif ! dpkg-query -W -f '${Status}\n' wine32:i386 2>/dev/null | grep -q ' installed$' &&
      "${VELK_WINE_ENV%/*}/wine32_root.sh" usable; then
    "${VELK_WINE_ENV%/*}/wine32_root.sh" open "$folder/bin" $$ "${VELK_WINE_ENV%/tools/*}" || return 1
    export PATH="$folder/bin:$PATH"
  fi
  export HOME="$folder/home" WINEPREFIX="$folder/prefix" WINEARCH=$arch WINEDEBUG=-all
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree,mshtml="
  export VELK_UNATTENDED=1
  printf 'pcm.!default { type null }\nctl.!default { type null }\n' >"$HOME/.asoundrc"
  trap velk_wine_stop EXIT
  # Xvfb picks a free display and writes its number to the pipe; it never resets: a resetting
  # server drops the clients that connect meanwhile, and between two programs the display may have none.
  VELK_WINE_XVFB=
  if command -v Xvfb >/dev/null; then
    local first second
    exec {velk_xvfb_fd}< <(Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null & echo "pid $!")
    read -r first <&"$velk_xvfb_fd"; read -r second <&"$velk_xvfb_fd"
    if [[ $first == pid* ]]; then VELK_WINE_XVFB=${first#pid }; export DISPLAY=":$second"
    else VELK_WINE_XVFB=${second#pid }; export DISPLAY=":$first"; fi
  fi
  wineboot -i >/dev/null 2>&1 || return 1
  # Unmanaged windows: without a window manager every hide or close of a managed window waits 2 s. A
  # crashing program ends at once instead of waiting in Wine's crash dialog.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1 || true
  wineserver -w
  # The persistent server, primed at once by a run whose output goes nowhere: the first wine process
  # after it starts the services, which inherit that process's output and never end. The desktop's
  # process likewise, started now with no output rather than by the first program that needs it (which
  # would keep that program's output pipe open until the last program ended).
  wineserver -p >/dev/null 2>&1
  wine cmd /c exit </dev/null >/dev/null 2>&1 || true
  if [ -n "${DISPLAY:-}" ]; then
    wine explorer.exe /desktop </dev/null >/dev/null 2>&1 &
    local i
    for i in $(seq 100); do xwininfo -root -tree 2>/dev/null | grep -q '"explorer.exe"' && break; sleep 0.1; done
  fi
  export VELK_WINE_DRIVE_C="$WINEPREFIX/drive_c"
}

velk_wine_stop() {
  [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1
  [ -n "${VELK_WINE_XVFB:-}" ] && kill "$VELK_WINE_XVFB" >/dev/null 2>&1
  [ -n "${VELK_WINE_FOLDER:-}" ] && "${VELK_WINE_ENV%/*}/wine32_root.sh" close "$VELK_WINE_FOLDER/bin"
  VELK_WINE_XVFB=
  [ -n "${VELK_WINE_FOLDER:-}" ] && rm -rf "$VELK_WINE_FOLDER"
  VELK_WINE_FOLDER=
  trap - EXIT
}

velk_wine_path() {
  local path
  path=$(realpath -m "$1") || return 1
  local drive_c
  drive_c=$(realpath -m "$VELK_WINE_DRIVE_C")
  if [ "${path#"$drive_c"/}" != "$path" ]; then path="C:/${path#"$drive_c"/}"; else path="Z:$path"; fi
  printf '%s\n' "${path//\//\\}"
}

# Compiles the NSIS script that standard input holds.
velk_nsis_compile() {
  local script status
  command -v makensis >/dev/null || { echo "wine_env: makensis is missing (Debian package nsis)" >&2; return 2; }
  script=$(mktemp /tmp/velk-nsis.XXXXXX.nsi) || return 1
  cat >"$script"
  makensis -V1 "$script" >/dev/null
  status=$?
  rm -f "$script"
  return $status
}

velk_nsis_installer() {
  local out=$1 files=$2 compression=$3
  case $compression in
    off) compression="SetCompress off" ;;
    zlib) compression="SetCompressor zlib" ;;
    *) echo "velk_nsis_installer: compression is off or zlib" >&2; return 2 ;;
  esac
  {
    echo "Unicode true"
    echo "$compression"
    echo "Name \"Velk benchmark\""
    echo "OutFile \"$(realpath -m "$out")\""
    echo "InstallDir \"C:\\velk-nsis\""
    echo "RequestExecutionLevel user"
    echo "Section"
    echo "  SetOutPath \"\$INSTDIR\""
    [ -n "$files" ] && echo "  File /r \"$(realpath "$files")/*\""
    echo "SectionEnd"
  } | velk_nsis_compile
}

velk_nsis_idle_installer() {
  {
    echo "Name \"Idle\""
    echo "OutFile \"$(realpath -m "$1")\""
    echo "RequestExecutionLevel user"
    echo "InstallDir \"\$TEMP\\idle-nsis\""
    echo "Page directory"
    echo "Page instfiles"
    echo "Section"
    echo "SectionEnd"
  } | velk_nsis_compile
}

# The server's working folder is named after the prefix's device and inode.
velk_wine_server_pid() {
  local folder pid
  folder="server-$(printf '%x-%x' "$(stat -c '%d' "$WINEPREFIX")" "$(stat -c '%i' "$WINEPREFIX")")"
  for pid in $(pgrep -x 'wineserver(32|64)?' || true); do
    [[ $(readlink "/proc/$pid/cwd" 2>/dev/null) == */"$folder" ]] && { echo "$pid"; return 0; }
  done
  return 0
}
