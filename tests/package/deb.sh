#!/usr/bin/env bash
# The .deb made from the build folder: lintian finds no error in it, and the quorvel it holds, unpacked
# with dpkg-deb -x, plays its data.
# usage: deb.sh BUILD_DIR
set -euo pipefail
build=$1
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy MESA_SHADER_CACHE_DISABLE=true

work=$(mktemp -d /tmp/quorvel-deb-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >cpack.log 2>&1) ||
  fail "cpack: $(cat "$work/cpack.log")"
deb=$(ls "$work"/*.deb)
echo "== $(basename "$deb"): $(du -k "$deb" | cut -f1) KiB"
dpkg-deb --field "$deb" Depends

echo "== unpacked, its quorvel plays"
dpkg-deb -x "$deb" "$work/root"
mkdir "$work/elsewhere"
cd "$work/elsewhere"
"$work/root/usr/bin/quorvel" --capture "$work/frames" --size 64x48 --fps 5 --frames 3 2>"$work/run.err" ||
  fail "the unpacked quorvel: $(cat "$work/run.err")"
[ "$(ls "$work/frames"/*.png | wc -l)" -eq 3 ] || fail "the unpacked quorvel did not write 3 pictures"

echo "== lintian"
# Errors fail; warnings and the rest are printed for whoever reads the log.
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
! grep -q '^E: ' "$work/lintian.log" || fail "lintian reports errors"
echo "deb: ok"
