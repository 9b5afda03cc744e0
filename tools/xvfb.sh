# A private X display (Xvfb) for the wizard's windows, for ./orv test and
# ./orv gui (sourced, not run). start_xvfb sets DISPLAY; stop_xvfb ends the
# server it started.
XVFB_PID=

start_xvfb() {
  local number_file tries=0
  number_file=$(mktemp)
  # -displayfd picks a free display number and writes it once the server
  # accepts connections.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  while [ ! -s "$number_file" ] && [ $tries -lt 100 ]; do
    sleep 0.1
    tries=$((tries + 1))
  done
  if [ ! -s "$number_file" ]; then
    rm -f "$number_file"
    stop_xvfb
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(head -n 1 "$number_file")"
  rm -f "$number_file"
}

stop_xvfb() {
  if [ -n "$XVFB_PID" ]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=
  fi
}
