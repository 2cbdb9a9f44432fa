#!/usr/bin/env bash
# Runs every test: checks that the simulated device's core includes only
# downwards (scripts/check-layers.py), builds and tests as shipped, again
# with AddressSanitizer and UndefinedBehaviorSanitizer, compiles the program's
# own sources for Windows with the mingw-w64 cross compiler (checking what
# they import, and what the simulator's windows.h declares, against the export
# lists of the device's system libraries in scripts/exports/), and runs the
# plain-Win32 window, registry and file tests on Wine as well
# (scripts/wine-tests.sh).  The examples run as a suite once more, leaving
# their report in ci-report/.
#
# Most tests wait on the simulator's processes, the Xvfb server or the device
# window's real clock rather than compute, so ctest runs four at a time.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/bootstrap.sh" test

echo "== The core's layers"
python3 "$here/scripts/check-layers.py"

echo "== Windows compile of the program, and the functions it imports against the device's exports"
"$here/scripts/check-windows-build.sh"

echo "== Build and test as shipped"
"$here/scripts/build.sh" "$here/build"
ctest --test-dir "$here/build" --output-on-failure -j4

echo "== The examples as a suite (the report in ci-report/, JUnit in ci-report.xml)"
(cd "$here" && build/bin/dravik-sim --check examples --report ci-report --junit ci-report.xml)

echo "== A copied checkout, its build folder with it, configures afresh and builds"
copy="$(mktemp -d)"
trap 'rm -rf "$copy"' EXIT
tar -C "$here" --exclude='./build*' --exclude='./.git' -cf - . | tar -C "$copy" -xf -
mkdir "$copy/build" && cp "$here/build/CMakeCache.txt" "$copy/build/"
"$copy/scripts/build.sh" "$copy/build" --target dravik_res 2>"$copy/build.err" >/dev/null
grep -q "configuring it afresh" "$copy/build.err"
test -s "$copy/build/program/resources/dravik.res"
rm -rf "$copy"

echo "== The simulator's plain-Win32 tests on Wine"
"$here/scripts/wine-tests.sh" "$here/build-wine"

echo "== Build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
"$here/scripts/build.sh" "$here/build-asan" -DDRAVIK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$here/build-asan" --output-on-failure -j4
