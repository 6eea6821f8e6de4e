#!/usr/bin/env bash
# The console client on a Chinese Windows (code page 936, Wine in the zh_CN.UTF-8 locale)
# against the provider simulator speaking GBK: a Chinese account name goes out as
# percent-encoded GBK, the zone texts the server wrote in GBK come back in the save as the same
# bytes, userprofie.dat holds the name in GBK, the printed lines are GBK, and a name outside the
# code page is refused before anything is sent.
#   code_page_936_e2e.sh PROGRAM SOURCE_DIR WINE WINEPREFIX LOCALES
set -uo pipefail
program="$1"
export QUORIN_SOURCE="$2"
wine="$3"
export WINEPREFIX="$4" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
locales="$5"
source "$QUORIN_SOURCE/tools/sim-lib.sh"

work="$(mktemp -d)"
# in_locale COMMAND...: runs under Wine in the Chinese locale.
in_locale() { sh "$QUORIN_SOURCE/tests/platform/win32/in_chinese_locale.sh" "$locales" "$@"; }

host=127.0.0.118
control=$host:8118
key='HKLM\SOFTWARE\tilro\tlHost'
mkdir -p "$work/bin"
cp "$program" "$work/bin/"
program="$work/bin/$(basename "$program")"
client_pid=""

finish() {
  sim_stop "$work"
  [ -n "$client_pid" ] && kill -9 "$client_pid" 2>/dev/null
  "$wine" reg delete "$key" /f >/dev/null 2>&1
  wineserver -k 2>/dev/null
  wineserver -w 2>/dev/null
  rm -rf "$work"
}
trap finish EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1
  wineserver -w
fi
for name in UpdateHostFree1 UpdateHostFree2 UpdateHostVip1 UpdateHostVip2; do
  "$wine" reg add "$key" /v "$name" /d "$host" /f >/dev/null 2>&1
done
"$wine" reg add "$key" /v isLog /d 1 /f >/dev/null 2>&1

# 张三 (D5C5 C8FD), zone texts 北京 (B1B1 BEA9) and 电信 (B5E7 D0C5), host text 主机 (D6F7 BBFA).
cat >"$work/accounts.json" <<JSON
{"users": {"张三": {"password": "pw", "key": "000$host-a", "randText": "R1",
  "zones": [{"name": "example.net", "text2": "北京", "text3": "电信",
             "hosts": [{"label": "www", "address": "192.0.2.1", "text3": "主机", "kind": "A"}]}]}}}
JSON
rm -f "$work/sim.ready"
python3 "$QUORIN_SOURCE/tools/provider_sim.py" --host "$host" --port 5353 --control-port 8118 \
  --accounts "$work/accounts.json" --address 203.0.113.18 --encoding gbk \
  --ready-file "$work/sim.ready" >"$work/sim.log" 2>&1 &
echo $! >"$work/sim.pid"
wait_for 60 test -s "$work/sim.ready" || { cat "$work/sim.log"; exit 1; }

# The raw bytes of every recorded request to PATH, one line each, as hex.
request_hex() {
  sim_get "$control" '/control/records?since=0' | python3 -c '
import base64, json, sys
path = sys.argv[1]
answer = json.load(sys.stdin)
records = answer["records"] if isinstance(answer, dict) else answer
for record in records:
    if record.get("path") == path:
        print(base64.b64decode(record["b64"]).hex())' "$1"
}
has_hex() { request_hex "$1" | grep -q "$2"; }
hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }

printf 'pw\n' >"$work/password.txt"
in_locale "$wine" "$program" --remember 张三 --password-file "$work/password.txt" \
  >"$work/remember.txt" 2>&1
check "--remember with a Chinese name logs in" test $? -eq 0
check "the login sends the name as percent-encoded GBK" \
  has_hex /client_login.php "$(hex 'user_name=%D5%C5%C8%FD&')"
check "userprofie.dat holds the name in GBK" \
  python3 -c 'import sys; d = open(sys.argv[1], "rb").read(); sys.exit(d[4:9] != b"\xd5\xc5\xc8\xfd\0")' \
  "$work/bin/userprofie.dat"

in_locale "$wine" "$program" --time-scale 600 -silent 张三 pw >"$work/out.txt" 2>&1 &
client_pid=$!
check "the first address is saved" \
  wait_for 60 has_hex /client_saveDomainList.php "$(hex 203.0.113.18)"
check "the save returns the zone texts as the GBK bytes the server wrote" \
  has_hex /client_saveDomainList.php \
  "$(hex 'domain=example.net,%B1%B1%BE%A9,%B5%E7%D0%C5|www,203.0.113.18,%D6%F7%BB%FA,A&')"
kill -INT "$client_pid"
for _ in $(seq 1 100); do
  kill -0 "$client_pid" 2>/dev/null || break
  sleep 0.1
done
kill -9 "$client_pid" 2>/dev/null
wait "$client_pid"
client_pid=""
check "the console shows the name in GBK" \
  grep -q "$(printf 'logged in as \xd5\xc5\xc8\xfd')" "$work/out.txt"

logins_before=$(request_hex /client_login.php | wc -l)
in_locale "$wine" "$program" -silent 한 pw >"$work/refused.txt" 2>&1
check "a name outside the code page ends the client at once" test $? -ne 0
check "and says why" grep -q "code page cannot write" "$work/refused.txt"
check "and sends nothing" test "$(request_hex /client_login.php | wc -l)" -eq "$logins_before"

echo "$passes passed, $failures failed"
[ "$failures" -eq 0 ] || { echo "--- remember"; cat "$work/remember.txt"; echo "--- out";
  cat "$work/out.txt"; echo "--- refused"; cat "$work/refused.txt"; }
[ "$failures" -eq 0 ]
