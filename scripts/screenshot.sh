#!/usr/bin/env bash
# Makes docs/screenshot.png, the README's picture of the main window with a file opened,
# and docs/screenshot@2x.png, the same window on a screen at 200 % (QT_SCALE_FACTOR=2),
# under a virtual X display (xvfb-run). The file is a tone made with ffmpeg.
#   scripts/screenshot.sh [output.png]     (the 2x picture goes to output@2x.png)
set -euo pipefail
cd "$(dirname "$0")/.."
output=${1:-docs/screenshot.png}
output2x=${output%.png}@2x.png
build=${TALLOWICK_BUILD_DIR:-build}

cmake -S . -B "$build" >/dev/null
cmake --build "$build" --target tallowick_screenshot --parallel 2

work=$(mktemp -d /tmp/twXXX)
chmod 700 "$work"
trap 'rm -rf "$work"' EXIT
audio="$work/ring.mp3"
ffmpeg -hide_banner -loglevel error -f lavfi \
  -i "aevalsrc=0.4*sin(2*PI*523*t)*exp(-3*mod(t\,0.5))+0.3*sin(2*PI*784*t)*exp(-2*mod(t\,1)):s=44100:d=47" \
  -ac 2 -b:a 128k "$audio"

mkdir -p "$(dirname "$output")"
# The work folder goes into the scratch folder too, and the window gets no sound server.
XDG_RUNTIME_DIR="$work" xvfb-run -a -s "-screen 0 1024x768x24" \
  "$build/app/tallowick_screenshot" "$output" "$audio"
echo "Wrote $output"
XDG_RUNTIME_DIR="$work" QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 2048x1536x24" \
  "$build/app/tallowick_screenshot" "$output2x" "$audio"
echo "Wrote $output2x"
