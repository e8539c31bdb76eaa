#!/usr/bin/env bash
# Checks the set-up's own logic without the network or the system's apt: tools/test_all.sh and
# tools/install_packages.sh run in a scratch tree with apt's answers stood in by scripts on PATH (apt-get,
# dpkg, sleep) and the builds by stand-ins (cmake, ctest, the fuzz and Windows scripts), for a mirror that
# answers, one that refuses the i386 security list Wine's 32-bit side needs and one that refuses a list a
# native package needs, and for a kernel that runs no 32-bit program.
# Then tools/wine32_root.sh: what "make" removes (debootstrap stood in), that its holder refuses to run
# outside the namespace it is made for, where this is root the namespace of a bare root (its recursive
# binds, its end), and where the i386 root is made, its namespace as the Windows tests use it.
# Usage: tools/check_setup.sh
set -euo pipefail
tools=$(cd "$(dirname "$0")" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# A tree whose path would run a command if a script pasted it into shell code.
top="$scratch/top's \$(touch ran)" bin=$scratch/bin
mkdir -p "$top/tools" "$top/tests/fuzz" "$bin"
touch "$top/tests/fuzz/names_fuzz.cpp"
for script in test_all.sh install_packages.sh apt_update.sh; do ln -s "$tools/$script" "$top/tools/$script"; done
stub() { printf '#!/usr/bin/env bash\n%s\n' "$2" > "$1"; chmod +x "$1"; }
stub "$bin/cmake" 'echo "cmake $*" >> "$STATE/calls"; [ "$1" != -S ] || mkdir -p "$4"'
stub "$bin/ctest" 'echo "100% tests passed, 0 tests failed out of 5"'
stub "$top/tools/fuzz.sh" 'echo "fuzz: 2 passed, 0 failed"'
stub "$top/tools/windows_build.sh" 'echo "windows_build $*" >> "$STATE/calls"; case " $* " in *" --64 "*) w=64 ;; *) w="" ;; esac; mkdir -p "$(dirname "$0")/../build-win$w"'
stub "$top/tools/windows_test.sh" 'echo "windows_test $*" >> "$STATE/calls"; echo "100% tests passed, 0 tests failed out of 4"'
# The Debian i386 root that stands in for wine32:i386: made when $ROOT is "made", refused otherwise.
stub "$top/tools/wine32_root.sh" 'echo "wine32_root $*" >> "$STATE/calls"; [ "${ROOT:-}" = made ]'
# The kernel starts 32-bit programs unless $NO_32BIT is set, as one that has its 32-bit support turned off.
stub "$top/tools/runs_32bit.sh" '[ -z "${NO_32BIT:-}" ] || { echo "32-bit emulation disabled. You can reenable with ia32_emulation=on"; exit 1; }'
stub "$bin/sleep" ':'
stub "$bin/dpkg" ':'
# The mirror ($MIRROR): "whole" answers (after another apt has held the lists' lock once), "i386" refuses
# the i386 security list as a mirror mid-sync does, so that wine32:i386 cannot be had, "amd64" refuses a
# list that cmake needs.
cat > "$bin/apt-get" <<'EOF'
#!/usr/bin/env bash
case $MIRROR in
  i386) list="http://deb.debian.org/debian-security bookworm-security/main i386 Packages" missing=wine32:i386
    why="File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]" ;;
  amd64) list="http://deb.debian.org/debian bookworm/main amd64 Packages" missing=cmake why="404  Not Found" ;;
  *) list="" missing="" ;;
esac
if [ "$1" = update ]; then
  if [ ! -e "$STATE/updated" ]; then
    touch "$STATE/updated"
    if [ "$MIRROR" = whole ]; then echo "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 1 (apt-get)"; exit 100; fi
  fi
  echo "Hit:1 http://deb.debian.org/debian bookworm InRelease"
  [ -n "$list" ] || exit 0
  printf 'Err:4 %s\n  %s\n  Hashes of expected file:\n   - Filesize:376004 [weak]\n' "$list" "$why"
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
  exit 100
fi
[ "$1" = install ] || exit 2
packages=() simulate=0
for ((i = 2; i <= $#; i++)); do
  case ${!i} in -s) simulate=1 ;; -o) i=$((i + 1)) ;; -*) ;; *) packages+=("${!i}") ;; esac
done
if [ -n "$missing" ] && [[ " ${packages[*]} " == *" $missing "* ]]; then
  echo "E: Unable to correct problems, you have held broken packages." >&2
  exit 100
fi
[ "$simulate" = 1 ] || printf '%s\n' "${packages[@]}" >> "$STATE/installed"
EOF
chmod +x "$bin/apt-get"
export PATH="$bin:$PATH"
for command in apt-get dpkg; do
  [ "$(command -v "$command")" = "$bin/$command" ] || { echo "check_setup: $command is not the stand-in" >&2; exit 1; }
done

failures=0
check() {  # what, condition...
  local what=$1
  shift
  if ! "$@"; then echo "check_setup: $what" >&2; failures=$((failures + 1)); fi
}
run() {  # mirror, command...: its output in $out, its status in $status
  export MIRROR=$1 STATE=$scratch/state-$1
  shift
  rm -rf "$STATE" "$top"/build* && mkdir "$STATE" && touch "$STATE/calls" "$STATE/installed"
  status=0
  out=$("$@" 2>&1) || status=$?
}
has() { grep -qxF -- "$1" "$2"; }
lacks() { ! has "$@"; }

# A mirror that answers: every suite runs, both Windows suites too, and the run ends 0.
both="windows: the 32-bit suite under Wine: 4 passed, 0 failed; the 64-bit suite under Wine: 4 passed, 0 failed"
run whole bash "$top/tools/test_all.sh"
check "whole mirror: status $status, not 0" [ "$status" = 0 ]
check "whole mirror: closing line '$(tail -n 1 <<<"$out")'" [ "$(tail -n 1 <<<"$out")" = "tests: 20 passed, 0 failed" ]
check "whole mirror: the suites' line '$(tail -n 2 <<<"$out" | head -n 1)'" [ "$(tail -n 2 <<<"$out" | head -n 1)" = "$both" ]
for package in wine32:i386 wine64 g++-mingw-w64-x86-64-posix; do
  check "whole mirror: $package not installed" has "$package" "$STATE/installed"
done
check "whole mirror: an i386 root was made" lacks "wine32_root make" "$STATE/calls"
check "whole mirror: the 32-bit tests not built" has "windows_build " "$STATE/calls"
check "whole mirror: no wait for apt's lock" grep -q "another apt holds the package lists; waiting" <<<"$out"
phases='package installation|native build|native tests|sanitizer build|sanitizer tests|fuzz targets|windows build \(32-bit\)|windows tests \(32-bit\)|windows build \(64-bit\)|windows tests \(64-bit\)'
check "whole mirror: each phase's time not said" grep -qE "^times: (($phases) [0-9]+:[0-9]{2}; ){10}in all [0-9]+:[0-9]{2}\$" <<<"$out"

# The i386 security list refused: all else installed, and Wine's 32-bit side from the i386 root runs the
# 32-bit Windows tests; every suite runs, the run ends 0 and a line says where Wine came from and why.
ROOT=made run i386 bash "$top/tools/test_all.sh"
check "i386 refused, root made: status $status, not 0" [ "$status" = 0 ]
check "i386 refused, root made: closing line '$(tail -n 1 <<<"$out")'" [ "$(tail -n 1 <<<"$out")" = "tests: 20 passed, 0 failed" ]
check "i386 refused, root made: the suites' line '$(tail -n 2 <<<"$out" | head -n 1)'" [ "$(tail -n 2 <<<"$out" | head -n 1)" = "$both" ]
check "i386 refused, root made: the root's cause not said" grep -qF "note: the 32-bit Windows tests ran with Wine's 32-bit side from a Debian i386 root, as wine32:i386 cannot be installed: the mirror refused the package list http://deb.debian.org/debian-security bookworm-security/main i386 Packages" <<<"$out"

# The same, and the root cannot be made either: the native suites, the sanitizers, the fuzz targets, both
# Windows builds and the 64-bit Windows tests run, and the run ends 3 naming what did not run, the list and
# the mirror's words.
ROOT=refused run i386 bash "$top/tools/test_all.sh"
check "i386 refused: status $status, not 3" [ "$status" = 3 ]
refusal='wine32:i386 cannot be installed: the mirror refused the package list http://deb.debian.org/debian-security'
refusal+=' bookworm-security/main i386 Packages ("File has unexpected size (374820 != 376004). Mirror sync in progress?")'
expected="tests: 16 passed, 0 failed; not run: the 32-bit Windows tests under Wine, as $refusal; run again once the mirror has synced"
check "i386 refused: closing line '$(tail -n 1 <<<"$out")'" [ "$(tail -n 1 <<<"$out")" = "$expected" ]
expected="windows: the 32-bit suite was not run, as $refusal; the 64-bit suite under Wine: 4 passed, 0 failed"
check "i386 refused: the suites' line '$(tail -n 2 <<<"$out" | head -n 1)'" [ "$(tail -n 2 <<<"$out" | head -n 1)" = "$expected" ]
check "i386 refused: wine32:i386 installed" lacks wine32:i386 "$STATE/installed"
for package in cmake xvfb clang gcc-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64; do
  check "i386 refused: $package not installed" has "$package" "$STATE/installed"
done
check "i386 refused: not the 32-bit program alone built" has "windows_build --program" "$STATE/calls"
check "i386 refused: no i386 root tried" has "wine32_root make" "$STATE/calls"
# The main job's installation needs nothing of that list.
run i386 bash "$top/tools/install_packages.sh" native
check "i386 refused: the native installation ended $status" [ "$status" = 0 ]

# A kernel that starts no 32-bit program: nothing of Wine's 32-bit side is installed, so that a refused
# i386 list does not matter; both Windows programs are built, the 64-bit suite runs, the 32-bit one is not
# tried (nor a root), and the run ends with the status of the suites that ran, the line before the last
# saying why.
for mirror in whole i386; do
  NO_32BIT=1 run $mirror bash "$top/tools/test_all.sh"
  check "no 32-bit programs, $mirror: status $status, not 0" [ "$status" = 0 ]
  check "no 32-bit programs, $mirror: closing line '$(tail -n 1 <<<"$out")'" [ "$(tail -n 1 <<<"$out")" = "tests: 16 passed, 0 failed" ]
  check "no 32-bit programs, $mirror: wine32:i386 installed" lacks wine32:i386 "$STATE/installed"
  check "no 32-bit programs, $mirror: wine64 not installed" has wine64 "$STATE/installed"
  check "no 32-bit programs, $mirror: not the 32-bit program alone built" has "windows_build --program" "$STATE/calls"
  check "no 32-bit programs, $mirror: the 64-bit tests not built" has "windows_build --64" "$STATE/calls"
  check "no 32-bit programs, $mirror: a root was tried" lacks "wine32_root make" "$STATE/calls"
  expected="windows: the 32-bit suite was not run, as this machine's kernel runs no 32-bit program (\"32-bit emulation"
  expected+=" disabled. You can reenable with ia32_emulation=on\"): its program is built, and its tests run on a machine"
  expected+=" whose kernel has its 32-bit support; the 64-bit suite under Wine: 4 passed, 0 failed"
  check "no 32-bit programs, $mirror: the suites' line '$(tail -n 2 <<<"$out" | head -n 1)'" [ "$(tail -n 2 <<<"$out" | head -n 1)" = "$expected" ]
done

# A list that a native package needs refused: nothing is built and the run ends 2, as it always did.
run amd64 bash "$top/tools/test_all.sh"
check "amd64 refused: status $status, not 2" [ "$status" = 2 ]
check "amd64 refused: cmake not named" grep -q '^install_packages: cmake cannot be installed: the mirror refused' <<<"$out"
check "amd64 refused: something was built" [ ! -s "$STATE/calls" ]

check "a path pasted into shell code ran a command" [ ! -e "$top/ran" ]

# The i386 root's script (debootstrap and apt stood in, the stand-in of sleep above no longer on PATH)
# removes only a root, a half-made one or an empty folder, and refuses a folder of files by either name.
PATH=${PATH#"$bin:"} roots=$scratch/roots
mkdir -p "$roots/bin" "$roots/a/docs" "$roots/b.new" "$roots/c" "$roots/c.new"
touch "$roots/a/docs/x" "$roots/b.new/x" "$roots/c.new/.made-unfinished" "$roots/c.new/half"
stub "$roots/bin/apt-get" '[ "$1" != indextargets ] || echo http://deb.example/debian/'
stub "$roots/bin/debootstrap" 'mkdir -p "$4"'
stub "$roots/bin/unshare" '[ "$2" != debootstrap ] || { shift; exec "$@"; }'
stub "$roots/bin/id" 'echo 0'
make_root() { status=0 && out=$(PATH="$roots/bin:$PATH" VELK_WINE32_ROOT=$roots/$1 "$tools/wine32_root.sh" make 2>&1) || status=$?; }
for name in a b; do
  make_root $name
  check "a folder of files taken for a root ($status): $out" grep -qF "is neither an i386 root (it has no .made-* stamp) nor an empty folder, so it is left as it is: remove it yourself if it is what is left of a root, or name another folder in VELK_WINE32_ROOT" <<<"$out"
done
check "a folder of files was removed" test -f "$roots/a/docs/x" -a -f "$roots/b.new/x"
make_root c
check "a half-made root not replaced ($status): $out" test -n "$(compgen -G "$roots/c/.made-[0-9]*")" -a ! -e "$roots/c/half"

apart() { "$@" </dev/null >/dev/null 2>&1 & echo $!; }  # never reported by this shell when killed
# shellcheck disable=SC2010  # the names below /proc are numbers
in_namespace() { ls -l /proc/[0-9]*/task/[0-9]*/ns/mnt 2>/dev/null | grep -F " -> $1" | sed 's|.*/proc/\([0-9]*\)/.*|\1|' | uniq; }

# The holder run by hand, in this shell's namespace, refuses before it mounts or marks anything: its end
# would kill every process of the namespace.
status=0 && out=$(VELK_WINE32_ROOT=$roots/none "$tools/wine32_root.sh" hold "$roots/mark" $$ 2>&1) || status=$?
check "the holder ran outside its namespace ($status): $out" test "$status" = 1 -a ! -e "$roots/mark"
check "the holder's refusal: $out" grep -qF '"hold" runs only in the mount namespace that "open" makes for it' <<<"$out"

# Where this is root, the namespace of a root without Wine (a folder): a small disk mounted below a
# folder bound into it shows there, and nothing is mounted outside; the owner killed, a process in it
# ends with the holder, another stays, and the mark goes.
if [ "$(id -u)" = 0 ] && unshare --mount true 2>/dev/null; then
  mkdir -p "$roots/bare/proc" "$roots/bare/dev" "$roots/disk"
  owner=$(apart sleep 600) other=$(apart sleep 600)
  unshare --mount sh -c 'mount -t tmpfs velk-check "$0" && touch "$0/below" && exec "$@"' "$roots/disk" \
    env VELK_WINE32_ROOT="$roots/bare" "$tools/wine32_root.sh" open "$roots/bare-open" "$owner" "$roots"
  holder=$(cat "$roots/bare-open/holder") && namespace=$(readlink "/proc/$holder/ns/mnt")
  check "the binds are not recursive" nsenter --mount="/proc/$holder/ns/mnt" test -e "$roots/bare$roots/disk/below"
  check "the root's binds are the machine's" test ! -e "$roots/bare$roots/disk/below" -a ! -e "$roots/bare/dev/null"
  inside=$(apart nsenter --mount="/proc/$holder/ns/mnt" sleep 600)
  for _ in $(seq 100); do [ "$(in_namespace "$namespace" | grep -cx "$inside")" = 1 ] && break; sleep 0.1; done
  kill -KILL "$owner"
  for _ in $(seq 100); do [ -z "$(in_namespace "$namespace")" ] && break; sleep 0.1; done
  check "the bare namespace outlived its owner: $(in_namespace "$namespace" | tr '\n' ' ')" [ -z "$(in_namespace "$namespace")" ]
  check "a process outside the namespace ended with it, or its mark is left" test -d "/proc/$other" -a ! -e "$roots/bare-open/holder"
  kill "$other"
fi

# The made root under a path holding shell code: the wrappers run its Wine; the process the namespace
# is held for killed, every process with a thread in it ends (the Wine server and a program whose first
# thread has ended), the wrappers refuse, and close removes the mark, signalling no other process.
if "$tools/wine32_root.sh" usable; then
  ln -s "$(realpath "${VELK_WINE32_ROOT:-$HOME/.cache/velk-wine32-root}")" "$roots/real's \$(touch ran)"
  owner=$(apart sleep 600)
  VELK_WINE32_ROOT="$roots/real's \$(touch ran)" "$tools/wine32_root.sh" open "$roots/open" "$owner"
  holder=$(cat "$roots/open/holder") && namespace=$(readlink "/proc/$holder/ns/mnt") && mkdir "$roots/prefix"
  out=$(cd "$roots" && open/wine --version 2>&1 && WINEPREFIX="$roots/prefix" open/wineserver -p >/dev/null 2>&1) || true
  check "the wrappers: '$out', or the root's path ran" test "${out#wine-}" != "$out" -a ! -e "$roots/ran"
  printf '#include <pthread.h>\n#include <unistd.h>\nstatic void *nap(void *a) { sleep(600); return a; }\n%s\n' \
    'int main(void) { pthread_t t; pthread_create(&t, 0, nap, 0); pthread_exit(0); }' | cc -x c -pthread -o "$roots/first-ends" -
  first=$(apart nsenter --mount="/proc/$holder/ns/mnt" -- "$roots/first-ends")
  for _ in $(seq 100); do [ "$(in_namespace "$namespace" | grep -cx "$first")" = 1 ] && break; sleep 0.1; done
  check "no Wine server in the namespace" grep -qx "wineserver.*" <(for pid in $(in_namespace "$namespace"); do cat "/proc/$pid/comm"; done)
  kill -KILL "$owner"
  for _ in $(seq 100); do [ -z "$(in_namespace "$namespace")" ] && break; sleep 0.1; done
  check "the namespace outlived its owner: $(in_namespace "$namespace" | tr '\n' ' ')" [ -z "$(in_namespace "$namespace")" ]
  status=0 && out=$("$roots/open/wine" --version 2>&1) || status=$?
  check "a wrapper after the end ($status): $out, or the mark is left" test "$status" = 1 -a ! -e "$roots/open/holder"
  other=$(apart sleep 600)
  for pid in "$holder" "$other"; do
    echo "$pid" >"$roots/open/holder"
    status=0 && "$tools/wine32_root.sh" close "$roots/open" || status=$?
    check "closing a mark of process $pid: status $status" test "$status" = 0 -a ! -e "$roots/open/holder"
  done
  check "closing a mark of another process ended it" grep -q '^State:.*sleeping' "/proc/$other/status"
  kill "$other"
else
  echo "check_setup: the i386 root's namespace is not checked: no root is made, or this is not root"
fi

[ "$failures" = 0 ] || exit 1
echo "check_setup: passed"
