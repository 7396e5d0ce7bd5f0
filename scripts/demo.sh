#!/usr/bin/env bash
# Builds the demo in release mode and plays it. With no display it runs offscreen, with no sound card
# it plays into a dummy audio device.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_BUILD_BENCH=OFF >/dev/null
cmake --build build/release

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  export SDL_VIDEODRIVER="${SDL_VIDEODRIVER:-offscreen}"
fi
if [ ! -d /dev/snd ]; then
  export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
fi
cd build/release
exec ./quorvel "$@"
