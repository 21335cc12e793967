#!/usr/bin/env bash
# Installs the Debian packages that Tallowick needs and that this machine lacks.
#   scripts/deps.sh build   what building and running Tallowick needs
#   scripts/deps.sh test    that, plus what the test suite needs
#   scripts/deps.sh bench   that, plus what the benchmarks and fuzz targets need
set -euo pipefail

build_packages=(
  build-essential cmake pkg-config            # compiler and build system
  qt6-base-dev                                # Qt 6 Widgets: windows, pictures, dialogs
  qt6-multimedia-dev libqt6multimedia6        # Qt 6 Multimedia: QAudioSink sound output
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev  # FFmpeg libraries: decoding, the encoder tool
  libavcodec-extra                            # FFmpeg's LAME MP3, OpenCORE AMR-NB and libvorbis encoders
  libebur128-dev                              # loudness and true peak (EBU R128) for "Make it loud"
  libmpg123-dev libsndfile1-dev libsoxr-dev   # the encoder tool's common path: MP3, WAV/FLAC decoding, resampling
  libmp3lame-dev libopencore-amrnb-dev        # the encoder tool's common path: MP3 and AMR-NB encoding
  fonts-dejavu-core                           # the sans-serif font of the skin
  libfftw3-dev                                # FFTW: the spectra of the song's hook finder
)
test_packages=(
  libgtest-dev libgmock-dev                   # GoogleTest
  ffmpeg sox libsox-fmt-mp3 lame              # making and checking audio fixtures at test time
  pulseaudio pulseaudio-utils                 # a sound server with a null sink for the output tests
  xvfb xauth                                  # a virtual display for the tests that need a real window
  openbox                                     # a window manager on that display for the window tests
  xdotool x11-utils                           # real pointer events (XTest) and window positions (xwininfo)
  weston qt6-wayland                          # a headless Wayland compositor, and Qt's wayland platform plugin
  dpkg-dev desktop-file-utils                 # the Debian package's dependencies (dpkg-shlibdeps), checking its desktop entry
)

bench_packages=(
  libbenchmark-dev                            # Google Benchmark for bench/
  clang                                       # libFuzzer for fuzz/
  time                                        # peak memory and wall time of av on hostile sources
)

wanted=("${build_packages[@]}")
case "${1:-build}" in
  test) wanted+=("${test_packages[@]}") ;;
  bench) wanted+=("${test_packages[@]}" "${bench_packages[@]}") ;;
esac

missing=()
for p in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
