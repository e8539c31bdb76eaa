#!/usr/bin/env bash
# Wine's 32-bit side from a Debian i386 root, for a machine on which wine32:i386 cannot be installed (a
# mirror that refuses the i386 list of the security updates holds it back: its libraries must be of the
# same versions as the machine's amd64 ones, which come from those updates). The root is Debian's own
# release for i386, made once by debootstrap, which checks the release's signature, with Wine installed in
# it by the root's own apt (without the release's security updates: it only runs the tests, and nothing
# made in it ships). Programs run in it in one mount namespace of their own, kept by a holder
# process, in which the machine's /dev, /tmp and its folders of data (/work, /root, /home, ...) are bound
# at their own paths: nothing is mounted outside it, and what a program mounts there (a test's small disk)
# every other program sees, Wine's server too, which opens files for its programs.
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
# The root is $VELK_WINE32_ROOT, by default ~/.cache/velk-wine32-root.
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
  # made. Its mounts (debootstrap's own too) live in a namespace of their own and end with it.
  work="$root.new"
  rm -rf "$work"
  mkdir -p "$(dirname "$root")"
  echo "wine32_root: making an i386 root of Debian $codename from $url in $root"
  unshare --mount debootstrap --arch=i386 --variant=minbase "$codename" "$work" "$url" >"$work.log" 2>&1 ||
    { tail -n 5 "$work.log" >&2; fail "debootstrap failed (its log: $work.log)"; }
  install_into "$work"
  rm -rf "$root" "$work.log"
  mv "$work" "$root"
  echo "wine32_root: Wine's 32-bit side is in $root"
}

usable() {
  [ -f "$stamp" ] && [ "$(id -u)" = 0 ] && unshare --mount true 2>/dev/null
}

# In the holder's new namespace: binds the machine's folders into the root, says it is ready, and waits.
hold() {
  local ready=$1 owner=$2 folder
  shift 2
  mount -t proc proc "$root/proc"
  mount --bind /dev "$root/dev"
  [ -d /dev/shm ] && mount --bind /dev/shm "$root/dev/shm"
  for folder in /*/; do
    folder=${folder%/}
    [[ $own == *" ${folder#/} "* ]] && continue
    [ -L "$folder" ] && continue
    mkdir -p "$root$folder"
    mount --bind "$folder" "$root$folder"
  done
  for folder in "$@"; do
    folder=$(realpath "$folder")
    folder=${folder#/}
    [[ $own == *" ${folder%%/*} "* ]] || continue
    mkdir -p "$root/$folder"
    mount --bind "/$folder" "$root/$folder"
  done
  echo $$ >"$ready"
  while kill -0 "$owner" 2>/dev/null; do sleep 1; done
}

open_root() {
  local dir=$1 owner=$2 holder name i
  shift 2
  mkdir -p "$dir"
  rm -f "$dir/holder"
  setsid unshare --mount "$self" hold "$dir/holder" "$owner" "$@" </dev/null >/dev/null 2>&1 &
  for i in $(seq 200); do [ -s "$dir/holder" ] && break; sleep 0.05; done
  [ -s "$dir/holder" ] || fail "the i386 root's namespace did not start"
  holder=$(cat "$dir/holder")
  for name in wine wineboot wineserver; do
    printf '#!/bin/sh\nexec nsenter --mount=/proc/%s/ns/mnt -- chroot "%s" /usr/bin/env PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin /bin/sh -c '"'"'cd "$0" 2>/dev/null || cd /; exec "$@"'"'"' "$PWD" /usr/bin/%s "$@"\n' \
      "$holder" "$root" "$name" >"$dir/$name"
    chmod +x "$dir/$name"
  done
}

case ${1:-} in
  make) make_root ;;
  usable) usable ;;
  open) shift; open_root "$@" ;;
  close) [ -s "$2/holder" ] && kill "$(cat "$2/holder")" 2>/dev/null; rm -f "$2/holder" ;;
  hold) shift; hold "$@" ;;
  *) echo "usage: tools/wine32_root.sh make | usable | open DIR PID [FOLDER...] | close DIR" >&2; exit 2 ;;
esac
