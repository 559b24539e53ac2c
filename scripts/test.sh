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

passed=0 failed=0
step() {  # step TITLE COMMAND...: runs one group of tests and counts it
  echo "== $1"; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); echo "FAILED: $*"; fi
}
step "Linux tests (native, Xvfb $DISPLAY)" ctest --preset linux -j 2
step "Windows tests (under $(wine --version 2>/dev/null), prefix $WINEPREFIX)" ctest --preset windows -j 2
step "Linux tests under AddressSanitizer + UndefinedBehaviorSanitizer" ctest --preset asan -j 2
step "Simulated-platform tests under ThreadSanitizer" ctest --preset tsan -j 2
step "Release packages" bash scripts/check_packages.sh
step "Fuzzing the text layer (${FUZZ_SECONDS:-30} s a target)" bash scripts/fuzz.sh "${FUZZ_SECONDS:-30}"
echo "groups: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
