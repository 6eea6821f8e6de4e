#!/usr/bin/env bash
# Benchmark (not a test, not in CTest): the memory of the headless client next to inadyn and
# ddclient, the three running side by side in one run, each against a loopback stand-in of its
# provider with a stable address and a 60 s period. After 95 s it prints RSS, PSS and USS
# (Private_Clean + Private_Dirty) from /proc/PID/smaps_rollup and the requests each made while
# the address was stable (from 35 s to 95 s, after every start-up has settled).
#
#   bench_footprint.sh [PROGRAM]   (as root: it installs inadyn and ddclient from Debian when
#                                   they are missing; PROGRAM defaults to the client that the
#                                   Debian package holds, built by the native-release preset)
#
# Stand-ins: our client talks to tools/provider_sim.py (127.0.0.171; requests are its TCP
# connections and UDP queries); inadyn and ddclient talk to tests/headless/ddns_standin.py
# (127.0.0.172:8172 and 127.0.0.173:8173; requests are HTTP requests: check-IP and updates).
set -euo pipefail

source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export QUORIN_SOURCE="$source_dir"
source "$source_dir/tools/sim-lib.sh"
source "$source_dir/tests/headless/bench-lib.sh"

if [ "$(id -u)" -ne 0 ]; then
  echo "bench_footprint.sh needs root (it installs inadyn and ddclient)" >&2
  exit 2
fi
missing=()
for package in inadyn ddclient; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

work="$(mktemp -d /tmp/bench_footprint.XXXXXX)"
pids=()
cleanup() {
  set +e
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  [ "${BENCH_KEEP:-0}" = 1 ] && echo "kept: $work" || rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

program="${1:-}"
if [ -z "$program" ]; then
  echo "building the client with the native-release preset ..."
  if ! (cd "$source_dir" && cmake --preset native-release &&
         cmake --build --preset native-release --target quorinfree -j1) >"$work/build.log" 2>&1
  then
    tail -30 "$work/build.log" >&2
    exit 1
  fi
  program="$source_dir/build/native-release/client/headless/quorinfree"
fi
program="$(realpath "$program")"
if ldd "$program" 2>/dev/null | grep -q -e libasan -e libubsan; then
  echo "$program is built with sanitizers; its memory figures would mean nothing" >&2
  exit 2
fi
address=203.0.113.10

# --- stand-ins ----------------------------------------------------------------------------
bench_write_accounts
python3 "$source_dir/tools/provider_sim.py" --host 127.0.0.171 --port 5353 \
  --accounts "$work/accounts.json" --address "$address" --record "$work/records.jsonl" \
  --ready-file "$work/sim.ready" >"$work/sim.log" 2>&1 &
pids+=("$!")
for peer in 172 173; do
  python3 "$source_dir/tests/headless/ddns_standin.py" "127.0.0.$peer" "8$peer" "$address" \
    "$work/standin-$peer.log" >"$work/standin-$peer.out" 2>&1 &
  pids+=("$!")
done
wait_for 20 test -s "$work/sim.ready" || { cat "$work/sim.log" >&2; exit 1; }
for peer in 172 173; do
  wait_for 10 grep -q ready "$work/standin-$peer.out" || { cat "$work/standin-$peer.out" >&2; exit 1; }
done

# --- the three clients --------------------------------------------------------------------
bench_store "$work/store" 127.0.0.171
mkdir -p "$work/inadyn-cache"
cat >"$work/inadyn.conf" <<CONF
period = 60
custom bench {
    username       = bench
    password       = bench-pw
    checkip-server = 127.0.0.172:8172
    checkip-path   = /ip
    checkip-ssl    = false
    ddns-server    = 127.0.0.172:8172
    ddns-path      = "/nic/update?hostname=%h&myip=%i"
    ssl            = false
    hostname       = bench.example.net
}
CONF
(umask 077 && cat >"$work/ddclient.conf" <<CONF
daemon=60
syslog=no
pid=$work/ddclient.pid
cache=$work/ddclient.cache
use=web, web=http://127.0.0.173:8173/ip
protocol=dyndns2
server=127.0.0.173:8173
ssl=no
login=bench
password=bench-pw
bench.example.net
CONF
)

started="$(date +%s.%N)"
"$program" --store "$work/store" -silent bench bench-pw >"$work/quorinfree.out" 2>&1 &
ours="$!"
pids+=("$ours")
inadyn --foreground --config "$work/inadyn.conf" --cache-dir "$work/inadyn-cache" \
  --pidfile "$work/inadyn.pid" --loglevel info >"$work/inadyn.out" 2>&1 &
theirs_inadyn="$!"
pids+=("$theirs_inadyn")
ddclient -foreground -file "$work/ddclient.conf" -daemon 60 >"$work/ddclient.out" 2>&1 &
theirs_ddclient="$!"
pids+=("$theirs_ddclient")

# requests_since T: "ours inadyn ddclient" requests made from time T (seconds since the epoch).
requests_since() {
  python3 - "$1" "$work" <<'PY'
import json, os, sys
since, work = float(sys.argv[1]), sys.argv[2]
ours = set()
path = os.path.join(work, "records.jsonl")
if os.path.exists(path):
    for line in open(path):
        r = json.loads(line)
        if r["time"] >= since:
            ours.add((r["transport"], r.get("conn") if r["transport"] == "tcp" else r["seq"]))
def peer(n):
    path = os.path.join(work, f"standin-{n}.log")
    if not os.path.exists(path):
        return 0
    return sum(1 for line in open(path) if float(line.split()[0]) >= since)
print(len(ours), peer(172), peer(173))
PY
}

# memory PID: "RSS PSS USS" in KiB.
memory() {
  awk '/^Rss:/ { r = $2 } /^Pss:/ { p = $2 } /^Private_(Clean|Dirty):/ { u += $2 }
       END { print r, p, u }' "/proc/$1/smaps_rollup"
}

echo "running the three side by side for 95 s ..."
stable_from="$(awk -v s="$started" 'BEGIN { printf "%.3f", s + 35 }')"
sleep 95
for pid in "$ours" "$theirs_inadyn" "$theirs_ddclient"; do
  kill -0 "$pid" 2>/dev/null || { echo "a client ended early; see $work (BENCH_KEEP=1)" >&2
                                   for f in "$work"/*.out; do echo "== $f"; tail -5 "$f"; done >&2
                                   exit 1; }
done
read -r rss_o pss_o uss_o <<<"$(memory "$ours")"
read -r rss_i pss_i uss_i <<<"$(memory "$theirs_inadyn")"
read -r rss_d pss_d uss_d <<<"$(memory "$theirs_ddclient")"
threads_o="$(ls "/proc/$ours/task" | wc -l)"
libraries_o="$(awk '$6 ~ /\.so/ { print $6 }' "/proc/$ours/maps" | sort -u | wc -l)"
libraries_i="$(awk '$6 ~ /\.so/ { print $6 }' "/proc/$theirs_inadyn/maps" | sort -u | wc -l)"
read -r all_o all_i all_d <<<"$(requests_since 0)"
read -r stable_o stable_i stable_d <<<"$(requests_since "$stable_from")"

echo
echo "footprint after 95 s, 60 s period, stable address $address, in KiB"
printf '%-12s %8s %8s %8s %18s %14s\n' "" RSS PSS USS "requests 35-95 s" "requests, all"
printf '%-12s %8s %8s %8s %18s %14s\n' quorinfree "$rss_o" "$pss_o" "$uss_o" "$stable_o" "$all_o"
printf '%-12s %8s %8s %8s %18s %14s\n' inadyn "$rss_i" "$pss_i" "$uss_i" "$stable_i" "$all_i"
printf '%-12s %8s %8s %8s %18s %14s\n' ddclient "$rss_d" "$pss_d" "$uss_d" "$stable_d" "$all_d"
echo
echo "quorinfree: $threads_o threads, $libraries_o shared objects mapped (inadyn: $libraries_i)"
echo "program: $program"
if [ "$rss_o" -lt "$rss_i" ] && [ "$pss_o" -lt "$pss_i" ] && [ "$uss_o" -lt "$uss_i" ]; then
  echo "goal met: RSS, PSS and USS all below inadyn's"
else
  echo "goal NOT met: not every figure is below inadyn's"
fi
