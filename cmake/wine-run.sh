#!/usr/bin/env bash
# Runs a Windows test executable under Wine. The test command exports WINEPREFIX
# (inside the build tree) and DISPLAY (its private Xvfb) before ctest starts.
export WINEDEBUG=${WINEDEBUG:--all}
exec wine "$@"
