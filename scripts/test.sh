#!/usr/bin/env bash
# Builds Tallowick and its tests (installing what is missing) and runs the whole suite
# with CTest. The GUI tests run on Qt's offscreen platform; the sound-output tests talk
# to a private PulseAudio server with a null sink that this script starts and stops.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh test

build=${TALLOWICK_BUILD_DIR:-build-tests}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTALLOWICK_TESTS=ON ${TALLOWICK_CMAKE_ARGS:-}
cmake --build "$build" --parallel "$(nproc)"

# A private runtime folder holds the sound server's socket and anything the tests write.
runtime=$(mktemp -d /tmp/tallowick-test-run.XXXXXX)
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
export PULSE_RUNTIME_PATH=$runtime/pulse
export QT_QPA_PLATFORM=offscreen
stop_sound_server() {
  pulseaudio --kill >/dev/null 2>&1 || true
  rm -rf "$runtime"
}
trap stop_sound_server EXIT
pulseaudio --daemonize=yes --exit-idle-time=-1 -n \
  --load="module-null-sink sink_name=tallowick_null rate=44100" \
  --load="module-native-protocol-unix" --log-target=stderr 2>/dev/null
for _ in $(seq 50); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
export TALLOWICK_TEST_PULSE_SINK=tallowick_null
# Used only by a ThreadSanitizer build (TALLOWICK_CMAKE_ARGS=-DTALLOWICK_TSAN=ON). Qt's
# libraries are not built for ThreadSanitizer: what they copy, allocate and free on the
# threads that Qt starts for itself (its painting pool, the file dialog's gatherer) would
# be reported without the locking around it, so only our own instrumented code is checked.
export TSAN_OPTIONS="suppressions=$PWD/tests/tsan.supp ignore_noninstrumented_modules=1 ${TSAN_OPTIONS:-}"

ctest --test-dir "$build" --output-on-failure --timeout 600 -j "$(nproc)"
