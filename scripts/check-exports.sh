#!/usr/bin/env bash
# The program may call only what the device's system libraries export, and
# the simulated device's windows.h (with program/platform/ce_api.h)
# may declare as functions only what they export.  The export lists are in
# scripts/exports/ (coredll, aygshell, gx, toolhelp, ceddk), each with the
# public pages it was taken from; device-headers.txt names the functions the
# device's headers define over other exports.
#
#   scripts/check-exports.sh OBJECT_DIR
#
# OBJECT_DIR holds the program's objects from the 32-bit mingw-w64 compile
# (scripts/check-windows-build.sh): what they import is what the program
# calls.  A declaration that is the simulator's own, with no counterpart on
# the device, carries the comment "the simulator's own" on its line.
# Prints the figures; exit 1 naming every function not found.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
objects="${1:?usage: check-exports.sh OBJECT_DIR}"
lists="$here/scripts/exports"
nm=i686-w64-mingw32-nm
demangle=i686-w64-mingw32-c++filt

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

names() { cat "$@" | grep -v '^#' | awk 'NF { print $1 }'; }
names "$lists"/{coredll,aygshell,gx,toolhelp,ceddk}.txt | sort -u >"$work/exports"
grep -v '^#' "$lists/device-headers.txt" | awk 'NF == 2 { print $1, $2 }' >"$work/headers"

# --- what the program imports: undefined in its objects and defined in none
"$nm" --defined-only "$objects"/*.o | awk 'NF == 3 { print $3 }' | sort -u >"$work/defined"
"$nm" -u "$objects"/*.o | awk 'NF == 2 { print $2 }' | sort -u >"$work/undefined"
comm -23 "$work/undefined" "$work/defined" >"$work/imported"
# Plain names: C++ ones demangled (gx.dll's), the import prefix and the
# stdcall suffix dropped.  Names the compiler keeps for itself (two leading
# underscores) are its own runtime, linked into the program.
{
  grep '^__Z' "$work/imported" | "$demangle" | sed 's/(.*//' || true
  grep -v '^__Z' "$work/imported" | sed -E 's/^__imp_//; s/^_//; s/@[0-9]+$//' || true
} | sort -u >"$work/plain"
grep -v '^__' "$work/plain" >"$work/imports" || true
compilers=$(grep -c '^__' "$work/plain" || true)

# --- what the simulator's windows.h and the program's ce_api.h declare
windows_h="$here/sim/include/windows.h"
ce_api_h="$here/program/platform/ce_api.h"
declared() {
  # Functions: exported ones (WINAPI_EXPORT, CE_API, GAPI's), and the C
  # runtime's section of windows.h.  Inline definitions are no imports.
  awk '
    /^\/\/ -+ / { runtime = ($0 ~ /C runtime/) }
    /inline / { next }
    /^(WINAPI_EXPORT|CE_API) / || /^[A-Za-z_][A-Za-z0-9_]*\** +\**GX[A-Za-z]+\(/ ||
        (runtime && /^[A-Za-z_][A-Za-z0-9_ ]*[ *]+[a-z_][A-Za-z0-9_]*\(.*\);/) {
      line = $0
      sub(/\(.*/, "", line)
      n = split(line, words, /[ *]+/)
      print words[n], ($0 ~ /the simulator.s own/) ? "own" : "device"
    }' "$@"
}
declared "$windows_h" "$ce_api_h" | sort -u >"$work/declared"

status=0
found=0 through_headers=0
while read -r name; do
  if grep -qx "$name" "$work/exports"; then
    found=$((found + 1))
    continue
  fi
  target=$(awk -v n="$name" '$1 == n { print $2 }' "$work/headers")
  if [ -n "$target" ] && { [ "$target" = "-" ] || grep -qx "$target" "$work/exports"; }; then
    through_headers=$((through_headers + 1))
    continue
  fi
  echo "The program calls $name, which no library of the device exports"
  status=1
done <"$work/imports"
imports=$(wc -l <"$work/imports")

declared_count=0 declared_found=0 own=0
while read -r name kind; do
  declared_count=$((declared_count + 1))
  if [ "$kind" = own ]; then
    own=$((own + 1))
  elif grep -qx "$name" "$work/exports"; then
    declared_found=$((declared_found + 1))
  else
    target=$(awk -v n="$name" '$1 == n { print $2 }' "$work/headers")
    if [ -n "$target" ]; then
      echo "windows.h or ce_api.h declares $name as a function; the device's headers define it over $target"
    else
      echo "windows.h or ce_api.h declares $name, which no library of the device exports"
    fi
    status=1
  fi
done <"$work/declared"

echo "Exports: the program imports $imports functions ($found exported, $through_headers through the" \
  "device's headers; $compilers symbols of the compiler's own runtime left aside); windows.h and ce_api.h" \
  "declare $declared_count ($declared_found exported, $own marked as the simulator's own);" \
  "the lists hold $(wc -l <"$work/exports") exports"
exit $status
