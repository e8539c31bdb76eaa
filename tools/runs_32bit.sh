#!/usr/bin/env bash
# Tells whether this machine's kernel starts 32-bit x86 programs, as Wine's 32-bit side needs: status 0 when
# it does; else status 1 and, where the kernel said why, its words on standard output. A kernel without its
# 32-bit support (left out of its build, or off at its start as on some virtual machines: "32-bit emulation
# disabled") starts none, however Wine was installed. The probe is the least 32-bit program there is, an
# exit with status 0, so that the answer depends on nothing installed. An emulator of 32-bit programs that
# the kernel hands them to does not count: Wine does not start under it.
set -u
probe=$(mktemp) || exit 1
trap 'rm -f "$probe"' EXIT
printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\135\0\0\0\135\0\0\0\5\0\0\0\0\20\0\0\61\333\270\1\0\0\0\315\200' >"$probe"
chmod +x "$probe"
if "$probe" 2>/dev/null; then
  # An emulator that the kernel hands 32-bit programs to (binfmt_misc) starts the probe, but not Wine.
  for entry in /proc/sys/fs/binfmt_misc/*; do
    [ -f "$entry" ] && head -n 1 "$entry" 2>/dev/null | grep -qx enabled || continue
    interpreter=$(sed -n 's/^interpreter //p' "$entry")
    case $interpreter in
      *i386* | *i686*) echo "32-bit programs start only through the emulator $interpreter"; exit 1 ;;
    esac
  done
  exit 0
fi
dmesg 2>/dev/null | grep -o '32-bit emulation disabled.*' | tail -n 1
exit 1
