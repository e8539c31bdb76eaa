#!/usr/bin/env bash
# Builds the libraries that Debian does not package for mingw-w64 (libpng, libjpeg-turbo, FreeType) and
# GoogleTest for i686-w64-mingw32, from Debian's source packages, into a prefix outside the tree.
# Usage: tools/build_mingw_deps.sh [prefix]   (default $VELK_MINGW_PREFIX or ~/.cache/velk-mingw)
set -euo pipefail
prefix=${1:-${VELK_MINGW_PREFIX:-$HOME/.cache/velk-mingw}}
stamp="$prefix/.built-v1"
if [ -f "$stamp" ]; then echo "mingw dependencies already in $prefix"; exit 0; fi

here=$(cd "$(dirname "$0")" && pwd)
toolchain="$here/mingw-i686.cmake"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$prefix"

# Source packages need deb-src lines; a fresh machine has none.
eval "$(apt-config shell sources_list Dir::Etc::sourcelist/f sources_parts Dir::Etc::sourceparts/d)"
sources_parts=${sources_parts%/}
if ! grep -rqs '^Types:.*deb-src' "$sources_parts" && ! grep -qs '^deb-src' "$sources_list"; then
  if [ -f "$sources_parts/debian.sources" ]; then
    sed 's/^Types: deb$/Types: deb-src/' "$sources_parts/debian.sources" > "$sources_parts/velk-src.sources"
  else
    grep -E '^deb ' "$sources_list" | sed 's/^deb /deb-src /' > "$sources_parts/velk-src.list"
  fi
fi
# and their indexes, which an update of the package lists fetches: whenever none is there, so that an
# update that failed (in an earlier run too) is made again rather than blocking every later run.
if [ -z "$(apt-get indextargets --format '$(FILENAME)' 'Created-By: Sources' 2>/dev/null)" ]; then
  apt-get update -q
fi
cd "$work"
apt-get source --download-only libpng1.6/bookworm libjpeg-turbo/bookworm freetype/bookworm >/dev/null 2>&1 ||
  apt-get source --download-only libpng1.6/bookworm libjpeg-turbo/bookworm freetype/bookworm

unpack() {  # unpack the .orig tarball of a source package into ./$1
  local name=$1 pattern=$2
  mkdir -p "$name"
  tar -xf $(ls $pattern | head -n 1) -C "$name" --strip-components=1
}
unpack png 'libpng1.6_*.orig.tar.*'
unpack jpeg 'libjpeg-turbo_*.orig.tar.*'
unpack freetype 'freetype_*.orig.tar.*'

common=(-G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVELK_MINGW_PREFIX="$prefix"
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_POSITION_INDEPENDENT_CODE=OFF)
jobs=$(nproc)

cmake -S png -B png-build "${common[@]}" -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF \
  -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON >/dev/null
cmake --build png-build -j"$jobs" >/dev/null && cmake --install png-build >/dev/null

cmake -S jpeg -B jpeg-build "${common[@]}" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF \
  -DWITH_SIMD=OFF -DWITH_JPEG8=OFF >/dev/null
cmake --build jpeg-build -j"$jobs" >/dev/null && cmake --install jpeg-build >/dev/null

cmake -S freetype -B freetype-build "${common[@]}" -DBUILD_SHARED_LIBS=OFF -DFT_DISABLE_BZIP2=ON \
  -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON -DFT_REQUIRE_ZLIB=ON >/dev/null
cmake --build freetype-build -j"$jobs" >/dev/null && cmake --install freetype-build >/dev/null

cmake -S /usr/src/googletest -B gtest-build "${common[@]}" -DBUILD_GMOCK=OFF -Dgtest_disable_pthreads=OFF >/dev/null
cmake --build gtest-build -j"$jobs" >/dev/null && cmake --install gtest-build >/dev/null

# The static libraries go in under plain names so that CMake's find modules pick them.
[ -f "$prefix/lib/libpng.a" ] || cp "$prefix"/lib/libpng16*.a "$prefix/lib/libpng.a" 2>/dev/null || true
touch "$stamp"
echo "mingw dependencies built in $prefix"
