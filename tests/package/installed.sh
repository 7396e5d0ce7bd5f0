#!/usr/bin/env bash
# The installed tree as a viewer and a demo maker get it: installed into a staging prefix and moved,
#  - the moved quorvel plays its own data: its capture gives the same PNG bytes as the build folder's;
#  - with its data folder read-only, the log goes to the state folder and the program ends normally;
#  - examples/minimal builds against the moved SDK, through find_package and through pkg-config, and
#    runs headless.
# usage: installed.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy MESA_SHADER_CACHE_DISABLE=true

# Under /tmp and open to everyone: as root the read-only check runs as nobody, who must reach it.
work=$(mktemp -d /tmp/quorvel-package-XXXXXX)
chmod 755 "$work"
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$work/staged" >/dev/null
mv "$work/staged" "$work/moved"
prefix=$work/moved
# Nothing outside the prefix may be needed: run from a folder with no data/ in it.
mkdir "$work/elsewhere"
cd "$work/elsewhere"

echo "== the moved program captures the same pictures as the build folder's"
capture=(--size 64x48 --fps 5 --frames 4 --scene 3 --capture)
"$build/quorvel" "${capture[@]}" "$work/built" 2>"$work/built.err" ||
  fail "the build folder's quorvel --capture: $(cat "$work/built.err")"
"$prefix/bin/quorvel" "${capture[@]}" "$work/installed" 2>"$work/installed.err" ||
  fail "the moved quorvel --capture: $(cat "$work/installed.err")"
for picture in "$work"/built/*.png; do
  cmp -s "$picture" "$work/installed/$(basename "$picture")" ||
    fail "$(basename "$picture") differs between the build folder and the moved prefix"
done
[ "$(ls "$work/installed"/*.png | wc -l)" -eq 4 ] || fail "the moved capture did not write 4 pictures"
grep -q '</html>' "$prefix/share/quorvel/data/log.html" || fail "no complete log in the moved data folder"

echo "== with a read-only data folder the log goes to the state folder"
rm "$prefix/share/quorvel/data/log.html"
chmod -R a-w "$prefix/share/quorvel"
mkdir -m 777 "$work/state" "$work/readOnlyRun"
as_viewer=()
# Root writes anywhere; a viewer does not.
[ "$(id -u)" -eq 0 ] && as_viewer=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
status=0
env XDG_STATE_HOME="$work/state" HOME="$work/readOnlyRun" "${as_viewer[@]}" "$prefix/bin/quorvel" \
  "${capture[@]}" "$work/readOnlyRun/frames" 2>"$work/readOnly.err" || status=$?
[ "$status" -eq 0 ] || fail "with a read-only data folder the program ended with $status: $(cat "$work/readOnly.err")"
grep -q '</html>' "$work/state/quorvel/log.html" || fail "no complete log in \$XDG_STATE_HOME/quorvel"
grep -q "$work/state/quorvel/log.html" "$work/readOnly.err" || fail "standard error does not say where the log is"
[ ! -e "$prefix/share/quorvel/data/log.html" ] || fail "a log was written into the read-only data folder"
chmod -R u+w "$prefix/share/quorvel"

for way in find_package pkg-config; do
  echo "== examples/minimal builds against the moved SDK through $way and runs"
  options=(-DCMAKE_PREFIX_PATH="$prefix")
  [ "$way" = pkg-config ] && options=(-DMINIMAL_PKG_CONFIG=ON)
  PKG_CONFIG_PATH="$prefix/lib/pkgconfig" cmake -S "$source/examples/minimal" -B "$work/minimal-$way" \
    -G Ninja -DCMAKE_BUILD_TYPE=Debug "${options[@]}" >"$work/minimal.log" 2>&1 || fail "configure: $(cat "$work/minimal.log")"
  cmake --build "$work/minimal-$way" >"$work/minimal.log" 2>&1 || fail "build: $(cat "$work/minimal.log")"
  "$work/minimal-$way/minimal" --frames 5 || fail "the example did not run"
  log=$work/minimal-$way/data/log.html
  grep -q '</html>' "$log" || fail "the example's log is incomplete"
  ! grep -q 'class="\(warning\|error\)"' "$log" || fail "the example's log has warnings or errors: $(cat "$log")"
done
echo "installed tree: ok"
