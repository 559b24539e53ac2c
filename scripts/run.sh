#!/usr/bin/env bash
# Sets up, builds and starts Tavrel on your X display. With no display it starts
# Tavrel on a private Xvfb, saves a screenshot and runs until stopped (Ctrl+C).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh linux windows
echo "Windows build: $PWD/build/windows/app/tavrel.exe (one self-contained file)"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec build/linux/app/tavrel
fi

. scripts/xvfb.sh
start_xvfb
build/linux/app/tavrel & app=$!
trap 'kill $app $XVFB_PID 2>/dev/null; wait 2>/dev/null; exit 0' INT TERM EXIT
for _ in $(seq 100); do xdotool search --onlyvisible --name '^Tavrel' >/dev/null 2>&1 && break; sleep 0.1; done
sleep 0.5
shot=$PWD/build/tavrel-screenshot.png
import -window root "$shot"
echo "No X display: Tavrel runs on a private Xvfb ($DISPLAY), pid $app."
echo "Screenshot: $shot"
echo "Stop with Ctrl+C (or: kill $$)."
wait $app
