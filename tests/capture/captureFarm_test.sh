#!/usr/bin/env bash
# The farm script on this machine, through a stand-in for the program that kills the capture of the
# middle part halfway on its first try: parallel tries it again, the joined video holds every frame,
# and nothing half-written is left. Run again, the farm renders nothing and joins the same parts.
set -euo pipefail
program="$1" farm="$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cat >quorvel <<STANDIN
#!/usr/bin/env bash
echo "\$*" >>"$work/calls"
if [ "\${1:-}" = --capture ] && [[ " \$* " == *" --from-frame 5 "* ]] && [ ! -e "$work/killed" ]; then
  touch "$work/killed"
  "$program" "\$@" &
  pid=\$!
  # Halfway: once the capture has made its output, before it has finished it.
  while kill -0 \$pid 2>/dev/null && [ ! -e "\$2.part" ]; do sleep 0.02; done
  sleep 0.3
  kill -9 \$pid 2>/dev/null || true
  wait \$pid || true
  exit 137
fi
exec "$program" "\$@"
STANDIN
chmod +x quorvel

fail() { echo "FAILED: $*" >&2; cat farm.out >&2; exit 1; }
run_farm() {
  "$farm" --quorvel ./quorvel --size 64x48 --fps 5 --frames 12 --parts 3 --jobs 2 --retries 2 --work parts "$1" \
    >farm.out 2>&1 || fail "the farm failed"
}

run_farm whole.mp4
[ -e killed ] || fail "the stand-in never killed a capture"
[ "$(grep -c -- '--capture part-000005-000008.mp4' calls)" -eq 2 ] || fail "the killed part was not tried again"
grep -q 'Joined 3 parts, frames 1-12 (12 frames at 5 fps)' farm.out || fail "the joined video is not whole"
[ -f whole.mp4 ] || fail "no joined video"
[ -z "$(find . -name '*.part')" ] || fail "half-written files left: $(find . -name '*.part')"

captures=$(grep -c -- '--capture' calls)
run_farm again.mp4
[ "$(grep -c -- '--capture' calls)" -eq "$captures" ] || fail "complete parts were rendered again"
[ "$(grep -c 'not rendered again' farm.out)" -eq 3 ] || fail "the resumed farm did not report the parts it kept"
cmp -s whole.mp4 again.mp4 || fail "joining the same parts again gave another file"
echo "farm retried the killed part and resumed without rendering"
