#!/usr/bin/env bash
# Wine's 32-bit side from a Debian i386 root, for a machine on which wine32:i386 cannot be installed (a
# mirror that refuses the i386 list of the security updates holds it back: its libraries must be of the
# same versions as the machine's amd64 ones, which come from those updates). The root is Debian's own
# release for i386, made once by debootstrap, which checks the release's signature, with Wine installed in
# it by the root's own apt (without the release's security updates: it only runs the tests, and nothing
# made in it ships). Programs run in it in one mount namespace of their own, kept by a holder
# process, in which the machine's /dev, /tmp and its folders of data (/work, /root, /home, ...) are bound
# at their own paths with what is mounted below them: nothing is mounted outside it, and what a program
# mounts there (a test's small disk) every other program sees, Wine's server too, which opens files for
# its programs. The holder runs only alone in the mount namespace that "open" makes for it: its end
# kills every process of its namespace, which in the machine's would be every process.
#
#   tools/wine32_root.sh make            makes the root unless it is made; status 0 once it holds Wine
#   tools/wine32_root.sh usable          status 0 when the root is made and this machine can enter it
#   tools/wine32_root.sh open DIR PID [FOLDER...]
#                                        starts the namespace, held until the process PID ends or
#                                        "close DIR", and writes DIR/wine, DIR/wineboot and
#                                        DIR/wineserver, which run the root's own there, in the folder
#                                        their caller is in; put DIR first on PATH. Each FOLDER (the
#                                        tree, say) is bound too where it lies below one of the root's own
#   tools/wine32_root.sh close DIR       ends the holder
# The root is $VELK_WINE32_ROOT, by default ~/.cache/velk-wine32-root. Only a folder that carries a root's
# stamp (.made-*) or is empty is ever removed or replaced. When the holder ends, so does every process in
# its namespace (Wine's server, programs that outlived their caller), and with the last the namespace
# and its mounts.
set -euo pipefail
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")
root=${VELK_WINE32_ROOT:-$HOME/.cache/velk-wine32-root}
# Wine, and the Unix tools that the Windows tests start through Wine (their display, input and captures).
packages=(wine wine32 fonts-wine fonts-liberation fonts-dejavu-core xvfb xauth x11-utils x11-apps x11-xkb-utils
  xdotool twm imagemagick pngcheck libjpeg-turbo-progs sox libxml2-utils)
# The root's stamp names what it holds: a root made with other packages is brought to these.
stamp="$root/.made-$(printf '%s\n' "${packages[@]}" | cksum | cut -d ' ' -f 1)"
# The root's own folders; every other folder at the machine's top is bound into it.
own=" bin boot dev etc lib lib32 lib64 libx32 lost+found proc run sbin sys usr var "

fail() { echo "wine32_root: $*" >&2; exit 1; }

# Refuses a folder that is neither absent, nor empty, nor stamped as a root (a half-made one too): what
# VELK_WINE32_ROOT or the home names may be anything.
removable() {
  [ -e "$1" ] || [ -L "$1" ] || return 0
  [ -d "$1" ] && [ ! -L "$1" ] && { compgen -G "$1/.made-*" >/dev/null || [ -z "$(ls -A "$1")" ]; } ||
    fail "$1 is neither an i386 root (it has no .made-* stamp) nor an empty folder, so it is left as it is:" \
      "remove it yourself if it is what is left of a root, or name another folder in VELK_WINE32_ROOT"
}

install_into() {  # root folder: installs the packages with the root's own apt
  cp /etc/resolv.conf /etc/hosts "$1/etc/" 2>/dev/null || true
  unshare --mount bash -c 'mount -t proc proc "$0/proc" && mount --bind /dev "$0/dev" &&
      exec chroot "$0" env DEBIAN_FRONTEND=noninteractive "$@"' "$1" \
    sh -c 'apt-get update -q && apt-get install -y -q --no-install-recommends -o Acquire::Retries=5 "$@"' sh \
    "${packages[@]}" >>"$1.log" 2>&1 ||
    { tail -n 5 "$1.log" >&2; fail "Wine could not be installed in the i386 root (the log: $1.log)"; }
  rm -f "$1"/.made-*
  touch "$1/${stamp##*/}"
}

make_root() {
  [ -f "$stamp" ] && { echo "wine32_root: Wine's 32-bit side is in $root"; return 0; }
  [ "$(id -u)" = 0 ] || fail "only root can make the i386 root"
  if compgen -G "$root/.made-*" >/dev/null; then
    echo "wine32_root: installing what the i386 root in $root lacks"
    install_into "$root"
    rm -f "$root.log"
    return 0
  fi
  command -v debootstrap >/dev/null || fail "debootstrap is missing (Debian package debootstrap)"
  local codename url work
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  # The mirror that apt's sources name for the release itself (not its updates).
  url=$(apt-get indextargets --format '$(REPO_URI)' "Codename: $codename" 'Created-By: Packages' | sort -u)
  url=${url%%$'\n'*}
  [ -n "$codename" ] && [ -n "$url" ] || fail "apt names no Debian mirror for the release \"$codename\""
  # Made beside its place and moved there whole, so that a run stopped halfway leaves no root that seems
  # made; until then its stamp says it is unfinished, so the next run knows it for one to remove. Its
  # mounts (debootstrap's own too) live in a namespace of their own and end with it.
  work="$root.new"
  removable "$root"
  removable "$work"
  rm -rf "$work"
  mkdir -p "$work"
  touch "$work/.made-unfinished"
  echo "wine32_root: making an i386 root of Debian $codename from $url in $root"
  unshare --mount debootstrap --arch=i386 --variant=minbase "$codename" "$work" "$url" >"$work.log" 2>&1 ||
    { tail -n 5 "$work.log" >&2; fail "debootstrap failed (its log: $work.log)"; }
  install_into "$work"
  rm -f "$work.log"
  # Over an empty folder only; a folder that has gained files since is refused.
  mv -T "$work" "$root" 2>/dev/null || { removable "$root"; fail "$work could not be moved to $root"; }
  echo "wine32_root: Wine's 32-bit side is in $root"
}

usable() {
  [ -f "$stamp" ] && [ "$(id -u)" = 0 ] && unshare --mount true 2>/dev/null
}

# In the holder's new namespace: binds the machine's folders into the root, marks the namespace open by
# writing its process number to the file READY, and waits for the process OWNER to end or for a TERM.
# Anywhere but alone in a mount namespace other than the machine's (where "open" starts it) it refuses
# before it mounts anything.
hold() {
  local ready=$1 owner=$2 folder task pid
  shift 2
  ! [ /proc/$$/ns/mnt -ef /proc/1/ns/mnt ] || fail "\"hold\" runs only in the mount namespace that \"open\" makes for it"
  for task in /proc/[0-9]*/task/[0-9]*; do
    pid=${task#/proc/}
    pid=${pid%%/*}
    [ "$pid" = $$ ] || ! [ "$task/ns/mnt" -ef /proc/$$/ns/mnt ] ||
      fail "\"hold\" runs only in the mount namespace that \"open\" makes for it (process $pid is in it too)"
  done
  trap 'leave "$ready"' TERM
  mount -t proc proc "$root/proc"
  mount --rbind /dev "$root/dev"
  for folder in /*/; do
    folder=${folder%/}
    [[ $own == *" ${folder#/} "* ]] && continue
    [ -L "$folder" ] && continue
    mkdir -p "$root$folder"
    mount --rbind "$folder" "$root$folder"
  done
  for folder in "$@"; do
    folder=$(realpath "$folder")
    folder=${folder#/}
    [[ $own == *" ${folder%%/*} "* ]] || continue
    mkdir -p "$root/$folder"
    mount --rbind "/$folder" "$root/$folder"
  done
  echo $$ >"$ready"
  while kill -0 "$owner" 2>/dev/null; do
    sleep 1 &
    wait $!
  done
  leave "$ready"
}

# Ends the namespace: once its mark is gone no wrapper stays in it, and every other process in it is
# killed until none is left, so that it ends with this one, the last, and its mounts with it. Each thread
# is looked at: a Wine program's first thread may have ended while the others run on.
leave() {
  local pid task left=1
  read -r pid 2>/dev/null <"$1" && [ "$pid" = $$ ] && rm -f "$1"
  while [ $left = 1 ]; do
    left=0
    for task in /proc/[0-9]*/task/[0-9]*; do
      pid=${task#/proc/}
      pid=${pid%%/*}
      [ "$pid" != $$ ] && [ "$task/ns/mnt" -ef /proc/$$/ns/mnt ] && kill -KILL "$pid" 2>/dev/null && left=1
    done
    [ $left = 0 ] || sleep 0.05
  done
  exit 0
}

# Status 0 while the process PID is the holder whose mark is the file MARK.
is_holder() {
  local arguments i
  [[ $1 =~ ^[0-9]+$ ]] && mapfile -d '' -t arguments 2>/dev/null <"/proc/$1/cmdline" || return 1
  for ((i = 1; i < ${#arguments[@]}; i++)); do
    [ "${arguments[i - 1]}" = hold ] && [ "${arguments[i]}" = "$2" ] && return 0
  done
  return 1
}

# The wrappers enter the holder's namespace, leave at once when its mark is gone (it is ending), and run
# the root's program in the folder their caller is in. The paths are quoted for the shell: they may hold
# anything.
open_root() {
  local dir owner=$2 holder name
  dir=$(realpath -m "$1")
  shift 2
  mkdir -p "$dir"
  rm -f "$dir/holder"
  setsid unshare --mount "$self" hold "$dir/holder" "$owner" "$@" </dev/null >/dev/null 2>&1 &
  for _ in $(seq 200); do [ -s "$dir/holder" ] && break; sleep 0.05; done
  holder=$(cat "$dir/holder" 2>/dev/null) && [[ $holder =~ ^[0-9]+$ ]] ||
    fail "the i386 root's namespace did not start"
  for name in wine wineboot wineserver; do
    {
      echo '#!/bin/bash'
      printf 'holder=%q mark=%q root=%q program=%q\n' "$holder" "$dir/holder" "$root" "/usr/bin/$name"
      cat <<'EOF'
exec nsenter --mount="/proc/$holder/ns/mnt" -- /bin/sh -c '
  [ -e "$0" ] || { echo "wine32_root: the i386 root has been closed" >&2; exit 1; }
  root=$1; shift
  exec chroot "$root" /usr/bin/env PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin /bin/sh -c '\''
    cd "$0" 2>/dev/null || cd /; exec "$@"'\'' "$@"' "$mark" "$root" "$PWD" "$program" "$@"
EOF
    } >"$dir/$name"
    chmod +x "$dir/$name"
  done
}

# Ends the holder of DIR and waits for its namespace to end; a holder that has already ended, or a mark
# naming a process that is no holder of DIR, leaves only its mark to remove.
close_root() {
  local mark holder
  mark=$(realpath -m "$1")/holder
  if read -r holder 2>/dev/null <"$mark" && is_holder "$holder" "$mark"; then
    kill -TERM "$holder" 2>/dev/null || true
    for _ in $(seq 200); do is_holder "$holder" "$mark" || break; sleep 0.05; done
    ! is_holder "$holder" "$mark" || fail "the i386 root's namespace (process $holder) did not end"
  fi
  rm -f "$mark"
}

case ${1:-} in
  make) make_root ;;
  usable) usable ;;
  open) shift; open_root "$@" ;;
  close) close_root "$2" ;;
  hold) shift; hold "$@" ;;
  *) echo "usage: tools/wine32_root.sh make | usable | open DIR PID [FOLDER...] | close DIR" >&2; exit 2 ;;
esac
