#!/usr/bin/env bash
# Installs every Debian package that building and testing need (native, sanitizers, fuzzing, mingw-w64 for
# 32-bit and 64-bit Windows, and Wine: its 64-bit side, and its 32-bit side where the kernel starts 32-bit
# programs, tools/runs_32bit.sh; elsewhere none of it could start).
# Usage: tools/install_packages.sh [native|bench]   ("native": only what the Linux build and its program
# need; "bench": everything, and what the benchmarks run beside the program: NSIS, which CI does not need)
# Exit status: 0 everything asked for is installed. When the mirror refuses a package list that some of the
# packages need, the others are installed and the last line on standard error names those left out and the
# refused lists with the mirror's words: 3 only Wine's packages are left out (the native build and its
# tests and the Windows builds can run, the Windows tests of the side left out cannot); 4 the mingw-w64
# tools are left out too (no Windows build); 2 a package of the native build or its tests is left out.
# Another status is apt's.
# shellcheck disable=SC2034  # the package groups are read by name
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tools/apt_update.sh
source "$here/apt_update.sh"
retries=(-o Acquire::Retries=5)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# A mirror caught in the middle of a sync gives lists of the wrong size for a while: the lists are
# fetched again after a pause, and each download is retried. Lists still refused after that are those
# apt already has (or none).
update() {
  for pause in 15 30 60; do
    apt_update "$log" "${retries[@]}" && return
    echo "install_packages: the package lists did not come whole; again in $pause s" >&2
    sleep $pause
  done
  apt_update "$log" "${retries[@]}" || true
}

native=(build-essential cmake pkg-config git ca-certificates
  googletest libgtest-dev zlib1g-dev libpng-dev libjpeg62-turbo-dev libfreetype-dev libx11-dev libxext-dev fonts-dejavu-core
  libbenchmark-dev libpixman-1-dev)
native_tests=(xvfb xauth x11-utils x11-apps x11-xkb-utils xdotool twm gzip libc-bin imagemagick pngcheck
  libjpeg-turbo-progs sox libxml2-utils clang libclang-rt-14-dev)
mingw=(gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix mingw-w64-i686-dev gcc-mingw-w64-x86-64-posix
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev mingw-w64-tools libz-mingw-w64-dev dpkg-dev xz-utils debootstrap)
wine=(wine wine64 fonts-liberation fonts-wine)
if [ "${1:-}" = native ]; then
  groups=(native)
else
  groups=(native native_tests mingw wine)
  if "$here/runs_32bit.sh" >/dev/null; then
    wine+=(wine32:i386)
    dpkg --add-architecture i386
  fi
fi
update

# The lists the last update could not fetch, each with the mirror's words: apt's "Err:" line names the
# list, the line below it says why.
refused=$(awk '/^Err:[0-9]+ / { list = substr($0, index($0, " ") + 1); getline; sub(/^ +/, "");
    sub(/ \[IP: [^]]*\]$/, ""); if (!(list in seen)) { seen[list]; text = text (n++ ? ", " : "") list " (\"" $0 "\")" } }
  END { if (n) print "the package list" (n > 1 ? "s " : " ") text }' "$log")
installable() { apt-get install -s -q --no-install-recommends "$@" >/dev/null 2>&1; }
asked=()
for group in "${groups[@]}"; do
  declare -n members=$group
  asked+=("${members[@]}")
done
# With a list refused, a package that cannot be had without it is left out, so that the rest still
# installs (the i386 lists hold only what Wine needs); each group is tried whole first, its packages one
# by one only when it cannot be had.
left_out=() status=0
if [ -n "$refused" ] && ! installable "${asked[@]}"; then
  for group in "${groups[@]}"; do
    declare -n members=$group
    installable "${members[@]}" && continue
    for package in "${members[@]}"; do
      installable "$package" && continue
      left_out+=("$package")
      case $group:$status in native*) status=2 ;; mingw:0) status=4 ;; wine:0) status=3 ;; esac
    done
  done
fi
install=()
for package in "${asked[@]}"; do
  [[ " ${left_out[*]} " == *" $package "* ]] || install+=("$package")
done
apt-get install -y -q --no-install-recommends "${retries[@]}" -o DPkg::Lock::Timeout=600 "${install[@]}"
if [ "${1:-}" = bench ]; then
  apt-get install -y -q --no-install-recommends "${retries[@]}" -o DPkg::Lock::Timeout=600 nsis
fi
if [ "${#left_out[@]}" -gt 0 ]; then
  echo "install_packages: ${left_out[*]} cannot be installed: the mirror refused $refused" >&2
elif [ -n "$refused" ]; then
  echo "install_packages: note: the mirror refused $refused, which nothing asked for needs" >&2
fi
exit $status
