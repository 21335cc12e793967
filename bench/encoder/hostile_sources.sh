#!/bin/bash
# Peak memory (RSS) and wall time of av on sources that once made it gather gigabytes:
#   - a 4 GB file of zeros named .mp3 (must be refused),
#   - an MP3 of three seconds followed by 1 GB of zeros, cut with a start past the audio
#     (must report the empty selection) and with a start inside it (must cut).
# Goals: at most 100 MB and 2 s for each. The files are sparse, so they cost no disk.
#
#   bash bench/encoder/hostile_sources.sh [path/to/av] [work-folder]
#   (defaults: build/encoder/av and a fresh folder under /tmp; needs GNU time and ffmpeg)
set -euo pipefail
av=${1:-build/encoder/av}
work=${2:-$(mktemp -d /tmp/tallowick-hostile-XXXXXX)}
mkdir -p "$work"
[ -x "$av" ] || { echo "no av program at $av" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "GNU time is missing: bash scripts/deps.sh bench" >&2; exit 1; }

truncate -s 4G "$work/zeros.mp3"
ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=duration=3 -ac 1 "$work/song.mp3"
truncate -s 1G "$work/song.mp3"

measure() {
  local label=$1; shift
  /usr/bin/time -o "$work/time.txt" -f '%M %e' "$av" "$@" >/dev/null 2>&1 || true
  read -r kb seconds < <(tail -1 "$work/time.txt")
  printf '%-34s peak %6d MB  wall %5.2f s\n' "$label" $((kb / 1024)) "$seconds"
}

measure "4 GB of zeros" -i "$work/zeros.mp3" -ss 00:00:00 -t 00:00:01 "$work/out.mp3"
measure "MP3 + 1 GB zeros, start past it" -i "$work/song.mp3" -ss 00:00:10 -t 00:00:01 "$work/out.mp3"
measure "MP3 + 1 GB zeros, start inside" -i "$work/song.mp3" -ss 00:00:01 -t 00:00:01 "$work/out.mp3"
rm -f "$work/zeros.mp3" "$work/song.mp3" "$work/out.mp3" "$work/time.txt"
