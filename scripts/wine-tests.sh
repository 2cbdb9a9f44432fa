#!/usr/bin/env bash
# Runs the window-system and storage tests that speak plain Win32 on Wine:
# builds them for 64-bit Windows with mingw-w64 (autotests/wine), then runs
# the .exe under wine64 in a 240 x 320 Wine desktop on a private Xvfb
# server.  The same tests run against the simulator in sim_tests; here
# they check that the expectations hold on another Win32.
#
#   scripts/wine-tests.sh [BUILD_DIR] [--gtest_filter=...]
#
# Exit code 0 when every test passed, 1 otherwise.  The Wine prefix lives in
# BUILD_DIR/prefix (made on the first run, about half a minute).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$here/build-wine"
if [ $# -gt 0 ] && [ "${1#--}" = "$1" ]; then build="$(realpath -m "$1")"; shift; fi

. "$here/scripts/build-dir.sh"
forget_other_source "$build" "$here/autotests/wine"
cmake -S "$here/autotests/wine" -B "$build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$here/autotests/wine/mingw-x86_64.cmake" >/dev/null
cmake --build "$build" --target win32_tests

wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
export WINEPREFIX="$build/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64

# A private X server, on the first free display number.
fifo="$(mktemp -u)"
mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 240x320x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r display <"$fifo"
rm -f "$fifo"
export DISPLAY=":$display"
cleanup() {
  "$(dirname "$wine")/wineserver" -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== Making the Wine prefix in $WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1
fi

log="$build/win32_tests.log"
echo "== The plain-Win32 tests on Wine"
# The tests run inside a Wine desktop the size of the device's screen; the
# desktop does not pass the program's exit code on, so its summary decides.
timeout 600 "$wine" explorer /desktop=dravik,240x320 "$build/win32_tests.exe" "$@" 2>&1 | tee "$log" || true
if ! grep -q '^\[==========\] .* ran\.' "$log"; then
  echo "Wine run: the test program did not finish"
  exit 1
fi
if grep -q '^\[  FAILED  \]' "$log" || ! grep -q '^\[  PASSED  \]' "$log"; then
  echo "Wine run: failed (see $log)"
  exit 1
fi
echo "Wine run: ok"
