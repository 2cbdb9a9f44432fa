#!/usr/bin/env bash
# Configures and builds one build tree:
#   scripts/build.sh DIR [--target NAME]... [cmake options...]
# Without --target everything is built.  A build folder made for another
# source folder (a moved or copied checkout) is configured afresh.
#
# Compiles go through ccache when it is installed.  Its cache lives in
# ~/.cache/ccache (or $CCACHE_DIR), shared by every checkout and CI run on
# this machine; CCACHE_DISABLE=1 builds without it.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
dir="$1"; shift
targets=() options=()
while [ $# -gt 0 ]; do
  if [ "$1" = "--target" ] && [ $# -gt 1 ]; then targets+=(--target "$2"); shift 2
  else options+=("$1"); shift; fi
done
. "$here/scripts/build-dir.sh"
forget_other_source "$dir" "$here"
launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_DIR="${CCACHE_DIR:-$HOME/.cache/ccache}"
  # Paths inside the checkout count as relative, so that another checkout of
  # the same sources (CI's clean one) finds the same entries.
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$here}" CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
cmake -S "$here" -B "$dir" -G Ninja "${launcher[@]}" "${options[@]}" >/dev/null
cmake --build "$dir" "${targets[@]}"
