#!/usr/bin/env bash
# Hours of random use, hostile input files and pulled batteries, under
# AddressSanitizer and UndefinedBehaviorSanitizer (the long run also gives
# most stress seeds to the build as shipped, which does them 15 times faster):
#
#   the stress user   dravik-sim --stress 1000 over many seeds, on a healthy
#                     device and on every fault profile in
#                     scripts/stress-profiles/
#   the fuzzers       every reader of outside input (fuzz/), fed from the
#                     examples, the factory image and the build's .res
#   the kill test     the simulator killed at random moments of runs that
#                     write the registry and files (PulledBattery tests)
#
#   scripts/stress.sh --hours 1          run for an hour (or --minutes M)
#   scripts/stress.sh --ci               the bounded share that .ci/run runs
#   options: --jobs N (default: the processor count), --out DIR (default
#            stress-out/: findings, the grown fuzz corpora, logs)
#
# Prints the totals (actions, fuzz executions, kills, findings) and exits 1
# when anything was found.  A finding of the stress user is its shortest
# script with the state folder it starts from; of a fuzzer the input that
# broke the reader (copy it into fuzz/regressions/READER/ once fixed).
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"

seconds=3600
ci=false
jobs="$(nproc)"
out="$here/stress-out"
while [ $# -gt 0 ]; do
  case "$1" in
    --hours) seconds=$(awk -v h="$2" 'BEGIN { printf "%d", h * 3600 }'); shift 2 ;;
    --minutes) seconds=$(awk -v m="$2" 'BEGIN { printf "%d", m * 60 }'); shift 2 ;;
    --ci) ci=true; shift ;;
    --jobs) jobs="$2"; shift 2 ;;
    --out) out="$2"; shift 2 ;;
    -h|--help) sed -n '2,24p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "stress.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
done
case "$seconds" in ''|*[!0-9]*) echo "stress.sh: --hours and --minutes take a number" >&2; exit 2 ;; esac
[ "$jobs" -ge 1 ] 2>/dev/null || { echo "stress.sh: --jobs takes a whole number from 1" >&2; exit 2; }

"$here/scripts/bootstrap.sh"
# clang with its fuzzer runtime, for the fuzz build.
if ! command -v clang++ >/dev/null || ! echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
     clang++ -x c++ -fsanitize=fuzzer - -o /dev/null 2>/dev/null; then
  sudo=""; [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends clang
  major="$(clang++ --version | sed -n 's/.*clang version \([0-9]*\).*/\1/p' | head -1)"
  $sudo apt-get install -y -qq --no-install-recommends "libclang-rt-$major-dev" || true
fi

shipped="$here/build"
asan="$here/build-asan"
fuzzb="$here/build-fuzz"
echo "== Building with the sanitizers ($asan) and the fuzz targets with clang ($fuzzb)"
cmake -S "$here" -B "$asan" -G Ninja -DDRAVIK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$asan" --target dravik-sim device_tests
if ! $ci; then
  cmake -S "$here" -B "$shipped" -G Ninja >/dev/null
  cmake --build "$shipped" --target dravik-sim
fi
readers=(script profile registry resources dib wav shortcut picture)
cmake -S "$here" -B "$fuzzb" -G Ninja -DDRAVIK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$fuzzb" --target $(printf 'fuzz_%s ' "${readers[@]}") orvexutil dravik_res

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:${ASAN_OPTIONS:-}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:${UBSAN_OPTIONS:-}"
sim="$asan/bin/dravik-sim"
mkdir -p "$out/findings" "$out/logs"
work="$(mktemp -d "${TMPDIR:-/tmp}/dravik-stress-run-XXXXXX")"
trap 'rm -rf "$work"' EXIT

# ---------------------------------------------------------------- seeds
# The committed seeds, the examples (scripts and their pictures), the
# factory image (registry, alarm sound), a registry and screenshots after a
# whole run, the build's .res and its bitmaps.
seed_corpora() {
  local factory="$work/factory"
  printf '\n' > "$work/empty.txt"
  "$sim" --state "$factory" --script "$work/empty.txt" >/dev/null 2>&1 || true
  "$sim" --state "$work/after-run" --script "$here/examples/full-run.txt" --screenshots "$work/shots" \
    --profile "$here/fuzz/corpus/profile/every-key.json" >/dev/null 2>&1 || true
  for r in "${readers[@]}"; do
    mkdir -p "$out/corpus/$r"
    cp -n "$here/fuzz/corpus/$r/"* "$out/corpus/$r/" 2>/dev/null || true
  done
  cp -n "$here"/examples/*.txt "$out/corpus/script/"
  cp -n "$here"/scripts/stress-profiles/*.json "$out/corpus/profile/"
  # Pictures of the screen: the examples' expected ones and the run's own.
  for png in "$here"/examples/*.png "$work"/shots/*.png; do
    [ -f "$png" ] && cp -n "$png" "$out/corpus/picture/"
  done
  [ -f "$factory/registry.reg" ] && cp "$factory/registry.reg" "$out/corpus/registry/factory.reg"
  [ -f "$work/after-run/registry.reg" ] && cp "$work/after-run/registry.reg" "$out/corpus/registry/after-run.reg"
  [ -f "$factory/store/Windows/Alarm3.WAV" ] && cp "$factory/store/Windows/Alarm3.WAV" "$out/corpus/wav/alarm3.wav"
  cp "$fuzzb/program/resources/dravik.res" "$out/corpus/resources/dravik.res"
  for bmp in "$fuzzb"/program/resources/art/*.bmp "$here"/autotests/sim/fixtures/*.bmp; do
    [ -f "$bmp" ] && tail -c +15 "$bmp" > "$out/corpus/dib/$(basename "$bmp" .bmp).dib"
  done
  # The resource files of the tests, when built.
  for res in "$fuzzb"/autotests/*.res "$asan"/autotests/*.res; do
    [ -f "$res" ] && cp "$res" "$out/corpus/resources/"
  done
  return 0
}

# ---------------------------------------------------------------- the three
actions=0; executions=0; kills=0; findings=0
declare -A seen
profiles=(healthy)
for p in "$here"/scripts/stress-profiles/*.json; do profiles+=("$p"); done
next_seed=1

# One stress run: simulator, seed, profile; prints "ACTIONS FOUND".
stress_one() {
  local sim="$1" count="$2" seed="$3" profile="$4"
  [ "$profile" = healthy ] && profile=""
  local dir="$work/stress-$seed"
  rm -rf "$dir"; mkdir -p "$dir"
  local args=(--state "$dir/state" --stress "$count" --seed "$seed" --journal "$dir/journal.jsonl"
              --screenshots "$dir/shots")
  [ -n "$profile" ] && args+=(--profile "$profile")
  local code=0
  (cd "$dir" && "$sim" "${args[@]}" >"$dir/out" 2>"$dir/err") || code=$?
  local done_count
  done_count=$(sed -n 's/.*: \([0-9]*\) actions, nothing violated.*/\1/p; s/.*after action \([0-9]*\) of .*/\1/p' \
               "$dir/out" "$dir/err" | head -1)
  if [ "$code" -ne 0 ]; then
    local name="stress-seed-$seed-$(basename "${profile:-healthy}" .json)"
    mkdir -p "$out/findings/$name"
    cp -r "$dir"/stress-seed-* "$dir/err" "$out/findings/$name/" 2>/dev/null || cp "$dir/err" "$out/findings/$name/"
    [ -n "$profile" ] && cp "$profile" "$out/findings/$name/profile.json"
    echo "FINDING $name: $(grep -m1 'stress seed' "$dir/err" || tail -1 "$dir/err")" >&2
    echo "${done_count:-0} 1"
  else
    echo "${done_count:-0} 0"
  fi
  rm -rf "$dir"
}
export -f stress_one
export work out

# RUNS runs of COUNT actions with the simulator SIM, each with the next
# seed and the next profile in turn.
stress_batch() {
  local sim="$1" runs="$2" count="$3" results="$work/batch"
  : > "$results"
  for ((i = 0; i < runs; i++)); do
    echo "$next_seed ${profiles[$((next_seed % ${#profiles[@]}))]}"
    next_seed=$((next_seed + 1))
  done | xargs -P "$jobs" -n 2 bash -c 'stress_one "'"$sim"'" '"$count"' "$0" "$1"' >> "$results"
  local a f
  a=$(awk '{ s += $1 } END { print s + 0 }' "$results")
  f=$(awk '{ s += $2 } END { print s + 0 }' "$results")
  actions=$((actions + a)); findings=$((findings + f))
  echo "   stress ($(basename "$(dirname "$(dirname "$sim")")")): $runs runs, $a actions, $f findings"
}

fuzz_round() {
  local secs="$1" r log pids=() n=0
  for r in "${readers[@]}"; do
    log="$out/logs/fuzz-$r.log"
    (
      code=0
      dict=(); [ -f "$here/fuzz/dict/$r.dict" ] && dict=(-dict="$here/fuzz/dict/$r.dict")
      # A crash does not end the search: each one is kept and the fuzzer goes on.
      "$fuzzb/bin/fuzz_$r" "$out/corpus/$r" "${dict[@]}" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 \
        -ignore_ooms=1 -max_total_time="$secs" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
        -print_final_stats=1 -artifact_prefix="$out/findings/fuzz-$r-" >"$log" 2>&1 || code=$?
      echo "$code" > "$log.code"
    ) &
    pids+=($!)
    n=$((n + 1))
    if [ "$n" -ge "$jobs" ]; then wait "${pids[0]}"; pids=("${pids[@]:1}"); n=$((n - 1)); fi
  done
  wait
  for r in "${readers[@]}"; do
    log="$out/logs/fuzz-$r.log"
    local e crashes
    # Executions: the last "#N:" line of the fork mode.
    e=$(sed -n 's/^#\([0-9]*\):.*/\1/p' "$log" | tail -1)
    executions=$((executions + ${e:-0}))
    crashes=$(ls "$out/findings" | grep -c "^fuzz-$r-\(crash\|leak\|timeout\|oom\)" || true)
    local new=$((crashes - ${seen[$r]:-0}))
    seen[$r]=$crashes
    if [ "$new" -gt 0 ] || { [ "$(cat "$log.code")" != "0" ] && ! grep -q "INFO: fuzzed for" "$log"; }; then
      # One finding per distinct fault, however many inputs show it.
      local faults
      faults=$(grep -E "what\(\)|SUMMARY: [A-Za-z]*Sanitizer|broke its promise|ERROR: libFuzzer: (timeout|out-of-memory)" \
                 "$log" | sed 's/0x[0-9a-f]*//g; s/==[0-9]*==//g' | sort -u)
      local distinct=0 fault
      touch "$work/faults.txt"
      while IFS= read -r fault; do
        [ -z "$fault" ] && continue
        grep -qxF -- "$fault" "$work/faults.txt" && continue
        printf '%s\n' "$fault" >> "$work/faults.txt"
        distinct=$((distinct + 1))
      done <<< "$faults"
      [ -z "$faults" ] && distinct=1
      findings=$((findings + distinct))
      cp "$log" "$out/findings/fuzz-$r-$(date +%s).log"
      echo "FINDING fuzz_$r: $new inputs showing:" >&2
      printf '%s\n' "$faults" | sed 's/^/    /' >&2
    fi
    echo "   fuzz_$r: ${e:-0} executions"
  done
}

kill_round() {
  local per_kind="$1" seed="$2" log="$out/logs/kills-$2.log" code=0
  DRAVIK_KILLS="$per_kind" DRAVIK_KILL_SEED="$seed" "$asan/bin/device_tests" \
    --gtest_filter='Runs/PulledBattery.*' >"$log" 2>&1 || code=$?
  local k
  k=$(sed -n 's/^\[ kills    \] \([0-9]*\) kills.*/\1/p' "$log" | awk '{ s += $1 } END { print s + 0 }')
  kills=$((kills + k))
  if [ "$code" -ne 0 ]; then
    findings=$((findings + 1))
    cp "$log" "$out/findings/"
    echo "FINDING kills: see $out/findings/$(basename "$log")" >&2
  fi
  echo "   kills: $k"
}

seed_corpora
start=$(date +%s)
if $ci; then
  echo "== The CI share: stress seeds, every fuzz target briefly, pulled batteries"
  stress_batch "$asan/bin/dravik-sim" "${DRAVIK_CI_STRESS_RUNS:-300}" "${DRAVIK_CI_STRESS_ACTIONS:-3000}"
  fuzz_round "${DRAVIK_CI_FUZZ_SECONDS:-12}"
  kill_round "${DRAVIK_CI_KILLS:-12}" 1
else
  deadline=$((start + seconds))
  round=1
  while [ "$(date +%s)" -lt "$deadline" ]; do
    echo "== Round $round ($(( ($(date +%s) - start) / 60 )) of $((seconds / 60)) minutes)"
    stress_batch "$shipped/bin/dravik-sim" $((jobs * 100)) 1000
    stress_batch "$asan/bin/dravik-sim" $((jobs * 2)) 1000
    left=$((deadline - $(date +%s)))
    fuzz_secs=$(( left / 8 < 60 ? left / 8 : 60 ))
    [ "$fuzz_secs" -ge 5 ] && fuzz_round "$fuzz_secs"
    [ "$(date +%s)" -lt "$deadline" ] && kill_round 15 "$round"
    round=$((round + 1))
  done
fi
elapsed=$(( $(date +%s) - start ))
echo "== Totals after $((elapsed / 60)) min $((elapsed % 60)) s: $actions stress actions, $executions fuzz executions," \
  "$kills kills, $findings findings (in $out/findings)"
[ "$findings" -eq 0 ]
