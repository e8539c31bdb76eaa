#!/usr/bin/env bash
# Installs every Debian package that building and testing need (native, sanitizers, mingw-w64 and Wine).
# Usage: tools/install_packages.sh [native|bench]   ("native": only what the Linux build and its program
# need; "bench": everything, and what the benchmarks run beside the program: NSIS, which CI does not need)
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
# A mirror caught in the middle of a sync gives lists of the wrong size for a while: the lists are
# fetched again after a pause, and each download is retried. Lists still refused after that are those
# apt already has (or none); the installation then says whether anything it needs is missing.
retries=(-o Acquire::Retries=5)
update() {
  for pause in 15 30 60; do
    apt-get update -q "${retries[@]}" && return
    echo "install_packages: the package lists did not come whole; again in $pause s" >&2
    sleep $pause
  done
  apt-get update -q "${retries[@]}" ||
    echo "install_packages: going on with the package lists apt has; some could not be fetched" >&2
}
native=(build-essential cmake pkg-config git ca-certificates
  googletest libgtest-dev zlib1g-dev libpng-dev libjpeg62-turbo-dev libfreetype-dev libx11-dev libxext-dev fonts-dejavu-core
  libbenchmark-dev libpixman-1-dev)
if [ "${1:-}" = native ]; then
  update
  apt-get install -y -q --no-install-recommends "${retries[@]}" "${native[@]}"
  exit 0
fi
dpkg --add-architecture i386
update
apt-get install -y -q --no-install-recommends "${retries[@]}" "${native[@]}" \
  gcc-mingw-w64-i686-posix g++-mingw-w64-i686-posix mingw-w64-i686-dev mingw-w64-tools libz-mingw-w64-dev \
  dpkg-dev xz-utils \
  wine wine32:i386 xvfb xauth x11-utils x11-apps x11-xkb-utils xdotool twm fonts-liberation fonts-wine \
  gzip libc-bin imagemagick pngcheck libjpeg-turbo-progs fonts-dejavu-core sox libxml2-utils \
  clang libclang-rt-14-dev
if [ "${1:-}" = bench ]; then
  apt-get install -y -q --no-install-recommends "${retries[@]}" nsis
fi
