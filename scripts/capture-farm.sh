#!/usr/bin/env bash
# Captures the demo in parts, several at a time, here or on other machines, and joins them into one
# video: each part is `quorvel --capture PART --from-frame N --frames M`, run by GNU parallel (on the
# hosts of --sshloginfile, or here), copied back, and joined with `quorvel --join` without encoding the
# pictures again. A part that failed is tried again (--retries) and reported; a part already complete
# in the work folder is not rendered again, so running the same command after a failure resumes.
#
# Every part draws the demo from its start (the bloom carries each picture into the next), skipping
# only the read-back and the encoding of the frames before its own, so a farm gains where encoding and
# reading back cost much against drawing, or where it has more machines than parts have frames before.
# See docs/capture.md.
set -euo pipefail

usage() {
  cat <<'USAGE'
Usage: scripts/capture-farm.sh [options] OUT.mp4|OUT.mkv
  --quorvel PATH      the program; on other hosts it must lie at the same path (default: quorvel on PATH)
  --size WxH          picture size (default 1280x720)
  --fps N             frames per second (default 60)
  --frames N          capture frames 1 to N (default: the whole demo)
  --parts N           cut the capture into N parts (default 4 per host, at least 2)
  --jobs N            parts run at once on each host (default: one per core; parallel's -j)
  --sshloginfile FILE hosts to run on, in GNU parallel's format (default: this machine alone)
  --retries N         tries per part before it counts as failed (default 3)
  --work DIR          where the parts and the job log are kept (default OUT.parts)
USAGE
}

quorvel=quorvel size=1280x720 fps=60 frames="" parts="" jobs="" sshloginfile="" retries=3 work="" out=""
while [ $# -gt 0 ]; do
  case "$1" in
    --quorvel|--size|--fps|--frames|--parts|--jobs|--sshloginfile|--retries|--work)
      [ $# -ge 2 ] || { echo "capture-farm: $1 needs a value" >&2; exit 2; }
      name="${1#--}"; declare "${name}=$2"; shift 2 ;;
    -h|--help) usage; exit 0 ;;
    -*) echo "capture-farm: unknown option $1" >&2; usage >&2; exit 2 ;;
    *) [ -z "$out" ] || { echo "capture-farm: one output only, got '$out' and '$1'" >&2; exit 2; }
       out="$1"; shift ;;
  esac
done
case "$out" in
  *.mp4|*.mkv) ;;
  *) echo "capture-farm: expected an output ending in .mp4 or .mkv" >&2; usage >&2; exit 2 ;;
esac
for number in fps retries ${frames:+frames} ${parts:+parts} ${jobs:+jobs}; do
  [[ "${!number}" =~ ^[1-9][0-9]*$ ]] || { echo "capture-farm: --$number expects a positive number, got '${!number}'" >&2; exit 2; }
done
command -v parallel >/dev/null || { echo "capture-farm: GNU parallel is not installed (Debian: parallel)" >&2; exit 1; }
if [[ "$quorvel" == */* ]]; then quorvel="$(realpath "$quorvel")"; fi
command -v "$quorvel" >/dev/null || { echo "capture-farm: no program '$quorvel'; give --quorvel" >&2; exit 1; }
hosts=1
if [ -n "$sshloginfile" ]; then
  sshloginfile="$(realpath "$sshloginfile")"
  hosts=$(grep -cv '^\s*\(#\|$\)' "$sshloginfile" || true)
  [ "$hosts" -ge 1 ] || { echo "capture-farm: $sshloginfile names no host" >&2; exit 1; }
fi
parts="${parts:-$(( hosts * 4 ))}"
out="$(realpath -m "$out")"
work="$(realpath -m "${work:-$out.parts}")"
mkdir -p "$work"

if [ -z "$frames" ]; then
  frames=$("$quorvel" --frame-count --fps "$fps") || { echo "capture-farm: $quorvel could not count the demo's frames" >&2; exit 1; }
fi
# Parts of another capture would join into a wrong video: the work folder remembers whose parts it holds.
settings="size $size fps $fps frames $frames parts $parts"
if [ -f "$work/settings" ] && [ "$(cat "$work/settings")" != "$settings" ]; then
  echo "capture-farm: $work holds parts of another capture ($(cat "$work/settings")); remove it or give --work" >&2
  exit 1
fi
echo "$settings" >"$work/settings"
extension="${out##*.}"

# One line per part still to render: first frame, frame count, file name. A part's file appears only
# once its capture is complete (quorvel writes under NAME.part and renames), so its presence is proof.
per_part=$(( (frames + parts - 1) / parts ))
names=() todo=()
for (( first = 1; first <= frames; first += per_part )); do
  count=$(( frames - first + 1 < per_part ? frames - first + 1 : per_part ))
  name=$(printf 'part-%06d-%06d.%s' "$first" "$(( first + count - 1 ))" "$extension")
  names+=("$name")
  if [ -f "$work/$name" ]; then
    echo "capture-farm: $name is complete, not rendered again" >&2
  else
    todo+=("$first $count $name")
  fi
done

cd "$work"
if [ ${#todo[@]} -gt 0 ]; then
  echo "capture-farm: rendering ${#todo[@]} of ${#names[@]} parts ($per_part frames each) at $size, $fps fps" >&2
  remote=()
  if [ -n "$sshloginfile" ]; then
    # A temporary folder on each host, the part brought back here and the folder removed.
    remote=(--sshloginfile "$sshloginfile" --workdir ... --return '{3}' --cleanup)
  fi
  status=0
  printf '%s\n' "${todo[@]}" | parallel --will-cite --colsep ' ' ${jobs:+-j "$jobs"} --retries "$retries" \
    --joblog "$work/jobs.log" --tagstring 'part {3}' "${remote[@]}" \
    "$quorvel" --capture '{3}' --from-frame '{1}' --frames '{2}' --size "$size" --fps "$fps" || status=$?
  missing=()
  for name in "${names[@]}"; do
    [ -f "$name" ] || missing+=("$name")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "capture-farm: ${#missing[@]} parts failed after $retries tries: ${missing[*]}" >&2
    echo "capture-farm: see $work/jobs.log; run the same command again to render only those" >&2
    exit 1
  fi
  [ "$status" -eq 0 ] || echo "capture-farm: parallel reported failures, but every part is here" >&2
fi
"$quorvel" --join "$out" "${names[@]}"
