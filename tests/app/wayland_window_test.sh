#!/usr/bin/env bash
# Tallowick as a native Wayland client (Qt's wayland platform plugin) under a headless
# Weston with a private runtime folder and display name:
#   - Tallowick itself connects, gets its toplevel configured and shows its window (it
#     attaches a buffer to its surface);
#   - wayland_window_probe shows the same window, is exposed, hands a drag to the
#     compositor (startSystemMove), asks it to minimise the window, and ends when the
#     close button closes it. Its protocol log must hold the minimise request.
# The headless compositor has no seat (no pointer), so a real pointer drag and the
# compositor's own move loop cannot be tried here.
#   wayland_window_test.sh TALLOWICK WAYLAND_WINDOW_PROBE
# Exits 77 (skipped) only when Weston or Qt's wayland plugin is missing, or Weston cannot start.
set -euo pipefail

app=$1
probe=$2
if ! command -v weston >/dev/null; then
  echo "SKIPPED: weston is not installed (bash scripts/deps.sh test installs it)"
  exit 77
fi
plugins=$(qtpaths6 --query QT_INSTALL_PLUGINS 2>/dev/null || echo /usr/lib/x86_64-linux-gnu/qt6/plugins)
if ! ls "$plugins"/platforms/libqwayland*.so >/dev/null 2>&1; then
  echo "SKIPPED: Qt's wayland platform plugin is not installed (Debian qt6-wayland)"
  exit 77
fi

work=$(mktemp -d /tmp/tallowick-wayland-test.XXXXXX)
chmod 700 "$work"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# Runs the command until it succeeds, for at most about ten seconds.
await() {
  for _ in $(seq 100); do
    if "$@"; then return 0; fi
    sleep 0.1
  done
  return 1
}

export XDG_RUNTIME_DIR=$work
export WAYLAND_DISPLAY=tallowick-test
export QT_QPA_PLATFORM=wayland
# Used only by an AddressSanitizer build: the Wayland connection's own objects are not
# freed by Qt's plugin at exit.
export LSAN_OPTIONS="suppressions=$(cd "$(dirname "$0")" && pwd)/wayland_lsan.supp ${LSAN_OPTIONS:-}"
unset DISPLAY

# Whether Weston (still running) has made its socket; a Weston that ended never will.
listening() {
  test -S "$work/$WAYLAND_DISPLAY" || { kill -0 "$1" 2>/dev/null && return 1; return 0; }
}

# Newer Weston names its backend "headless", Weston 10 (Debian 12) "headless-backend.so".
started=
for backend in headless headless-backend.so; do
  weston --backend="$backend" --socket="$WAYLAND_DISPLAY" --idle-time=0 --no-config >"$work/weston.log" 2>&1 &
  pid=$!
  if await listening "$pid" && test -S "$work/$WAYLAND_DISPLAY"; then
    pids+=("$pid")
    started=yes
    break
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
done
if [ -z "$started" ]; then
  echo "SKIPPED: weston --backend=headless did not start"
  cat "$work/weston.log"
  exit 77
fi

# Tallowick itself: connected, its toplevel configured, a buffer on its surface.
WAYLAND_DEBUG=client "$app" >"$work/tallowick.out" 2>"$work/tallowick.log" &
app_pid=$!
pids+=("$app_pid")
shown() {
  grep -qE 'xdg_toplevel@[0-9]+\.configure\(' "$work/tallowick.log" &&
    grep -qE 'wl_surface@[0-9]+\.attach\(wl_buffer@' "$work/tallowick.log"
}
if await shown; then
  echo "ok: tallowick connected and shows its window"
else
  fail "tallowick did not show its window on the Wayland display"
  tail -n 20 "$work/tallowick.log"
fi
if kill -0 "$app_pid" 2>/dev/null; then
  kill "$app_pid"
else
  fail "tallowick ended by itself"
fi

# The probe: the window's own handlers on the same display. A probe that does not end
# within a minute (a hang) has its threads' stacks printed, where gdb is installed.
WAYLAND_DEBUG=client "$probe" 2>"$work/probe.log" &
probe_pid=$!
for _ in $(seq 600); do kill -0 "$probe_pid" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$probe_pid" 2>/dev/null; then
  fail "wayland_window_probe did not end"
  command -v gdb >/dev/null && gdb -p "$probe_pid" -batch -ex "thread apply all bt 12" 2>/dev/null | grep -E '^(#|Thread)' || true
  kill -9 "$probe_pid" 2>/dev/null || true
fi
if ! wait "$probe_pid"; then
  fail "wayland_window_probe failed"
  grep -vE '^\[' "$work/probe.log" | tail -n 20 || true
fi
grep -qE 'xdg_toplevel@[0-9]+\.set_minimized\(\)' "$work/probe.log" &&
  echo "ok: the minimise request reached the compositor" ||
  fail "no set_minimized request was sent to the compositor"
if grep -qE 'wl_display@1\.error\(' "$work/probe.log"; then
  fail "the compositor reported a protocol error"
  grep -E 'wl_display@1\.error\(' "$work/probe.log"
fi

[ "$failures" -eq 0 ] || exit 1
echo "passed"
