#!/usr/bin/env bash
# Plays a 3-line script in the real Linux tavrel for SOAK_SECONDS (default 300)
# on a private Xvfb, sampling the process's resident memory, fds and threads.
# SOAK_INTERVAL sets the sampling period (default 30 s); SOAK_NO_BUILD=1 skips the build.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${SOAK_SECONDS:-300}
interval=${SOAK_INTERVAL:-30}
binary=build/linux/app/tavrel

if [ "${SOAK_NO_BUILD:-0}" != 1 ]; then
  bash scripts/build.sh linux >/dev/null 2>&1 || { echo "build failed: bash scripts/build.sh linux" >&2; exit 1; }
fi
[ -x "$binary" ] || { echo "no $binary" >&2; exit 1; }

. scripts/xvfb.sh
start_xvfb
app_pid=""
clip_pids=()
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null && wait "$app_pid" 2>/dev/null || true
  for p in "${clip_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  kill "$XVFB_PID" 2>/dev/null || true
  wait "$XVFB_PID" 2>/dev/null || true
}
trap cleanup EXIT

tap() { xdotool keydown "$1" sleep 0.05 keyup "$1"; sleep 0.1; }

"$binary" >/dev/null 2>&1 &
app_pid=$!
window=""
for _ in $(seq 100); do
  window=$(xdotool search --name '^Tavrel - ' 2>/dev/null | head -n1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || { echo "tavrel window did not appear" >&2; exit 1; }
sleep 0.5
eval "$(xdotool getwindowgeometry --shell "$window")"  # X, Y of the client area

# Two clicks recorded with F7 away from the window, then the delay box's 1000 ms.
xdotool mousemove 600 400; sleep 0.05; tap F7
xdotool mousemove 700 500; sleep 0.05; tap F7
xdotool mousemove $((X + 54)) $((Y + 86)) click 1; sleep 0.2  # the add-delay button
# Read the script box back through the clipboard.
xdotool mousemove $((X + 200)) $((Y + 120)) click 1; sleep 0.1
xdotool key ctrl+a ctrl+c; sleep 0.3
script=$(timeout 5 xclip -selection clipboard -o 2>/dev/null || true)
lines=$(printf '%s\n' "$script" | grep -c . || true)
echo "script in the box ($lines lines):"
printf '%s\n' "$script" | sed 's/^/  /'
[ "$lines" = 3 ] || { echo "expected 3 lines" >&2; exit 1; }
xdotool mousemove 1200 780

sample() {
  local rss fds threads
  rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$app_pid/status")
  threads=$(awk '/^Threads:/ {print $2}' "/proc/$app_pid/status")
  fds=$(ls "/proc/$app_pid/fd" | wc -l)
  printf '%8s %10s %6s %8s\n' "$1" "$rss" "$fds" "$threads"
  last_rss=$rss last_fds=$fds
}

tap F9
start=$(date +%s)
printf '%8s %10s %6s %8s\n' "seconds" "VmRSS(kB)" "fds" "threads"
sample 0
first_rss=$last_rss first_fds=$last_fds
elapsed=0
while [ "$elapsed" -lt "$seconds" ]; do
  step=$interval
  [ $((elapsed + step)) -gt "$seconds" ] && step=$((seconds - elapsed))
  sleep "$step"
  kill -0 "$app_pid" 2>/dev/null || { echo "tavrel exited during the soak" >&2; exit 1; }
  elapsed=$(( $(date +%s) - start ))
  sample "$elapsed"
done
tap F10
echo "growth: VmRSS $((last_rss - first_rss)) kB, fds $((last_fds - first_fds))"
