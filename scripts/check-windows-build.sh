#!/usr/bin/env bash
# Compiles the program's own sources as Windows code against the mingw-w64
# Windows headers (CE-only interfaces come from program/platform/ce_api.h).  Compile
# only: nothing is linked.
#
# The Windows headers are most of the work, so platform/win32.h is
# precompiled once and every source is checked in one compiler call.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cxx=i686-w64-mingw32-g++  # 32-bit, like the device
flags=(-std=c++17 -Wall -Werror -DUNICODE -D_UNICODE -I"$here/program" -I"$here/program/resources")

sources=()
for dir in app app/catalogue tests device platform; do
  for src in "$here/program/$dir"/*.cpp; do
    [ -e "$src" ] && sources+=("$src")
  done
done

pch="$(mktemp -d)"
trap 'rm -rf "$pch"' EXIT
echo '#include "platform/win32.h"' > "$pch/windows_pch.h"
$cxx "${flags[@]}" -x c++-header "$pch/windows_pch.h" -o "$pch/windows_pch.h.gch"

status=0
(cd "$pch" && $cxx "${flags[@]}" -Winvalid-pch -include "$pch/windows_pch.h" -c "${sources[@]}") || status=1
objects=("$pch"/*.o)
if [ $status -eq 0 ] && [ ${#objects[@]} -ne ${#sources[@]} ]; then
  echo "Windows compile: ${#sources[@]} sources made ${#objects[@]} objects: two sources share a file name"
  status=1
fi
[ $status -eq 0 ] && echo "Windows compile: ok (${#sources[@]} files)"
[ $status -eq 0 ] && { "$here/scripts/check-exports.sh" "$pch" || status=1; }
exit $status
