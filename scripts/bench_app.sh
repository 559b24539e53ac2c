# Sourced by bench.sh: figures of the real programs, run on bench.sh's Xvfb and Wine.
echo "== applications: latency, edit box, idle CPU, size, memory" >&2
build/linux/bench/tavrel_latency_bench 50 | sed -n 's/^ROW /Linux: /p' >>"$rows"
wine build/windows/bench/tavrel_latency_bench.exe 50 2>/dev/null | tr -d '\r' | sed -n 's/^ROW /Wine: /p' >>"$rows" || true
build/linux/bench/tavrel_editbox_bench | sed -n 's/^ROW /Linux: /p' >>"$rows"
wine build/windows/bench/tavrel_editbox_bench.exe 2>/dev/null | tr -d '\r' | sed -n 's/^ROW /Wine: /p' >>"$rows" || true

# Launch to window mapped, and resident memory after start (Linux).
start_ns=$(date +%s%N)
build/linux/app/tavrel & app=$!; pids+=("$app")
for _ in $(seq 200); do xdotool search --onlyvisible --name '^Tavrel' >/dev/null 2>&1 && break; sleep 0.01; done
mapped_ms=$(( ($(date +%s%N) - start_ns) / 1000000 ))
sleep 1
rss_kb=$(awk '/VmRSS/ {print $2}' "/proc/$app/status")
build/linux/bench/tavrel_idle_window & idle=$!; pids+=("$idle")
sleep 1
idle_rss=$(awk '/VmRSS/ {print $2}' "/proc/$idle/status")
row "Linux: launch to window mapped" "$mapped_ms" "" ms
row "Linux: resident memory after start (vs idle FLTK window)" "$((rss_kb / 1024))" "$((idle_rss / 1024))" MB

# Idle CPU over 10 s of the running application vs the same window without polling,
# all four at once (the Wine pair too), so the run costs 10 s.
WINEDEBUG=-all wine build/windows/app/tavrel.exe >/dev/null 2>&1 & pids+=($!)
WINEDEBUG=-all wine build/windows/bench/tavrel_idle_window.exe >/dev/null 2>&1 & pids+=($!)
sleep 3
wpid=$(pgrep -n -f 'app.tavrel[.]exe')
wbase=$(pgrep -n -f 'tavrel_idle_window[.]exe')
cpu_percent "$app" 10 >build/bench/cpu_app & a1=$!
cpu_percent "$idle" 10 >build/bench/cpu_idle & a2=$!
[ -n "$wpid" ] && { cpu_percent "$wpid" 10 >build/bench/cpu_wapp & }
[ -n "$wbase" ] && { cpu_percent "$wbase" 10 >build/bench/cpu_widle & }
wait $a1 $a2; sleep 0.5
row "Linux: idle CPU of tavrel over 10 s (vs idle FLTK window, no polling)" "$(cat build/bench/cpu_app)" "$(cat build/bench/cpu_idle)" "%core"
[ -s build/bench/cpu_wapp ] && row "Wine: idle CPU of tavrel.exe over 10 s (vs idle Win32 window, no polling)" \
  "$(cat build/bench/cpu_wapp)" "$(cat build/bench/cpu_widle 2>/dev/null)" "%core"
row "tavrel.exe size, static, system DLLs only (vs 300 KB goal)" "$(( $(stat -c %s build/windows/app/tavrel.exe) / 1024 ))" 300 KB
