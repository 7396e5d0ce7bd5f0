#!/usr/bin/env bash
# How much of each scene's frame is near-black: captures the demo small and prints, per scene, the share
# of pixels whose luminance is under 8/255 at ten times spread over the scene (from one second after its
# start to one second before its end), then the lowest and highest of the ten. A scene whose frame is
# composed stays under 0.70 outside the fades it means.
#
#   scripts/scene-coverage.sh [BUILD_DIR] [SCENE...]
#
# BUILD_DIR is a build folder holding quorvel, talvo-dump and data/ (default build/debug); the scenes are
# numbers 1 to 9 (default all). Only the part of the demo up to the last scene asked for is drawn.
# SCENE_COVERAGE_SIZE sets the capture's size (default 320x180); SCENE_COVERAGE_KEEP=DIR keeps the
# captured frames in DIR (an empty or new folder) to look at. Needs Python 3 with PIL (Debian's
# python3-pil) in /usr/bin/python3.
set -euo pipefail
cd "$(dirname "$0")/.."

build="${1:-build/debug}"
shift || true
scenes=("$@")
if [ ${#scenes[@]} -eq 0 ]; then
  scenes=(1 2 3 4 5 6 7 8 9)
fi
for program in quorvel talvo-dump; do
  if [ ! -x "$build/$program" ]; then
    echo "scene-coverage: $build/$program: not found; build the folder first" >&2
    exit 1
  fi
done
if ! /usr/bin/python3 -c 'import PIL' 2>/dev/null; then
  echo "scene-coverage: /usr/bin/python3 has no PIL: apt-get install python3-pil" >&2
  exit 1
fi

fps=25
size="${SCENE_COVERAGE_SIZE:-320x180}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
frames="$work/frames"
if [ -n "${SCENE_COVERAGE_KEEP:-}" ]; then
  frames="$(realpath -m "$SCENE_COVERAGE_KEEP")"
fi

# Scene lengths in frames at 25 a second, read from the compiled scenes so they are the ones played.
lengths=()
for scene in 1 2 3 4 5 6 7 8 9; do
  length="$("$build/talvo-dump" "$build/data/scene$scene.demo" | sed -n 's/.*length \([0-9]*\) frames.*/\1/p' | head -n1)"
  if [ -z "$length" ]; then
    echo "scene-coverage: $build/data/scene$scene.demo: no scene length in its dump" >&2
    exit 1
  fi
  lengths+=("$length")
done

# The capture's frame N shows N/fps seconds; the scenes' frames are already at 25 a second.
last=0
first=""
for scene in "${scenes[@]}"; do
  if ! [[ "$scene" =~ ^[1-9]$ ]]; then
    echo "scene-coverage: expected scene numbers 1 to 9, got '$scene'" >&2
    exit 1
  fi
  start=0
  for ((i = 0; i < scene - 1; i++)); do
    start=$((start + lengths[i]))
  done
  end=$((start + lengths[scene - 1]))
  if [ -z "$first" ] || [ "$start" -lt "$first" ]; then first=$((start + 1)); fi
  if [ "$end" -gt "$last" ]; then last=$end; fi
  echo "$scene $start ${lengths[scene - 1]}" >>"$work/scenes"
done

echo "scene-coverage: capturing frames $first to $last at $size ..." >&2
(cd "$build" && SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy ./quorvel --capture "$frames" \
  --size "$size" --fps "$fps" --from-frame "$first" --frames $((last - first + 1)) >"$work/log" 2>&1) || {
  cat "$work/log" >&2
  echo "scene-coverage: the capture failed" >&2
  exit 1
}

/usr/bin/python3 - "$work/scenes" "$frames" "$fps" <<'EOF'
import sys
from PIL import Image

scenes_file, frames, fps = sys.argv[1], sys.argv[2], int(sys.argv[3])
print("scene  near-black share at ten times (s into the scene)              min   max")
for line in open(scenes_file):
    scene, start, length = (int(v) for v in line.split())
    seconds = length / 25.0
    times = [1.0 + k * (seconds - 2.0) / 9.0 for k in range(10)]
    shares = []
    for t in times:
        frame = round(start / 25.0 * fps + t * fps)
        picture = Image.open(f"{frames}/{frame:06d}.png").convert("L")
        histogram = picture.histogram()
        shares.append(sum(histogram[:8]) / (picture.width * picture.height))
    cells = " ".join(f"{s:.2f}" for s in shares)
    print(f"{scene:5d}  {cells}   {min(shares):.2f}  {max(shares):.2f}")
    print("       at " + " ".join(f"{t:4.1f}" for t in times))
EOF
