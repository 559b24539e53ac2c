# Sourced: a private Wine prefix inside the build tree and a warm wineserver.
# Without a running server each test costs ~3 s: Wine's helpers hold ctest's pipes.
start_wine() {
  export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1
    # Chinese UI fonts resolve to WenQuanYi from the system, so labels are not boxes.
    for f in SimSun "MS UI Gothic" PMingLiU "Microsoft YaHei" "Microsoft YaHei UI"; do
      wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$f" /t REG_SZ /d "WenQuanYi Micro Hei" /f </dev/null >/dev/null 2>&1
    done
    wineserver -w
  fi
  setsid wineserver -f -p </dev/null >/dev/null 2>&1 &
  wine cmd /c exit </dev/null >/dev/null 2>&1
}
stop_wine() { [ -n "${WINEPREFIX:-}" ] && wineserver -k >/dev/null 2>&1 || true; }
