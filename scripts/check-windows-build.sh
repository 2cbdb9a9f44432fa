#!/usr/bin/env bash
# Compiles the program's own sources as Windows code against the mingw-w64
# Windows headers (CE-only interfaces come from platform/ce_api.h).  Compile
# only: nothing is linked.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cxx=i686-w64-mingw32-g++  # 32-bit, like the device
status=0
for dir in app app/catalogue tests device platform; do
  for src in "$here/$dir"/*.cpp; do
    [ -e "$src" ] || continue
    $cxx -std=c++17 -fsyntax-only -Wall -Werror -DUNICODE -D_UNICODE \
      -I"$here" -I"$here/resources" "$src" || status=1
  done
done
[ $status -eq 0 ] && echo "Windows compile: ok"
exit $status
