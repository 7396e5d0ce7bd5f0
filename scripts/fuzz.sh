#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang (AddressSanitizer, UndefinedBehaviorSanitizer, libFuzzer)
# and runs each for SECONDS (default 60) in one process, as many side by side as there are cores, from
# the committed corpus fuzz/corpus/<target>/ and seeds that the format writers and the shipped content
# make. Before the random run, every input of the committed corpus is run once: everything the fuzzers
# ever reached stays checked. A target is every fuzz/<name>.cpp but seeds.cpp. Prints per target the
# committed corpus's size, the executions, the coverage libFuzzer reports, the findings
# (crashes, sanitizer reports, leaks, timeouts past 25 s, memory past 2.5 GB), which are kept under
# <build>/findings/<target>/ and make the script fail, and in brackets the slow inputs (over 10 s, kept
# beside them), which are only reported: an input that drives a reader to its limits is slow under the
# sanitizers and coverage counters without being a fault.
#   scripts/fuzz.sh [SECONDS] [TARGET...]      e.g. scripts/fuzz.sh 300 tvo demo
#   QUORVEL_FUZZ_SEED=1 QUORVEL_FUZZ_RUNS=3000 scripts/fuzz.sh 3     a repeatable short check
#   QUORVEL_FUZZ_KEEP=1 scripts/fuzz.sh 3600 score     a long run whose finds are kept
# The build folder is build/fuzz-clang unless QUORVEL_FUZZ_BUILD names another; QUORVEL_FUZZ_OPTIMIZE=-O0
# builds it a third faster for a check of seconds (the default, -O1, runs faster). Each target's corpus
# grows in <build>/corpus/<target> from run to run; QUORVEL_FUZZ_KEEP=1 then minimises it together with
# the committed one and the seeds (-merge=1) into fuzz/corpus/<target>, ready to commit.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

seconds=${1:-60}
[ $# -gt 0 ] && shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*.cpp; do
    name=$(basename "$source" .cpp)
    [ "$name" != seeds ] && targets+=("$name")
  done
fi

build=${QUORVEL_FUZZ_BUILD:-build/fuzz-clang}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
CC=clang CXX=clang++ cmake -S fuzz -B "$build" -G Ninja "${launcher[@]}" \
  -DQUORVEL_FUZZ_OPTIMIZE="${QUORVEL_FUZZ_OPTIMIZE:--O1}" >/dev/null
cmake --build "$build" >/dev/null

# Seeds: files of each format, made by the writers or taken from content/, and the malformed files of
# the tests' catalogue, which sit right at the readers' error paths.
seeds="$build/seeds"
rm -rf "$seeds"
"$build/fuzz_seeds" "$seeds"
add_seeds() { # target, then files
  local target=$1
  shift
  mkdir -p "$seeds/$target"
  for file in "$@"; do
    [ -f "$file" ] && cp "$file" "$seeds/$target/"
  done
  return 0
}
shopt -s nullglob
add_seeds tvo tests/*/data/malformed/*.tvo
add_seeds demo tests/*/data/malformed/*.demo
add_seeds ipo tests/*/data/malformed/*.ipo
add_seeds effect content/fx/*.fx tests/*/data/malformed/*.fx
add_seeds materialScript content/*.efx content/fx/*.efx content/scenes/*/*.efx tests/*/data/malformed/*.efx
add_seeds obj tests/tools/data/obj/*.obj tests/*/data/malformed/*.obj
add_seeds score content/music/*.score tests/*/data/malformed/*.score
add_seeds sceneDescription content/scenes/*.lua tests/*/data/malformed/*.lua
shopt -u nullglob

# A dictionary of the format's words where it is text. The shipped score takes seconds to compose and
# play, so score inputs are cut to its first few kilobytes: its header, instruments and first pattern.
options() {
  case $1 in
    effect) echo "-dict=$root/fuzz/effect.dict" ;;
    materialScript | sceneDescription) echo "-dict=$root/fuzz/lua.dict" ;;
    obj) echo "-dict=$root/fuzz/obj.dict" ;;
    score) echo "-dict=$root/fuzz/score.dict -max_len=4096" ;;
  esac
}

# QUORVEL_FUZZ_SEED and QUORVEL_FUZZ_RUNS make a run repeatable: the same mutations in the same order,
# at most that many inputs, so a short check in CI finds the same things on every machine.
repeatable() {
  [ -n "${QUORVEL_FUZZ_SEED:-}" ] && echo "-seed=$QUORVEL_FUZZ_SEED"
  [ -n "${QUORVEL_FUZZ_RUNS:-}" ] && echo "-runs=$QUORVEL_FUZZ_RUNS"
  return 0
}

# The targets run in an empty folder: with no data/ there, the engine's log goes nowhere.
work="$build/run"
mkdir -p "$work"
# One target's run (and merge when kept); its row of the table and, when it failed, the first line that
# says why go to files beside its log.
run_target() {
  local target=$1
  local kept corpus findings log limits committed status merged size runs cov ft found slow
  kept="$root/fuzz/corpus/$target"
  corpus="$build/corpus/$target"
  findings="$build/findings/$target"
  log="$build/logs/$target.log"
  # A target may have no seeds of its own: its committed corpus starts it.
  mkdir -p "$corpus" "$findings" "$(dirname "$log")" "$seeds/$target"
  limits=(-timeout=25 -rss_limit_mb=2560 -artifact_prefix="$findings/" $(options "$target"))
  # A new target has no committed corpus until its first kept run.
  committed=()
  [ -d "$kept" ] && committed=("$kept")
  status=0
  # The random run from the committed inputs, this build's finds and the seeds: libFuzzer runs every one
  # of them once before it mutates anything, however short the run.
  (cd "$work" && "$build/fuzz_$target" -max_total_time="$seconds" -print_final_stats=1 "${limits[@]}" \
    $(repeatable) "$corpus" "${committed[@]}" "$seeds/$target") >"$log" 2>&1 || status=$?
  if [ -n "${QUORVEL_FUZZ_KEEP:-}" ] && [ "$status" -eq 0 ]; then
    merged="$build/merged/$target"
    rm -rf "$merged"
    mkdir -p "$merged"
    (cd "$work" && "$build/fuzz_$target" -merge=1 "${limits[@]}" "$merged" "${committed[@]}" "$corpus" \
      "$seeds/$target") >>"$log" 2>&1 || status=$?
    [ "$status" -eq 0 ] && rm -rf "$kept" && mkdir -p "$(dirname "$kept")" && mv "$merged" "$kept"
  fi
  size=0
  [ -d "$kept" ] && size=$(find "$kept" -type f | wc -l)
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' "$log" | tail -1)
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' "$log" | tail -1)
  found=$(find "$findings" -type f ! -name 'slow-unit-*' | wc -l)
  slow=$(find "$findings" -type f -name 'slow-unit-*' | wc -l)
  printf '%-18s %7s %12s %8s %8s  %s\n' "$target" "$size" "${runs:-?}" "${cov:-?}" "${ft:-?}" "$found ($slow)" \
    >"$build/logs/$target.row"
  if [ "$status" -ne 0 ] || [ "$found" -ne 0 ]; then
    grep -m1 -E 'ERROR: |check failed|runtime error' "$log" >"$build/logs/$target.failed" ||
      tail -5 "$log" >"$build/logs/$target.failed"
  fi
}

# The targets run side by side, one per core (QUORVEL_FUZZ_JOBS for another count): each is one
# process, and the committed corpora's replay takes most of a short check.
parallel_jobs=${QUORVEL_FUZZ_JOBS:-$(nproc)}
mkdir -p "$build/logs"
# The largest committed corpora take longest to replay, so they start first.
start_order=$(for target in "${targets[@]}"; do
  echo "$(du -sb "$root/fuzz/corpus/$target" 2>/dev/null | cut -f1 || echo 0) $target"
done | sort -rn | cut -d' ' -f2)
for target in $start_order; do
  rm -f "$build/logs/$target.row" "$build/logs/$target.failed"
  while [ "$(jobs -rp | wc -l)" -ge "$parallel_jobs" ]; do
    wait -n || true
  done
  run_target "$target" &
done
wait

failed=()
printf '%-18s %7s %12s %8s %8s  %s\n' target corpus executions cov ft 'findings (slow)'
for target in "${targets[@]}"; do
  cat "$build/logs/$target.row" 2>/dev/null || printf '%-18s did not finish\n' "$target"
  if [ -f "$build/logs/$target.failed" ] || [ ! -f "$build/logs/$target.row" ]; then
    failed+=("$target")
    cat "$build/logs/$target.failed" >&2 2>/dev/null || true
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "Findings in: ${failed[*]} (inputs under $build/findings/, logs under $build/logs/)" >&2
  exit 1
fi
