#!/usr/bin/env bash
# CPU used and peak memory while playing 20 seconds of an MP3: Tallowick (decode, output,
# cursor timer, repaints, idle labels) against ffplay -nodisp on the same file, in the same
# run, both playing into a private PulseAudio null sink and both counted the same way,
# with and without their start-up. Then Tallowick alone on a 3-minute
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

# Both players are measured the same way, from outside, by their /proc counters: the
# CPU used from launch to 1 s (start-up, opening, the first second of playing) and in the
# next SECONDS of playing, and the peak resident memory by then.
ticks=$(getconf CLK_TCK)
cpu_ticks() { local stat; read -r -a stat < "/proc/$1/stat"; echo $((stat[13] + stat[14])); }
measure() {
  local name=$1; shift
  "$@" >/dev/null 2>&1 &
  local pid=$! first second hwm
  sleep 1
  first=$(cpu_ticks "$pid")
  sleep "$seconds"
  second=$(cpu_ticks "$pid")
  hwm=$(awk '/VmHWM/ {print $2}' "/proc/$pid/status")
  kill "$pid"; wait "$pid" 2>/dev/null || true
  echo "$name:"
  awk -v a="$first" -v b="$second" -v t="$ticks" -v s="$seconds" 'BEGIN {
    printf "  cpu_seconds_playing %.3f   (the %s s after the first second)\n", (b - a) / t, s
    printf "  cpu_seconds_with_start_up %.3f   (from launch, %s s in all)\n", b / t, s + 1 }'
  echo "  max_rss_kib $hwm"
}
measure "Tallowick" "$build/bench/audio/playback_probe" "$song" $((seconds + 5))
measure "ffplay -nodisp" ffplay -v error -nodisp -autoexit "$song"

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
