#!/usr/bin/env bash
# Source rules that the compiler cannot check: OpenGL is called only from the device layer (Dear
# ImGui's OpenGL back end from one file of it), and the code follows .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."

# The raw-OpenGL baselines of the benchmarks are the one allowed exception.
leaks=$(git grep -n -E '\bgl[A-Z][A-Za-z0-9]*\s*\(' -- '*.cpp' '*.h' ':!engine/gpu/' ':!bench/*raw*' || true)
if [ -n "$leaks" ]; then
  echo "OpenGL called outside engine/gpu/:" >&2
  echo "$leaks" >&2
  exit 1
fi

# Dear ImGui's OpenGL back end calls OpenGL too: only the overlay's drawer in the device layer uses it.
backend=$(git grep -n -E 'ImGui_ImplOpenGL3_|imgui_impl_opengl3' -- '*.cpp' '*.h' ':!engine/gpu/glOverlay.cpp' || true)
if [ -n "$backend" ]; then
  echo "Dear ImGui's OpenGL back end used outside engine/gpu/glOverlay.cpp:" >&2
  echo "$backend" >&2
  exit 1
fi

unformatted=$(git ls-files -- '*.cpp' '*.h' | xargs -r clang-format --dry-run 2>&1 | grep -E '^[^ ].*warning:' | cut -d: -f1 | sort -u || true)
if [ -n "$unformatted" ]; then
  echo "Not formatted with .clang-format (run clang-format -i on them):" >&2
  echo "$unformatted" >&2
  exit 1
fi

# A merge's conflict markers committed by mistake.
markers=$(git grep -n -E '^(<<<<<<<|>>>>>>>) ' -- ':!*.png' || true)
if [ -n "$markers" ]; then
  echo "Merge conflict markers left in:" >&2
  echo "$markers" >&2
  exit 1
fi
