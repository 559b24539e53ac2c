# Sourced: a private Wine prefix inside the build tree and a warm wineserver.
# Without a running server each test costs ~3 s: Wine's helpers hold ctest's pipes.
start_wine() {
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
  fi
  setsid wineserver -f -p </dev/null >/dev/null 2>&1 &
  wine cmd /c exit </dev/null >/dev/null 2>&1
}
stop_wine() { [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true; }
