#!/usr/bin/env bash
# Builds the engine, the demo and the tests, warning-free, and runs every test with no display and no
# sound card: the unit tests under the sanitizers, the rest (GL, GUI, Blender, the installed tree and the
# .deb) in the debug build.
# Each stage prints how long it took, so that CI's time can be read stage by stage.
set -euo pipefail
cd "$(dirname "$0")/.."

stage_name=""
stage_began=$SECONDS
stage() {
  [ -n "$stage_name" ] && echo "== $stage_name: $((SECONDS - stage_began)) s"
  stage_name=$1
  stage_began=$SECONDS
  [ -n "$stage_name" ] && echo "== $stage_name"
  return 0
}
trap 'stage ""; echo "== whole run: $SECONDS s"' EXIT

stage "dependencies and source rules"

scripts/install-deps.sh --tests
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
scripts/check-source.sh

# The builds keep line tables only (-g1): reports and backtraces name file and line, and the compiler
# spends a fifth less time than on full debug information.
line_tables_only=(-DCMAKE_C_FLAGS_DEBUG=-g1 -DCMAKE_CXX_FLAGS_DEBUG=-g1)
# A new compiler warning fails the run. The unit tests are built and run under the sanitizers only
# (below), so the debug build leaves them out and carries the tests that need a GPU, a window, Blender
# or the package tools.
stage "debug build"
cmake -S . -B build/debug -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_WARNINGS_AS_ERRORS=ON -DQUORVEL_UNIT_TESTS=OFF \
  "${line_tables_only[@]}" >/dev/null
cmake --build build/debug
stage "AddressSanitizer build"
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON -DQUORVEL_BUILD_BENCH=OFF \
  "${line_tables_only[@]}" >/dev/null
cmake --build build/asan
# ThreadSanitizer needs only the programs whose tests run more than one thread (label threads).
stage "ThreadSanitizer build"
cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE_THREAD=ON -DQUORVEL_BUILD_BENCH=OFF \
  "${line_tables_only[@]}" >/dev/null
cmake --build build/tsan --target threaded_tests

# Every test makes its own folders and files, so the tests run side by side, one per core.
jobs=$(nproc)
stage "unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
(cd build/asan && ctest -j "$jobs" -L unit --output-on-failure)
stage "threaded tests under ThreadSanitizer"
(cd build/tsan && ctest -j "$jobs" -L threads --output-on-failure)
# The fuzz targets stay buildable and clean on a fixed seed and a bounded number of inputs, so that
# this check finds the same on every run; scripts/fuzz.sh without these searches for real. Every input
# of the committed corpora runs first.
stage "fuzz targets: committed corpora, then a short random run each"
QUORVEL_FUZZ_SEED=1 QUORVEL_FUZZ_RUNS=3000 QUORVEL_FUZZ_OPTIMIZE=-O0 QUORVEL_FUZZ_BUILD=build/fuzz-check scripts/fuzz.sh 3
stage "GL, GUI, Blender and package tests"
(cd build/debug && ctest -j "$jobs" --output-on-failure)
