# Shell helpers for scripts that run the provider simulator: source this file.
# They talk to the simulator's control port with curl and never pass outside text to a shell.

# sim_start DIR HOST CONTROL_PORT ACCOUNTS_JSON [ADDRESS]: starts the simulator in the
# background (its pid in DIR/sim.pid, its output in DIR/sim.log) and waits until it listens.
sim_start() {
  local dir="$1" host="$2" control="$3" accounts="$4" address="${5:-}"
  local args=(--host "$host" --port 5353 --control-port "$control" --accounts "$accounts"
              --ready-file "$dir/sim.ready")
  [ -n "$address" ] && args+=(--address "$address")
  rm -f "$dir/sim.ready"
  python3 "$QUORIN_SOURCE/tools/provider_sim.py" "${args[@]}" >"$dir/sim.log" 2>&1 &
  echo $! >"$dir/sim.pid"
  for _ in $(seq 1 600); do
    [ -s "$dir/sim.ready" ] && return 0
    kill -0 "$(cat "$dir/sim.pid")" 2>/dev/null || break
    sleep 0.1
  done
  echo "the simulator did not start:" >&2
  cat "$dir/sim.log" >&2
  return 1
}

sim_stop() {
  local dir="$1"
  [ -f "$dir/sim.pid" ] && kill "$(cat "$dir/sim.pid")" 2>/dev/null
  rm -f "$dir/sim.pid"
  return 0
}

# sim_post HOST:PORT PATH JSON
sim_post() {
  curl -sf --max-time 5 -X POST -H 'Content-Type: application/json' --data "$3" "http://$1$2"
}

# sim_get HOST:PORT PATH
sim_get() {
  curl -sf --max-time 5 "http://$1$2"
}

# check DESCRIPTION COMMAND...: one check of an end-to-end script, counted in $passes or
# $failures, which the script reports at its end.
passes=0
failures=0
check() {
  local what="$1"
  shift
  if "$@"; then
    echo "ok: $what"
    passes=$((passes + 1))
  else
    echo "FAILED: $what"
    failures=$((failures + 1))
  fi
}

# wait_for SECONDS COMMAND...: runs the command every 0.1 s until it succeeds.
wait_for() {
  local limit="$1"
  shift
  local tries=$((limit * 10))
  for _ in $(seq 1 "$tries"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
