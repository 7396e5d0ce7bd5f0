#!/usr/bin/env bash
# Builds the engine, the demo and the tests (plus a sanitizer build), warning-free, and runs every test
# with no display and no sound card, the installed tree and the .deb made from the debug build included.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh --tests
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
scripts/check-source.sh

# A new compiler warning fails the run.
cmake -S . -B build/debug -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_WARNINGS_AS_ERRORS=ON >/dev/null
cmake --build build/debug
cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORVEL_SANITIZE=ON -DQUORVEL_BUILD_BENCH=OFF >/dev/null
cmake --build build/asan

echo "== unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
(cd build/asan && ctest -L unit --output-on-failure)
# The fuzz targets stay buildable and clean on a fixed seed and a bounded number of inputs, so that
# this check finds the same on every run; scripts/fuzz.sh without these searches for real.
echo "== fuzz targets, a few seconds each"
QUORVEL_FUZZ_SEED=1 QUORVEL_FUZZ_RUNS=3000 scripts/fuzz.sh 3
echo "== all tests"
(cd build/debug && ctest --output-on-failure)
