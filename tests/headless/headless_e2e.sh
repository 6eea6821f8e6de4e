#!/usr/bin/env bash
# The headless client against the provider simulator: a login that fails twice and is tried
# again after 30 s of the client's (fast) clock, an address change saved at the simulator, the
# status lines, the event log, a prompt stop while a save waits for a silent server, and clear
# errors for bad command lines.
#   headless_e2e.sh PROGRAM SOURCE_DIR                 the native build (quorinfree), SIGTERM
#   headless_e2e.sh PROGRAM SOURCE_DIR WINE WINEPREFIX the console build (quorinfree-cli.exe)
#                                                      under Wine, Ctrl-C
# Natively the settings live in a store directory given with --store; under Wine they live in
# the registry of the prefix, and the profile and log files beside the program, which is
# therefore copied into the work directory.
set -uo pipefail
program="$1"
export QUORIN_SOURCE="$2"
wine="${3:-}"
source "$QUORIN_SOURCE/tools/sim-lib.sh"

work="$(mktemp -d)"

settings=(UpdateHostFree1 UpdateHostFree2 UpdateHostVip1 UpdateHostVip2)
if [ -n "$wine" ]; then
  host=127.0.0.84
  control=$host:8084
  export WINEPREFIX="$4" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$work/bin"
  cp "$program" "$work/bin/"
  program="$work/bin/$(basename "$program")"
  log="$work/bin/quorin.log"
  key='HKLM\SOFTWARE\tilro\tlHost'
  for name in "${settings[@]}"; do
    "$wine" reg add "$key" /v "$name" /d "$host" /f >/dev/null 2>&1
  done
  "$wine" reg add "$key" /v isLog /d 1 /f >/dev/null 2>&1
  client=("$wine" "$program")
  store_args=()
  stop_signal=INT  # Wine turns SIGINT into the console's Ctrl-C event
else
  host=127.0.0.85
  control=$host:8085
  store="$work/store"
  log="$store/quorin.log"
  mkdir -p "$store/HKEY_LOCAL_MACHINE/SOFTWARE/tilro"
  for name in "${settings[@]}"; do printf '%s=%s\n' "$name" "$host"; done \
    >"$store/HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini"
  echo "isLog=1" >>"$store/HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini"
  client=("$program")
  store_args=(--store "$store")
  stop_signal=TERM
fi

finish() {
  sim_stop "$work"
  [ -n "${client_pid:-}" ] && kill -9 "$client_pid" 2>/dev/null
  if [ -n "$wine" ]; then
    "$wine" reg delete "$key" /f >/dev/null 2>&1
    # The window tests share the prefix on displays of their own: leave no server behind.
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
  fi
  rm -rf "$work"
}
trap finish EXIT

cat >"$work/accounts.json" <<JSON
{"users": {"alice": {"password": "pa&ss +1", "key": "000$host-a", "randText": "R1",
  "zones": [{"name": "example.net", "text2": "x", "text3": "y",
             "hosts": [{"label": "www", "address": "192.0.2.1", "text3": "z", "kind": "A"},
                       {"label": "mail", "address": "192.0.2.1", "text3": "z", "kind": "A"}]}]},
  "bob": {"password": "b0b secret", "key": "000$host-b", "randText": "R2",
  "zones": [{"name": "example.org", "text2": "x", "text3": "y",
             "hosts": [{"label": "home", "address": "192.0.2.2", "text3": "z", "kind": "A"}]}]}}}
JSON

sim_start "$work" "$host" "${control#*:}" "$work/accounts.json" 203.0.113.10 || exit 1
# The first two logins are answered with "server busy".
sim_post "$control" /control/fault '{"server":"login","path":"/client_login.php","mode":"code","code":"99","times":2}' >/dev/null

# Started directly (not through a function), so that the signal reaches the client itself.
"${client[@]}" "${store_args[@]}" --time-scale 600 -silent alice 'pa&ss +1' >"$work/out.txt" 2>&1 &
client_pid=$!

saved_has() { sim_get "$control" /control/saved | grep -q "$1"; }
check "the login is tried again after failures and succeeds" \
  wait_for 60 grep -q "logged in as alice" "$work/out.txt"
check "two failed logins were reported" test "$(grep -c 'login failed' "$work/out.txt")" -ge 2
check "the first address is saved" wait_for 30 saved_has 203.0.113.10
sim_post "$control" /control/address '{"address":"198.51.100.7"}' >/dev/null
check "a changed address is saved" wait_for 30 saved_has 198.51.100.7
check "the status line shows the new address" \
  wait_for 10 grep -q "address: 198.51.100.7" "$work/out.txt"

# The stop comes while a save waits for a server that takes it and says nothing: the client
# must not wait for the save's time-outs.
saves_arrived() { sim_get "$control" '/control/records?since=0' | grep -o 'client_saveDomainList' | wc -l; }
saves_before=$(saves_arrived)
sim_post "$control" /control/fault '{"server":"login","path":"/client_saveDomainList.php","mode":"silent","hold_ms":120000}' >/dev/null
sim_post "$control" /control/address '{"address":"198.51.100.8"}' >/dev/null
more_saves() { [ "$(saves_arrived)" -gt "$saves_before" ]; }
check "the next save reaches the silent server" wait_for 30 more_saves

kill "-$stop_signal" "$client_pid"
start=$(date +%s)
# A client that ignores the request is killed after ten seconds, so the check fails, not hangs.
for _ in $(seq 1 100); do
  kill -0 "$client_pid" 2>/dev/null || break
  sleep 0.1
done
kill -9 "$client_pid" 2>/dev/null
wait "$client_pid"
code=$?
client_pid=""
check "SIG$stop_signal ends the client with exit code 0" test "$code" -eq 0
check "within three seconds, a save in progress included" test $(($(date +%s) - start)) -le 3
check "the client says it stopped" grep -q "stopped" "$work/out.txt"
check "the log holds the login and both changes" \
  test "$(grep -c '^0|IP Change|' "$log")" -ge 2 -a "$(grep -c '^0|' "$log")" -ge 3

# Bad command lines end at once with one line and a non-zero code.
"${client[@]}" -silent onlyuser >"$work/bad.txt" 2>&1
check "a missing password is refused" test $? -ne 0 -a "$(wc -l <"$work/bad.txt")" -eq 1
if [ -n "$wine" ]; then
  "${client[@]}" --store 'C:\\' >"$work/bad.txt" 2>&1
  check "--store is refused where the settings live in the registry" \
    test $? -ne 0 -a "$(wc -l <"$work/bad.txt")" -eq 1
  "${client[@]}" >"$work/bad.txt" 2>&1
else
  "${client[@]}" --store /proc/version >"$work/bad.txt" 2>&1
  check "an unusable store is refused" test $? -ne 0 -a "$(wc -l <"$work/bad.txt")" -eq 1
  "${client[@]}" --store "$work/empty-store" >"$work/bad.txt" 2>&1
fi
check "no account to log in with is refused" test $? -eq 2

# Remembered accounts: --remember proves the password by one login and stores it as the
# windowed client does; --password-file and standard input keep it off the command line.
if [ -n "$wine" ]; then
  profile="$work/bin/userprofie.dat"
  auto_login() { "$wine" reg query "$key" /v autoLogin 2>/dev/null | tr -d '\r' | awk '/autoLogin/ {print $NF}'; }
  as_program_path() { printf 'Z:%s' "${1//\//\\}"; }
else
  profile="$store/userprofie.dat"
  auto_login() { sed -n 's/^autoLogin=//p' "$store/HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini"; }
  as_program_path() { printf '%s' "$1"; }
fi
# The profile file as "current=N" and one "name:password:savePassword" line per profile.
profiles() {
  python3 - "$profile" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
print("current=%d" % struct.unpack("<i", data[:4])[0])
for at in range(4, len(data) - 259, 260):
    record = data[at:at + 260]
    text = lambda field: field.split(b"\0")[0].decode()
    print("%s:%s:%d" % (text(record[:128]), text(record[128:256]),
                        struct.unpack("<i", record[256:260])[0]))
PY
}
# Starts the client, waits for its login as USER, checks that its command line in /proc does
# not hold PASSWORD, and stops it. run_logged_in USER PASSWORD ARGUMENTS... (with --time-scale)
run_logged_in() {
  local user="$1" password="$2"
  shift 2
  "${client[@]}" "${store_args[@]}" "$@" >"$work/run.txt" 2>&1 &
  client_pid=$!
  check "a start with $* logs in as $user" wait_for 60 grep -q "logged in as $user" "$work/run.txt"
  if [ -z "$wine" ]; then
    local cmdline
    cmdline="$(tr '\0' ' ' <"/proc/$client_pid/cmdline")"
    # The --time-scale shows that this is the client's command line, read while it runs.
    check "its command line does not hold the password" \
      test "${cmdline#*--time-scale}" != "$cmdline" -a "${cmdline#*"$password"}" = "$cmdline"
  fi
  kill "-$stop_signal" "$client_pid"
  for _ in $(seq 1 100); do
    kill -0 "$client_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$client_pid" 2>/dev/null
  wait "$client_pid"
  client_pid=""
}

printf 'wrong\n' | "${client[@]}" "${store_args[@]}" --remember alice >"$work/remember.txt" 2>&1
code=$?
check "a refused login stores nothing and says why" \
  test "$code" -eq 3 -a ! -e "$profile" -a -z "$(auto_login)"
grep -q "login failed" "$work/remember.txt" || check "the refusal is reported" false

printf 'pa&ss +1\n' | "${client[@]}" "${store_args[@]}" --remember alice >"$work/remember.txt" 2>&1
check "--remember with the password on standard input" test $? -eq 0
check "it stores alice as the current profile with her password, and autoLogin=1" \
  test "$(profiles 2>&1)" = "$(printf 'current=0\nalice:pa&ss +1:1')" -a "$(auto_login)" = 1
check "the file keeps its layout: the index and one record" test "$(wc -c <"$profile")" -eq 264
[ -z "$wine" ] && check "the profile file is for its owner only" \
  test "$(stat -c %a "$profile")" = 600
run_logged_in alice 'pa&ss +1' --time-scale 600

printf 'b0b secret' >"$work/bob-password"  # a file without a line end, as systemd-creds writes
"${client[@]}" "${store_args[@]}" --password-file "$(as_program_path "$work/bob-password")" \
  --remember bob >"$work/remember.txt" 2>&1
check "--remember with --password-file" test $? -eq 0
check "a second account keeps the first and becomes current" \
  test "$(profiles 2>&1)" = "$(printf 'current=1\nalice:pa&ss +1:1\nbob:b0b secret:1')"
run_logged_in bob 'b0b secret' --time-scale 600

printf 'pa&ss +1\nnot this line\n' >"$work/alice-password"
run_logged_in alice 'pa&ss +1' --time-scale 600 \
  --password-file "$(as_program_path "$work/alice-password")" -silent alice

"${client[@]}" "${store_args[@]}" --forget alice >"$work/forget.txt" 2>&1
check "--forget removes a profile that is not current; autoLogin stays" \
  test $? -eq 0 -a "$(profiles 2>&1)" = "$(printf 'current=0\nbob:b0b secret:1')" \
  -a "$(auto_login)" = 1
"${client[@]}" "${store_args[@]}" --forget bob >"$work/forget.txt" 2>&1
check "--forget of the current account leaves none current and autoLogin=0" \
  test $? -eq 0 -a "$(profiles 2>&1)" = "current=-1" -a "$(auto_login)" = 0
"${client[@]}" "${store_args[@]}" --forget bob >"$work/forget.txt" 2>&1
check "--forget of an account that is not there" test $? -eq 2 -a "$(wc -l <"$work/forget.txt")" -eq 1
"${client[@]}" "${store_args[@]}" --password-file "$(as_program_path "$work/missing")" \
  -silent alice >"$work/bad.txt" 2>&1
check "a password file that cannot be read is refused in one line" \
  test $? -eq 1 -a "$(wc -l <"$work/bad.txt")" -eq 1
# A person at a terminal: nothing typed shows, a Backspace takes back a character, and the
# echo is back afterwards. Under Wine the program reads the console Wine makes of the terminal;
# Wine switches the terminal's own echo off only some moments after the program asks, so there
# the echo is not checked.
python3 "$QUORIN_SOURCE/tests/headless/type_password.py" $'pa&sx\x7fs +1' 'Password for alice:' \
  "${client[@]}" "${store_args[@]}" --remember alice >"$work/typed.txt" 2>&1
code=$?
if [ -n "$wine" ]; then
  check "--remember reads the password typed at the console" test "$code" -eq 0
else
  check "--remember at a terminal reads the password without echo" \
    test "$code" -eq 0 -a "$(grep -c 'pa&s' "$work/typed.txt")" -eq 0
fi
check "and remembers it" test "$(profiles 2>&1)" = "$(printf 'current=0\nalice:pa&ss +1:1')"

# Update hosts that the name server says do not exist: the client ends at once instead of
# retrying. Only where a name server answers; without one, a lookup proves nothing.
if python3 -c 'import socket, sys
try:
    socket.getaddrinfo("no-such-host.invalid", None, socket.AF_INET)
except socket.gaierror as e:
    sys.exit(0 if e.errno == socket.EAI_NONAME else 1)
sys.exit(1)' && [ -z "$wine" ]; then
  missing="$work/missing-hosts"
  mkdir -p "$missing/HKEY_LOCAL_MACHINE/SOFTWARE/tilro"
  for name in "${settings[@]}"; do printf '%s=no-such-host.invalid\n' "$name"; done \
    >"$missing/HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini"
  timeout 20 "${client[@]}" --store "$missing" -silent alice x >"$work/bad.txt" 2>&1
  code=$?
  check "update hosts that do not exist end the client with one line" \
    test "$code" -eq 1 -a "$(wc -l <"$work/bad.txt")" -eq 1
  grep -q "no-such-host.invalid" "$work/bad.txt" || check "the line names the host" false
else
  echo "skipped: no name server answers here"
fi

if [ "$failures" -ne 0 ]; then
  echo "--- client output"
  cat "$work/out.txt"
  echo "--- simulator output"
  tail -20 "$work/sim.log"
fi
echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ]
