#!/bin/bash
# Wall time of av on its common path against another build of av (main's, say):
#   - av with no arguments (start-up and the libraries it loads),
#   - a 10-second MP3 ringtone cut at 00:00:20 out of a 60-minute 128 kbit/s MP3,
#   - the same cut as an AMR ringtone.
# With hyperfine (Debian hyperfine) each is run 20 times after warm-up, else 20 times in
# a loop timed with date.
#
#   bash bench/encoder/common_path.sh OTHER_AV [path/to/av] [work-folder]
#   (defaults: build/encoder/av and a fresh folder under /tmp; needs ffmpeg)
set -euo pipefail
other=${1:?the other av program to compare with}
av=${2:-build/encoder/av}
work=${3:-$(mktemp -d /tmp/tallowick-common-XXXXXX)}
mkdir -p "$work"
for program in "$other" "$av"; do
  [ -x "$program" ] || { echo "no av program at $program" >&2; exit 1; }
done

hour="$work/hour.mp3"
if [ ! -s "$hour" ]; then
  ffmpeg -nostdin -loglevel error -y -f lavfi \
    -i "aevalsrc=0.3*sin(2*PI*(300+200*sin(2*PI*t/7))*t)|0.3*sin(2*PI*(500+100*sin(2*PI*t/5))*t):s=44100:d=3600" \
    -c:a libmp3lame -b:a 128k "$hour"
fi

mp3_cut() { echo "$1 -i $hour -ss 00:00:20 -t 00:00:10 -acodec mp3 -ab 64 -ac 2 $work/ring-$2.mp3"; }
amr_cut() { echo "$1 -i $hour -ss 00:00:20 -t 00:00:10 -f amr -acodec amr_nb -ab 32 -ac 1 -ar 8000 $work/ring-$2.amr"; }

compare() {
  local label=$1 first=$2 second=$3
  echo "== $label"
  if command -v hyperfine >/dev/null; then
    hyperfine -N -i --warmup 3 --runs 20 -n other "$first" -n this "$second" | grep -E "Benchmark|Time|Range|faster"
  else
    for command in "$first" "$second"; do
      local start end
      start=$(date +%s%N)
      for _ in $(seq 20); do $command >/dev/null 2>&1 || true; done
      end=$(date +%s%N)
      echo "$command: $(( (end - start) / 20000000 )) ms a run"
    done
  fi
}

compare "no arguments" "$other" "$av"
compare "10-second MP3 cut at 00:00:20 of 60 minutes" "$(mp3_cut "$other" other)" "$(mp3_cut "$av" this)"
compare "10-second AMR cut at 00:00:20 of 60 minutes" "$(amr_cut "$other" other)" "$(amr_cut "$av" this)"
