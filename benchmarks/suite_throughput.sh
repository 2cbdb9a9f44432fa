#!/usr/bin/env bash
# How many scripts a second dravik-sim --check runs on this machine: the
# examples (examples/*.txt with their pictures), each copied REPEAT times
# (default 100) into a folder of its own, run as one suite with -j 1 and
# with -j of every processor.  Run by hand, never by ctest:
#
#   benchmarks/suite_throughput.sh [BUILD_DIR] [REPEAT]
#
# Prints one line for each: scripts, seconds, scripts per second.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
repeat="${2:-100}"
sim="$build/bin/dravik-sim"
[ -x "$sim" ] || { echo "suite_throughput.sh: no $sim (scripts/build.sh $build first)" >&2; exit 2; }

work="$(mktemp -d "${TMPDIR:-/tmp}/dravik-suite-bench-XXXXXX")"
trap 'rm -rf "$work"' EXIT
for ((i = 1; i <= repeat; i++)); do
  mkdir -p "$work/suite/$i"
  cp "$here"/examples/*.txt "$here"/examples/*.png "$work/suite/$i/"
done
scripts=$(find "$work/suite" -name '*.txt' | wc -l)
cores="$(nproc)"

echo "dravik-sim --check: the examples $repeat times ($scripts scripts) on $cores processors"
for jobs in 1 "$cores"; do
  start=$(date +%s.%N)
  (cd "$work" && "$sim" --check suite -j "$jobs" > "$work/out-$jobs.txt") ||
    { echo "suite_throughput.sh: the suite did not hold:" >&2; tail -3 "$work/out-$jobs.txt" >&2; exit 1; }
  end=$(date +%s.%N)
  awk -v j="$jobs" -v n="$scripts" -v s="$start" -v e="$end" \
    'BEGIN { printf "  -j %-3s %5d scripts in %6.2f s: %7.1f scripts/s\n", j, n, e - s, n / (e - s) }'
done
