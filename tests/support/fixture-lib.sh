# Shell helpers for the CTest fixtures that start and stop servers: source this file.

# stop_pid_file FILE: ends the process whose pid FILE holds, waits up to five seconds for it to
# go, and removes FILE. Nothing to do when FILE is missing.
stop_pid_file() {
  local file="$1" pid
  [ -f "$file" ] || return 0
  pid="$(cat "$file")"
  kill "$pid" 2>/dev/null || true
  for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$file"
}

# wait_until_ready PID_FILE COMMAND...: runs COMMAND every 0.1 s, for up to ten seconds, until
# it succeeds; gives up at once when the process of PID_FILE has ended.
wait_until_ready() {
  local file="$1"
  shift
  for _ in $(seq 1 100); do
    "$@" >/dev/null 2>&1 && return 0
    kill -0 "$(cat "$file")" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
