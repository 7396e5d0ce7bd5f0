#!/usr/bin/env bash
# The long editing session: a thousand reloads of each kind (effect, material script, scene, curve,
# texture) in one process, with resident memory, OpenGL objects and open file descriptors printed after
# the first hundred and at the end of each kind; the test fails if any of them grew (resident memory by
# 1% or more). Usage: bench/long-edit-session.sh [build folder, default build/debug] [reloads].
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/debug}
reloads=${2:-1000}
cmake --build "$build" --target test_live_gl >/dev/null
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy QUORVEL_LIVE_RELOADS=$reloads
"$build/test_live_gl" --gtest_filter='*ReloadsOfEveryKindLeaveWhatTheEngineHoldsAsItWas'
