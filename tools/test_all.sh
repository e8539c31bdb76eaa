#!/usr/bin/env bash
# Runs every test: installs what is needed, then builds and runs the suites natively, natively under
# AddressSanitizer + UndefinedBehaviorSanitizer, the fuzz targets, and the Windows program, cross-built for
# 32-bit Windows (the shipped program) and for 64-bit Windows, under Wine. The 64-bit suite runs under Wine's
# 64-bit side alone, on every machine; the 32-bit suite where the kernel runs 32-bit programs. The line
# before the last names the Windows suites that ran, with their counts, and why one did not.
# Exit status: 0 every suite that this machine can run ran and passed; 1 a build or a test failed; 2 what
# the native build needs could not be installed (nothing ran); 3 every suite that ran passed, but Windows
# tests (or the Windows builds too) could not run, as the mirror refused a package list that their
# packages need: the last line names them and the list. Where only wine32:i386 is held back, Wine's 32-bit
# side comes from a Debian i386 root (tools/wine32_root.sh) and every suite runs; a line before the last
# says so.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=${JOBS:-$(nproc)}

# Each phase's time, said as it ends and together before the closing lines.
times=()
phase_start=$SECONDS
phase_done() {  # name: the time since the last phase ended
  local took=$((SECONDS - phase_start))
  times+=("$1 $(printf '%d:%02d' $((took / 60)) $((took % 60)))")
  echo "== $1 took $(printf '%d:%02d' $((took / 60)) $((took % 60)))"
  phase_start=$SECONDS
}

# A refused package list may leave out only the Windows side (tools/install_packages.sh, status 3 or 4):
# the rest still runs, and the closing line says what did not and why.
installed=0 cause="" left_out=" "
if [ "${VELK_SKIP_INSTALL:-0}" != 1 ]; then
  install_log=$(mktemp)
  "$top/tools/install_packages.sh" 2>&1 | tee "$install_log"
  installed=${PIPESTATUS[0]}
  cause=$(sed -n 's/^install_packages: \(.* cannot be installed: .*\)/\1/p' "$install_log" | tail -n 1)
  left_out=" ${cause%% cannot be installed: *} "
  rm -f "$install_log"
  case $installed in 0 | 3 | 4) ;; *) echo "package installation failed"; exit 2 ;; esac
  phase_done "package installation"
fi

# Why a Windows suite does not run ("" when it runs); what the mirror held back goes into the closing line.
not_run=() note="" why32="" why64=""
if [ "$installed" = 4 ]; then
  not_run+=("the Windows builds and their tests under Wine, as $cause")
elif ! kernel_words=$("$top/tools/runs_32bit.sh"); then
  # A kernel that starts no 32-bit program starts no Wine of the 32-bit program, whatever is installed:
  # the program is still built (waiting does not change that).
  why32="this machine's kernel runs no 32-bit program${kernel_words:+ (\"$kernel_words\")}: its program is built, and its tests run on a machine whose kernel has its 32-bit support"
elif [[ $left_out == *" wine32:i386 "* ]]; then
  if "$top/tools/wine32_root.sh" make; then
    phase_done "the i386 root for Wine's 32-bit side"
    note="the 32-bit Windows tests ran with Wine's 32-bit side from a Debian i386 root, as $cause"
  else
    why32=$cause
    not_run+=("the 32-bit Windows tests under Wine, as $cause")
  fi
fi
if [ "$installed" != 4 ] && [[ $left_out == *" wine64 "* || $left_out == *" wine "* ]]; then
  why64=$cause
  not_run+=("the 64-bit Windows tests under Wine, as $cause")
fi

passed=0
failed=0
status=0
run_suite() {  # name, ctest log file; its counts in $said
  local name=$1 log=$2
  local line t f
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    t=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    f=$(sed -E 's/.*tests passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + t - f)); failed=$((failed + f))
    said="$((t - f)) passed, $f failed"
  else
    said="no test result"; failed=$((failed + 1))
  fi
  echo "== $name: $said"
}

step() {  # name, command...
  local name=$1; shift
  echo "== $name"
  if ! "$@"; then echo "== $name FAILED"; status=1; return 1; fi
}

# Native build and tests.
# The builds' paths and job count go to their shell as arguments, never into its code.
step "native build" bash -c 'cmake -S "$0" -B "$0/build" -DCMAKE_BUILD_TYPE=Debug >/dev/null && cmake --build "$0/build" -j"$1"' "$top" "$jobs" &&
  { phase_done "native build"
    (cd "$top/build" && ctest --output-on-failure -j"$jobs") 2>&1 | tee "$top/build/ctest.log"; [ "${PIPESTATUS[0]}" = 0 ] || status=1
    run_suite native "$top/build/ctest.log"; }
phase_done "native tests"

# Sanitizers.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
step "sanitizer build" bash -c 'cmake -S "$0" -B "$0/build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DVELK_SANITIZE=ON >/dev/null && cmake --build "$0/build-sanitize" -j"$1"' "$top" "$jobs" &&
  { phase_done "sanitizer build"
    (cd "$top/build-sanitize" && ctest --output-on-failure -j"$jobs") 2>&1 | tee "$top/build-sanitize/ctest.log"; [ "${PIPESTATUS[0]}" = 0 ] || status=1
    run_suite sanitizers "$top/build-sanitize/ctest.log"; }
phase_done "sanitizer tests"
unset ASAN_OPTIONS UBSAN_OPTIONS

# Fuzz targets, each for a bounded time.
if ls "$top"/tests/fuzz/*_fuzz.cpp >/dev/null 2>&1; then
  "$top/tools/fuzz.sh" "${VELK_FUZZ_SECONDS:-40}" 2>&1 | tee "$top/build/fuzz.log"
  [ "${PIPESTATUS[0]}" = 0 ] || status=1
  line=$(grep -E '^fuzz: [0-9]+ passed, [0-9]+ failed' "$top/build/fuzz.log" | tail -n 1)
  if [ -n "$line" ]; then
    passed=$((passed + $(sed -E 's/fuzz: ([0-9]+) passed.*/\1/' <<<"$line")))
    failed=$((failed + $(sed -E 's/.* ([0-9]+) failed/\1/' <<<"$line")))
  else
    failed=$((failed + 1))
  fi
  phase_done "fuzz targets"
fi

# The Windows program for each width and its tests under Wine; what the line before the last says of them.
windows=()
windows_suite() {  # width (32 or 64), why its tests do not run ("" when they do)
  local width=$1 why=$2 flag="" build=$top/build-win program=()
  [ "$width" = 64 ] && flag=--64 build=$top/build-win64
  # Tests that will not run are not built: the program alone is.
  [ -z "$why" ] || program=(--program)
  if ! step "windows build ($width-bit)" "$top/tools/windows_build.sh" "${program[@]}" ${flag:+"$flag"}; then
    phase_done "windows build ($width-bit)"
    windows+=("the $width-bit suite was not run, as its build failed")
  elif [ -n "$why" ]; then
    phase_done "windows build ($width-bit)"
    windows+=("the $width-bit suite was not run, as $why")
  else
    phase_done "windows build ($width-bit)"
    "$top/tools/windows_test.sh" ${flag:+"$flag"} "" 2>&1 | tee "$build/ctest.log"; [ "${PIPESTATUS[0]}" = 0 ] || status=1
    run_suite "wine $width-bit" "$build/ctest.log"
    phase_done "windows tests ($width-bit)"
    windows+=("the $width-bit suite under Wine: $said")
  fi
}
if [ "$installed" = 4 ]; then
  windows+=("no suite was run, as the mingw-w64 tools cannot be installed")
else
  windows_suite 32 "$why32"
  windows_suite 64 "$why64"
fi

join() {  # the items, joined by "; "
  local item text=""
  for item in "$@"; do text+=${text:+; }$item; done
  printf '%s' "$text"
}
[ "$failed" = 0 ] || status=1
[ -z "$note" ] || echo "note: $note"
echo "times: $(join "${times[@]}"); in all $(printf '%d:%02d' $((SECONDS / 60)) $((SECONDS % 60)))"
echo "windows: $(join "${windows[@]}")"
if [ "${#not_run[@]}" -gt 0 ]; then
  [ "$status" = 1 ] || status=3
  echo "tests: $passed passed, $failed failed; not run: $(join "${not_run[@]}"); run again once the mirror has synced"
else
  echo "tests: $passed passed, $failed failed"
fi
exit $status
