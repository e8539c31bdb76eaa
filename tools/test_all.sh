#!/usr/bin/env bash
# Runs every test: installs what is needed, then builds and runs the suites natively, natively under
# AddressSanitizer + UndefinedBehaviorSanitizer, cross-built for Windows under Wine, and the fuzz targets.
# Exit status: 0 every suite ran and passed; 1 a build or a test failed; 2 what the native build needs
# could not be installed (nothing ran); 3 every suite that ran passed, but the Windows tests (or the
# Windows build too) could not run, as the mirror refused a package list that their packages need: the
# last line names them and the list. Where only wine32:i386 is held back, Wine's 32-bit side comes from a
# Debian i386 root (tools/wine32_root.sh) and every suite runs; a line before the last says so. On a
# machine whose kernel runs no 32-bit program the Windows program is built but its tests cannot run: the
# status is that of the suites that ran, and a line before the last says what was not run and why.
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
jobs=${JOBS:-$(nproc)}

# A refused package list may leave out only the Windows side (tools/install_packages.sh, status 3 or 4):
# the rest still runs, and the closing line says what did not and why.
installed=0 not_run="" note="" no_32bit=""
if [ "${VELK_SKIP_INSTALL:-0}" != 1 ]; then
  install_log=$(mktemp)
  "$top/tools/install_packages.sh" 2>&1 | tee "$install_log"
  installed=${PIPESTATUS[0]}
  cause=$(sed -n 's/^install_packages: \(.* cannot be installed: .*\)/\1/p' "$install_log" | tail -n 1)
  rm -f "$install_log"
  if [ "$installed" = 0 ] || [ "$installed" = 3 ]; then
    # A kernel that starts no 32-bit program starts no Wine of the Windows program, whatever is installed:
    # the program is still built, and its tests are said not run (waiting does not change that).
    kernel_words=$("$top/tools/runs_32bit.sh") || installed=5
  fi
  case $installed in
    0) ;;
    5) no_32bit="the Windows tests under Wine, as this machine's kernel runs no 32-bit program${kernel_words:+ (\"$kernel_words\")}: the Windows program is built, and its tests run on a machine whose kernel has its 32-bit support" ;;
    3) if "$top/tools/wine32_root.sh" make; then
         installed=0 note="the Windows tests ran with Wine's 32-bit side from a Debian i386 root, as $cause"
       else
         not_run="the Windows tests under Wine, as $cause"
       fi ;;
    4) not_run="the Windows build and its tests under Wine, as $cause" ;;
    *) echo "package installation failed"; exit 2 ;;
  esac
fi

passed=0
failed=0
status=0
run_suite() {  # name, ctest log file
  local name=$1 log=$2
  local line p t
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    t=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    f=$(sed -E 's/.*tests passed, ([0-9]+) tests failed.*/\1/' <<<"$line")
    passed=$((passed + t - f)); failed=$((failed + f))
    echo "== $name: $((t - f)) passed, $f failed"
  else
    echo "== $name: no test result"; failed=$((failed + 1))
  fi
}

step() {  # name, command...
  local name=$1; shift
  echo "== $name"
  if ! "$@"; then echo "== $name FAILED"; status=1; return 1; fi
}

# Native build and tests.
# The builds' paths and job count go to their shell as arguments, never into its code.
step "native build" bash -c 'cmake -S "$0" -B "$0/build" -DCMAKE_BUILD_TYPE=Debug >/dev/null && cmake --build "$0/build" -j"$1"' "$top" "$jobs" &&
  { (cd "$top/build" && ctest --output-on-failure -j"$jobs") 2>&1 | tee "$top/build/ctest.log"; [ "${PIPESTATUS[0]}" = 0 ] || status=1
    run_suite native "$top/build/ctest.log"; }

# Sanitizers.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
step "sanitizer build" bash -c 'cmake -S "$0" -B "$0/build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DVELK_SANITIZE=ON >/dev/null && cmake --build "$0/build-sanitize" -j"$1"' "$top" "$jobs" &&
  { (cd "$top/build-sanitize" && ctest --output-on-failure -j"$jobs") 2>&1 | tee "$top/build-sanitize/ctest.log"; [ "${PIPESTATUS[0]}" = 0 ] || status=1
    run_suite sanitizers "$top/build-sanitize/ctest.log"; }
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
fi

# Windows build under Wine.
if [ "$installed" = 5 ]; then
  step "windows build" "$top/tools/windows_build.sh"
elif [ "$installed" != 4 ]; then
  step "windows build" "$top/tools/windows_build.sh" && [ "$installed" = 0 ] &&
    { "$top/tools/windows_test.sh" "" 2>&1 | tee "$top/build-win/ctest.log"; [ "${PIPESTATUS[0]}" = 0 ] || status=1
      run_suite wine "$top/build-win/ctest.log"; }
fi

[ "$failed" = 0 ] || status=1
[ -z "$note" ] || echo "note: $note"
[ -z "$no_32bit" ] || echo "note: not run: $no_32bit"
if [ -n "$not_run" ]; then
  [ "$status" = 1 ] || status=3
  echo "tests: $passed passed, $failed failed; not run: $not_run; run again once the mirror has synced"
else
  echo "tests: $passed passed, $failed failed"
fi
exit $status
