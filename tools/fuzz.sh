#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz/*_fuzz.cpp) with clang and runs each for a bounded time from its
# committed seed corpus (tests/fuzz/corpus/<target>/, copied so the committed files stay as they are).
# Usage: tools/fuzz.sh [seconds per target, default 45]
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-45}
build="$top/build-fuzz"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVELK_FUZZ=ON >/dev/null || exit 1
cmake --build "$build" -j"${JOBS:-$(nproc)}" >/dev/null || { cmake --build "$build" 2>&1 | tail -30; exit 1; }
status=0
passed=0
failed=0
for source in "$top"/tests/fuzz/*_fuzz.cpp; do
  [ -e "$source" ] || continue
  name=$(basename "$source" .cpp)
  work=$(mktemp -d)
  mkdir -p "$work/corpus"
  [ -d "$top/tests/fuzz/corpus/$name" ] && cp -r "$top/tests/fuzz/corpus/$name/." "$work/corpus/"
  echo "== fuzz $name for ${seconds}s"
  if (cd "$work" && ASAN_OPTIONS=detect_leaks=1 "$build/$name" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -max_len=65536 -print_final_stats=0 corpus >"$work/log" 2>&1); then
    echo "== fuzz $name: no crash"; passed=$((passed + 1))
  else
    tail -40 "$work/log"; echo "== fuzz $name FAILED"; failed=$((failed + 1)); status=1
  fi
  rm -rf "$work"
done
echo "fuzz: $passed passed, $failed failed"
exit $status
