#!/usr/bin/env bash
# Builds the libraries that Debian does not package for mingw-w64 (libpng, libjpeg-turbo, FreeType) and
# GoogleTest for one width of Windows, from Debian's source packages, into a prefix outside the tree.
# Usage: tools/build_mingw_deps.sh [prefix [toolchain file]]   (default $VELK_MINGW_PREFIX or
# ~/.cache/velk-mingw, and tools/mingw-i686.cmake: 32-bit; tools/mingw-x86_64.cmake builds them for 64-bit
# Windows, into a prefix of their own)
set -euo pipefail
prefix=${1:-${VELK_MINGW_PREFIX:-$HOME/.cache/velk-mingw}}
stamp="$prefix/.built-v1"
if [ -f "$stamp" ]; then echo "mingw dependencies already in $prefix"; exit 0; fi

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tools/apt_update.sh
source "$here/apt_update.sh"
toolchain=$(realpath "${2:-$here/mingw-i686.cmake}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$prefix"

# Source packages need the source lists (deb-src) and their indexes, and nothing else: apt is pointed at
# a folder of those lists alone, so that an update fetches only the source indexes (keeping the other
# lists as they are) and a binary list the mirror refuses (another architecture's, say) does not matter.
# They are the system's deb-src entries; a fresh machine has none, and they are made from its deb ones.
eval "$(apt-config shell sources_list Dir::Etc::sourcelist/f sources_parts Dir::Etc::sourceparts/d)"
sources_parts=${sources_parts%/}
source_lists() {  # kind (deb-src or deb): the system's entries of that kind, as deb-src, into $work
  rm -rf "$work/sources.d" && mkdir "$work/sources.d"
  for file in "$sources_parts"/*.sources; do
    [ -f "$file" ] || continue
    awk -v kind="$1" 'function end() { if (keep) printf "%s\n", stanza; stanza = ""; keep = 0 }
      /^[[:space:]]*$/ { end(); next }
      /^Types:/ { for (i = 2; i <= NF; i++) if ($i == kind) keep = 1; $0 = "Types: deb-src" }
      { stanza = stanza $0 "\n" }
      END { end() }' "$file" > "$work/sources.d/${file##*/}"
    [ -s "$work/sources.d/${file##*/}" ] || rm "$work/sources.d/${file##*/}"
  done
  cat "$sources_list" "$sources_parts"/*.list 2>/dev/null | grep -E "^[[:space:]]*$1[[:space:]]" |
    sed -E 's/^[[:space:]]*deb(-src)?[[:space:]]/deb-src /' > "$work/sources.list" || true
  grep -qs . "$work/sources.list" "$work"/sources.d/*
}
source_lists deb-src || source_lists deb || { echo "build_mingw_deps: apt names no package source" >&2; exit 1; }
apt_sources=(-o Dir::Etc::sourcelist="$work/sources.list" -o Dir::Etc::sourceparts="$work/sources.d"
  -o Dir::Cache::pkgcache= -o Dir::Cache::srcpkgcache=)
echo "build_mingw_deps: updating the source lists alone (a binary list the mirror refuses does not matter here)"
if ! apt_update "$work/update.log" "${apt_sources[@]}" -o APT::Get::List-Cleanup=0; then
  [ -n "$(apt-get indextargets "${apt_sources[@]}" --format '$(FILENAME)' 'Created-By: Sources')" ] ||
    { echo "build_mingw_deps: the source lists could not be fetched" >&2; exit 1; }
  echo "build_mingw_deps: going on with the source indexes apt has" >&2
fi
cd "$work"
apt-get source "${apt_sources[@]}" --download-only libpng1.6/bookworm libjpeg-turbo/bookworm freetype/bookworm >/dev/null 2>&1 ||
  apt-get source "${apt_sources[@]}" --download-only libpng1.6/bookworm libjpeg-turbo/bookworm freetype/bookworm

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
jobs=${JOBS:-$(nproc)}

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
