#!/usr/bin/env bash
# Start-up to the moment the user can type: velmarin until its Command window has
# painted the command text and the editor waits for the first key, against a bare Qt
# Widgets program until a text widget in a window of the frame's size has painted the
# same ten lines. Both alternate on one Xvfb display; prints every figure, the medians
# and their ratio (goal: at most 1.5).
#   bench/platform/startup.sh [BUILD_DIR] [RUNS]
set -euo pipefail
build=${1:-build}
runs=${2:-15}
velmarin="$build/src/app/velmarin"
bare="$build/bench-programs/bare_qt"
for p in "$velmarin" "$bare"; do
  if [ ! -x "$p" ]; then
    echo "startup.sh: $p is missing (ninja -C $build velmarin bare_qt)" >&2
    exit 1
  fi
done

# A display of our own, so that nothing else draws on it while we measure.
display=""
for n in $(seq 90 130); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
    display=":$n"
    break
  fi
done
[ -n "$display" ] || { echo "startup.sh: no free X display number" >&2; exit 1; }
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  [ -e "/tmp/.X11-unix/X${display#:}" ] && break
  sleep 0.05
done
export DISPLAY="$display" QT_QPA_PLATFORM=xcb

# One run: milliseconds from just before exec to the moment the text is on the screen,
# as the program reports it.
measure() {
  local out
  out=$(VELMARIN_T0=$EPOCHREALTIME "$@" 2>/dev/null) || true
  local ms=${out##*ready-ms }
  [[ "$out" == *ready-ms* ]] || { echo "startup.sh: no ready time from $1" >&2; exit 1; }
  echo "${ms%%$'\n'*}"
}

median() { printf '%s\n' "$@" | sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }

# Warm the caches (fonts, shared libraries) for both before measuring.
measure "$bare" >/dev/null
measure "$velmarin" --ready-time >/dev/null
bareMs=()
velMs=()
for _ in $(seq "$runs"); do
  bareMs+=("$(measure "$bare")")
  velMs+=("$(measure "$velmarin" --ready-time)")
done
bareMedian=$(median "${bareMs[@]}")
velMedian=$(median "${velMs[@]}")
echo "bare Qt  ms: ${bareMs[*]}"
echo "velmarin ms: ${velMs[*]}"
awk -v b="$bareMedian" -v v="$velMedian" 'BEGIN {
  printf "median to ready: bare Qt %.1f ms, velmarin %.1f ms, ratio %.2f (goal <= 1.50)\n", b, v, v / b
}'
