#!/usr/bin/env bash
# The real window on a real X server (Xvfb), with real pointer events (xdotool, through
# the XTest extension), with and without a window manager:
#   - dragging the background moves the window exactly as far as the pointer went;
#   - the About dialog opens with its own area exactly centred over the main window.
# Each of a few starts of Tallowick checks both, as a window manager's timing differs
# from start to start.
#   x11_window_test.sh TALLOWICK [--openbox]
# Exits 77 (skipped) only when a program it needs is not installed.
set -euo pipefail

app=$1
manager=${2:-}
for tool in Xvfb xdotool xwininfo ${manager:+openbox}; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (bash scripts/deps.sh test installs it)"
    exit 77
  fi
done

work=$(mktemp -d /tmp/tallowick-x11-test.XXXXXX)
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

# A display of its own: the server writes its number once it is ready.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
pids+=($!)
await test -s "$work/display" || { echo "Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
export DISPLAY=:$(head -n1 "$work/display")

if [ -n "$manager" ]; then
  HOME=$work openbox >"$work/openbox.log" 2>&1 &
  pids+=($!)
  # A window manager that runs announces its desktops.
  await xdotool get_num_desktops >/dev/null 2>&1 || { echo "openbox did not start"; cat "$work/openbox.log"; exit 1; }
fi

# The absolute position of a window's own area on the screen: "X Y".
position() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x = $4} /Absolute upper-left Y/ {y = $4} END {print x, y}'
}
at_position() {
  [ "$(position "$1")" = "$2" ]
}
# The window's id once a visible window of that exact title exists.
window_named() {
  timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" | head -n1
}
# Puts the pointer at the screen position and waits until it is there (xdotool's own
# --sync waits for a motion, which never comes when the pointer is there already).
pointer_at() {
  [ "$(xdotool getmouselocation | awk '{print $1, $2}')" = "x:$1 y:$2" ]
}
point_at() {
  xdotool mousemove "$1" "$2"
  await pointer_at "$1" "$2"
}
# A position read twice in a row alike: the window is at rest.
settled_position() {
  local before after
  before=$(position "$1")
  for _ in $(seq 50); do
    sleep 0.1
    after=$(position "$1")
    [ "$after" = "$before" ] && break
    before=$after
  done
  echo "$after"
}

# Drags the window by the background at (200, 15) of the window, in the given steps of
# pointer motion, and checks that the window moved exactly by the pointer's travel.
drag() {
  local id=$1 label=$2
  shift 2
  local x y dx=0 dy=0
  read -r x y < <(settled_position "$id")
  point_at $((x + 200)) $((y + 15)) || { fail "$label: the window at $x,$y is out of the pointer's reach"; return; }
  xdotool mousedown 1
  while [ $# -gt 0 ]; do
    xdotool mousemove_relative -- "$1" "$2"
    dx=$((dx + $1))
    dy=$((dy + $2))
    shift 2
  done
  xdotool mouseup 1
  local expected="$((x + dx)) $((y + dy))"
  await at_position "$id" "$expected" || true
  local moved
  moved=$(settled_position "$id")
  [ "$moved" = "$expected" ] ||
    fail "$label: the pointer went $dx,$dy from $x,$y, the window is at $moved instead of $expected"
}

for start in 1 2 3; do
  HOME=$work XDG_RUNTIME_DIR=$work QT_QPA_PLATFORM=xcb "$app" >"$work/tallowick-$start.log" 2>&1 &
  app_pid=$!
  pids+=($app_pid)
  main=$(window_named Tallowick) || true
  if [ -z "$main" ]; then
    fail "start $start: no Tallowick window"
    cat "$work/tallowick-$start.log"
    continue
  fi
  read -r mx my < <(settled_position "$main")

  # The About link at (60, 367) of the window: the dialog's 300 x 266 area over the
  # middle of the window's 598 x 422 one.
  point_at $((mx + 70)) $((my + 372)) || fail "start $start: the window at $mx,$my is out of the pointer's reach"
  xdotool click 1
  about=$(window_named About) || true
  if [ -z "$about" ]; then
    fail "start $start: the About dialog did not open"
  else
    expected="$((mx + 149)) $((my + 78))"
    await at_position "$about" "$expected" || true
    shown=$(settled_position "$about")
    [ "$shown" = "$expected" ] ||
      fail "start $start: About dialog at $shown, centred over the window at $mx,$my it is at $expected"
    # Continue closes it.
    read -r ax ay < <(position "$about")
    point_at $((ax + 220)) $((ay + 240)) || fail "start $start: the About dialog is out of the pointer's reach"
    xdotool click 1
    await bash -c "! xwininfo -id $about 2>/dev/null | grep -q IsViewable" || fail "start $start: About did not close"
  fi

  drag "$main" "start $start, drag 1" 13 7 13 7 13 7 13 7 13 7
  drag "$main" "start $start, drag 2" 1 1 40 -20 -90 30 5 0
  drag "$main" "start $start, drag 3" -120 -60

  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
done

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) failed${manager:+ under openbox}"
  exit 1
fi
echo "window drags and the About dialog exact${manager:+ under openbox}"
