#!/usr/bin/env bash
# Start-up time of Tallowick against a minimal Qt window: the median wall time of many
# runs of each probe, alternating, from process start until its window has been shown;
# then the median peak resident memory of each (GNU time's %M, in runs of their own so
# that measuring it does not slow the timed runs).
#   bench/app/startup.sh BUILD_DIR [RUNS]
set -euo pipefail
build=${1:?build folder configured with -DTALLOWICK_BENCH=ON}
runs=${2:-30}
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
runtime=$(mktemp -d)
export XDG_RUNTIME_DIR=$runtime
trap 'rm -rf "$runtime"' EXIT

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
time_once() {
  local start end
  start=$(date +%s%N)
  "$1" >/dev/null 2>&1
  end=$(date +%s%N)
  echo $(((end - start) / 1000))
}
: > "$runtime/tallowick" ; : > "$runtime/minimal"
: > "$runtime/tallowick.rss" ; : > "$runtime/minimal.rss"
for _ in $(seq "$runs"); do
  time_once "$build/bench/app/startup_probe_tallowick" >> "$runtime/tallowick"
  time_once "$build/bench/app/startup_probe_minimal" >> "$runtime/minimal"
done
peak_kb() { /usr/bin/time -f %M -o "$runtime/peak" "$1" >/dev/null 2>&1; tail -n 1 "$runtime/peak"; }
for _ in $(seq "$runs"); do
  peak_kb "$build/bench/app/startup_probe_tallowick" >> "$runtime/tallowick.rss"
  peak_kb "$build/bench/app/startup_probe_minimal" >> "$runtime/minimal.rss"
done
t=$(median < "$runtime/tallowick")
m=$(median < "$runtime/minimal")
echo "Tallowick start-up: median ${t} us over $runs runs"
echo "Minimal Qt window:  median ${m} us over $runs runs"
awk -v t="$t" -v m="$m" 'BEGIN { printf "Ratio: %.2f\n", t / m }'
tr=$(median < "$runtime/tallowick.rss")
mr=$(median < "$runtime/minimal.rss")
echo "Tallowick peak memory: median ${tr} KB over $runs runs"
echo "Minimal Qt window:     median ${mr} KB over $runs runs"
awk -v t="$tr" -v m="$mr" 'BEGIN { printf "Memory ratio: %.2f\n", t / m }'
