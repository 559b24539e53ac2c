#!/usr/bin/env bash
# Sets up, builds both presets and runs every test: natively on Linux under a
# private Xvfb, and the Windows build under Wine on the same display.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/setup.sh
bash scripts/build.sh linux windows asan tsan

. scripts/xvfb.sh
. scripts/wine.sh
cleanup() { stop_wine; [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null; wait 2>/dev/null || true; }
trap cleanup EXIT
start_xvfb
start_wine "$root/build/windows/wineprefix"

status=0
echo "== Linux tests (native, Xvfb $DISPLAY)"
ctest --preset linux -j 2 || status=1
echo "== Windows tests (under $(wine --version 2>/dev/null), prefix $WINEPREFIX)"
ctest --preset windows -j 2 || status=1
echo "== Linux tests under AddressSanitizer + UndefinedBehaviorSanitizer"
ctest --preset asan -j 2 || status=1
echo "== Simulated-platform tests under ThreadSanitizer"
ctest --preset tsan -j 2 || status=1
echo "== Fuzzing the text layer (${FUZZ_SECONDS:-30} s a target)"
bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}" || status=1
exit $status
