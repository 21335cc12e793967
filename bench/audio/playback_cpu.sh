#!/usr/bin/env bash
# CPU used and peak memory while playing 20 seconds of an MP3: Tallowick (decode, output,
# cursor timer, repaints, idle labels) against ffplay -nodisp on the same file, in the same
# run, both playing into a private PulseAudio null sink. Then Tallowick alone on a 3-minute
# and a 10-hour file of the same kind (32 kbit/s mono), the long one played from its start
# and from its middle, where the ruler's numbers have five digits.
#   bench/audio/playback_cpu.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=${1:?build folder configured with -DTALLOWICK_BENCH=ON}
seconds=${2:-20}
work=$(mktemp -d)
chmod 700 "$work"
export XDG_RUNTIME_DIR=$work PULSE_RUNTIME_PATH=$work/pulse QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=pulseaudio
cleanup() { pulseaudio --kill >/dev/null 2>&1 || true; rm -rf "$work"; }
trap cleanup EXIT
pulseaudio --daemonize=yes --exit-idle-time=-1 -n --load="module-null-sink sink_name=bench rate=44100" \
  --load="module-native-protocol-unix" 2>/dev/null
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done

song=$work/song.mp3
ffmpeg -v error -f lavfi -i "sine=frequency=440:duration=60" -f lavfi -i "sine=frequency=660:duration=60" \
  -filter_complex amerge=inputs=2 -c:a libmp3lame -b:a 128k "$song"

echo "Tallowick:"
"$build/bench/audio/playback_probe" "$song" "$seconds" | sed 's/^/  /'

# ffplay: CPU from /proc after the same number of seconds, and its peak resident memory.
ffplay -v error -nodisp -autoexit "$song" &
pid=$!
sleep "$seconds"
read -r -a stat < "/proc/$pid/stat"
ticks=$(getconf CLK_TCK)
hwm=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
kill "$pid"; wait "$pid" 2>/dev/null || true
echo "ffplay -nodisp:"
awk -v u="${stat[13]}" -v s="${stat[14]}" -v t="$ticks" 'BEGIN { printf "  cpu_seconds %.3f\n", (u + s) / t }'
echo "  max_rss_kib $hwm"

short=$work/three_minutes.mp3
long=$work/ten_hours.mp3
here=$(cd "$(dirname "$0")" && pwd)
bash "$here/../app/long_mp3.sh" "$short" 3
bash "$here/../app/long_mp3.sh" "$long" 600
echo "Tallowick, 3-minute file from 0 s:"
"$build/bench/audio/playback_probe" "$short" "$seconds" 0 | sed 's/^/  /'
echo "Tallowick, 10-hour file from 0 s:"
"$build/bench/audio/playback_probe" "$long" "$seconds" 0 | sed 's/^/  /'
echo "Tallowick, 10-hour file from 18000 s (the middle):"
"$build/bench/audio/playback_probe" "$long" "$seconds" 18000 | sed 's/^/  /'
