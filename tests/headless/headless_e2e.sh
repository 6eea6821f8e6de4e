#!/usr/bin/env bash
# The headless client against the provider simulator: a login that fails twice and is tried
# again after 30 s of the client's (fast) clock, an address change saved at the simulator, the
# status lines, the event log, a prompt SIGTERM, and clear errors for bad command lines.
#   headless_e2e.sh PROGRAM SOURCE_DIR
set -uo pipefail
program="$1"
export QUORIN_SOURCE="$2"
source "$QUORIN_SOURCE/tools/sim-lib.sh"

host=127.0.0.85
control=$host:8085
work="$(mktemp -d)"
passes=0
failures=0
check() {  # check DESCRIPTION COMMAND...
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
finish() {
  sim_stop "$work"
  [ -n "${client:-}" ] && kill -9 "$client" 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

cat >"$work/accounts.json" <<JSON
{"users": {"alice": {"password": "pa&ss +1", "key": "000$host-a", "randText": "R1",
  "zones": [{"name": "example.net", "text2": "x", "text3": "y",
             "hosts": [{"label": "www", "address": "192.0.2.1", "text3": "z", "kind": "A"},
                       {"label": "mail", "address": "192.0.2.1", "text3": "z", "kind": "A"}]}]}}}
JSON
store="$work/store"
mkdir -p "$store/HKEY_LOCAL_MACHINE/SOFTWARE/tilro"
printf '%s\n' "UpdateHostFree1=$host" "UpdateHostFree2=$host" "UpdateHostVip1=$host" \
  "UpdateHostVip2=$host" "isLog=1" >"$store/HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini"

sim_start "$work" "$host" 8085 "$work/accounts.json" 203.0.113.10 || exit 1
# The first two logins are answered with "server busy".
sim_post "$control" /control/fault '{"server":"login","path":"/client_login.php","mode":"code","code":"99","times":2}' >/dev/null

"$program" --store "$store" --time-scale 600 -silent alice 'pa&ss +1' >"$work/out.txt" 2>&1 &
client=$!

saved_has() { sim_get "$control" /control/saved | grep -q "$1"; }
check "the login is tried again after failures and succeeds" \
  wait_for 30 grep -q "logged in as alice" "$work/out.txt"
check "two failed logins were reported" test "$(grep -c 'login failed' "$work/out.txt")" -ge 2
check "the first address is saved" wait_for 30 saved_has 203.0.113.10
sim_post "$control" /control/address '{"address":"198.51.100.7"}' >/dev/null
check "a changed address is saved" wait_for 30 saved_has 198.51.100.7
check "the status line shows the new address" \
  wait_for 10 grep -q "address: 198.51.100.7" "$work/out.txt"

kill -TERM "$client"
start=$(date +%s)
wait "$client"
code=$?
client=""
check "SIGTERM ends the client with exit code 0" test "$code" -eq 0
check "within five seconds" test $(($(date +%s) - start)) -le 5
check "the client says it stopped" grep -q "stopped" "$work/out.txt"
check "the log holds the login and both changes" \
  test "$(grep -c '^0|IP Change|' "$store/quorin.log")" -ge 2 -a \
  "$(grep -c '^0|' "$store/quorin.log")" -ge 3

# Bad command lines end at once with one line and a non-zero code.
"$program" -silent onlyuser >"$work/bad.txt" 2>&1
check "a missing password is refused" test $? -ne 0 -a "$(wc -l <"$work/bad.txt")" -eq 1
"$program" --store /proc/version >"$work/bad.txt" 2>&1
check "an unusable store is refused" test $? -ne 0 -a "$(wc -l <"$work/bad.txt")" -eq 1
"$program" --store "$work/empty-store" >"$work/bad.txt" 2>&1
check "no account to log in with is refused" test $? -eq 2

if [ "$failures" -ne 0 ]; then
  echo "--- client output"
  cat "$work/out.txt"
  echo "--- simulator output"
  tail -20 "$work/sim.log"
fi
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
