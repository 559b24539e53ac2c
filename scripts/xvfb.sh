# Sourced: starts a private Xvfb on a free display and exports DISPLAY.
# XVFB_PID is the server's pid, for the caller to stop.
start_xvfb() {
  local fifo; fifo=$(mktemp -u); mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  local n; read -r n <"$fifo"; rm -f "$fifo"
  export DISPLAY=":$n"
  for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
  echo "Xvfb did not answer on $DISPLAY" >&2; return 1
}
