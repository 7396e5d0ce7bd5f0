#!/usr/bin/env bash
# Installs the Debian packages the engine, the demo and the tests need; with --tests also Blender,
# which only the add-on's tests use (77 packages a demo has no need of).
# Idempotent and quiet: it asks apt only for what is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git
  libsdl2-dev libepoxy-dev libegl-dev libgl-dev libgl1-mesa-dri libegl-mesa0
  liblua5.1-0-dev libboost-dev libopenmpt-dev libstb-dev libgtk-3-dev
  libboost-program-options-dev libtinyobjloader-dev
  libavcodec-dev libavformat-dev libavutil-dev libswscale-dev libswresample-dev
  libgtest-dev libgmock-dev libbenchmark-dev clang-format xvfb xauth xdotool
  parallel
  libimgui-dev
  clang libclang-rt-dev lld
  dpkg-dev file lintian
  locales
)

if [ "${1:-}" = "--tests" ]; then
  packages+=(blender)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq >/dev/null
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
