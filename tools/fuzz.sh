#!/usr/bin/env bash
# Builds the libFuzzer targets (tests/fuzz/*_fuzz.cpp) with clang and runs each for a bounded time from its
# committed seed corpus (tests/fuzz/corpus/<target>/, copied so the committed files stay as they are).
# Usage: tools/fuzz.sh [seconds per target, default 45]; JOBS targets run at once (default: one per core)
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-45}
build="$top/build-fuzz"
CC=clang CXX=clang++ cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVELK_FUZZ=ON >/dev/null || exit 1
names=()
for source in "$top"/tests/fuzz/*_fuzz.cpp; do
  [ -e "$source" ] || continue
  names+=("$(basename "$source" .cpp)")
done
# The targets alone: the build's other programs are never run here.
cmake --build "$build" -j"${JOBS:-$(nproc)}" --target "${names[@]}" >/dev/null ||
  { cmake --build "$build" --target "${names[@]}" 2>&1 | tail -30; exit 1; }
# The targets run side by side, one per core (each a single process for its own time); their reports
# follow in order.
parallel=${JOBS:-$(nproc)}
results=$(mktemp -d)
run_target() {  # name
  local name=$1 work
  work=$(mktemp -d)
  mkdir -p "$work/corpus"
  [ -d "$top/tests/fuzz/corpus/$name" ] && cp -r "$top/tests/fuzz/corpus/$name/." "$work/corpus/"
  if (cd "$work" && ASAN_OPTIONS=detect_leaks=1 "$build/$name" -max_total_time="$seconds" -rss_limit_mb=2048 \
        -max_len=65536 -print_final_stats=0 corpus >"$work/log" 2>&1); then
    echo "== fuzz $name: no crash" >"$results/$name"
  else
    { tail -40 "$work/log"; echo "== fuzz $name FAILED"; } >"$results/$name"
  fi
  rm -rf "$work"
}
running=0
for name in "${names[@]}"; do
  if [ "$running" -ge "$parallel" ]; then wait -n; running=$((running - 1)); fi
  echo "== fuzz $name for ${seconds}s"
  run_target "$name" &
  running=$((running + 1))
done
wait
status=0
passed=0
failed=0
for name in "${names[@]}"; do
  cat "$results/$name"
  if tail -n 1 "$results/$name" | grep -q ': no crash$'; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi
done
rm -rf "$results"
echo "fuzz: $passed passed, $failed failed"
exit $status
