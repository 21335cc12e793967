#!/usr/bin/env bash
# Makes a long MP3 quickly: one minute of a tone encoded once (32 kbit/s, mono, no tag and
# no Xing frame), its frames then written end to end as many times as needed. A 10-hour
# file takes a few seconds and 144 MB.
#   bench/app/long_mp3.sh OUT.mp3 [MINUTES]   (600 minutes = 10 hours unless given)
set -euo pipefail
out=${1:?output file}
minutes=${2:-600}
minute=$(mktemp --suffix=.mp3)
trap 'rm -f "$minute"' EXIT
ffmpeg -v error -y -f lavfi -i "sine=frequency=440:duration=60:sample_rate=44100" -ac 1 -c:a libmp3lame -b:a 32k \
  -write_xing 0 -id3v2_version 0 -write_id3v1 0 -f mp3 "$minute"
: > "$out"
for _ in $(seq "$minutes"); do cat "$minute"; done >> "$out"
