#!/usr/bin/env bash
# Builds the demo in release mode and plays it. With no sound card it plays into a dummy audio device.
# With no display there is nothing to play it on: it captures the whole demo, pictures and music, to
# build/release/quorvel.mp4 instead.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_BUILD_BENCH=OFF >/dev/null
cmake --build build/release

cd build/release
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: capturing the demo to build/release/quorvel.mp4 (1280x720, 60 fps, with its music)." >&2
  exec ./quorvel --capture quorvel.mp4 "$@"
fi
if [ ! -d /dev/snd ]; then
  export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
fi
exec ./quorvel "$@"
