# Shared steps of the headless client's benchmarks (bench_headless.sh,
# bench_address_change.sh): root, the work directory and its clean-up, the Release client, the
# benchmark account, network namespaces, the client's store, and the provider simulator with
# its relay inside a namespace. Sourced after tools/sim-lib.sh with `source_dir` set.

# bench_begin NAME: refuses to go on without root, makes $work and installs the clean-up.
bench_begin() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "$1 needs root (it creates network namespaces)" >&2
    exit 2
  fi
  work="$(mktemp -d "/tmp/${1%.sh}.XXXXXX")"
  namespaces=()
  client_pid=""
  relay_pid=""
  # /etc/netns is removed at the end only if this script made it.
  netns_etc_existed=0
  [ -d /etc/netns ] && netns_etc_existed=1
  trap bench_cleanup EXIT
  trap 'exit 130' INT TERM
}

bench_cleanup() {
  set +e
  [ -n "$client_pid" ] && kill -9 "$client_pid" 2>/dev/null
  [ -n "$relay_pid" ] && kill "$relay_pid" 2>/dev/null
  local sim_pid
  sim_pid="$(cat "$work/sim.pid" 2>/dev/null)"
  sim_stop "$work"
  # Our children: waiting makes sure none outlives the script (nor keeps a namespace alive).
  local pid
  for pid in "$client_pid" "$relay_pid" "$sim_pid"; do
    [ -n "$pid" ] && wait "$pid" 2>/dev/null
  done
  for ns in "${namespaces[@]}"; do
    ip netns del "$ns" 2>/dev/null
    rm -rf "/etc/netns/$ns"
  done
  [ "$netns_etc_existed" = 1 ] || rmdir /etc/netns 2>/dev/null
  if [ "${BENCH_KEEP:-0}" = 1 ]; then
    echo "kept: $work"
  else
    rm -rf "$work"
  fi
}

# bench_program [PROGRAM]: sets $program to PROGRAM, or to a Release client built in
# build/bench-client. The native preset is Debug with ASan and UBSan, whose shadow memory and
# checks would distort every figure; cmake/Sanitizers.cmake adds them to Debug builds only.
bench_program() {
  program="${1:-}"
  if [ -z "$program" ]; then
    local build="$source_dir/build/bench-client"
    echo "building a Release client in $build ..."
    # -j1: this machine has two cores and may be running another build.
    if ! { cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release &&
           cmake --build "$build" --target quorinfree -j1; } >"$work/build.log" 2>&1; then
      tail -30 "$work/build.log" >&2
      exit 1
    fi
    program="$build/client/headless/quorinfree"
  fi
  if [ ! -x "$program" ]; then
    echo "no program at $program" >&2
    exit 2
  fi
  program="$(realpath "$program")"
}

# bench_write_accounts: the benchmark account in $work/accounts.json. Its key starts with
# "000": a free account, so every change is saved once and nothing confirms it afterwards.
bench_write_accounts() {
  cat >"$work/accounts.json" <<'JSON'
{"users": {"bench": {"password": "bench-pw", "key": "000127.0.0.1-bench", "randText": "R1",
  "zones": [{"name": "example.net", "text2": "x", "text3": "y",
             "hosts": [{"label": "www", "address": "192.0.2.1", "text3": "z", "kind": "A"}]}]}}}
JSON
}

# make_namespace NAME HOSTS_ADDRESS RESOLVER: an empty namespace with its own /etc/hosts and
# resolv.conf (ip netns exec mounts /etc/netns/NAME/* over /etc). The client finds its local
# address from the interfaces (getifaddrs), not from the host name; the hosts line only keeps
# name lookups in the namespace consistent with its interface.
# RESOLVER is a neighbour with no DNS server: the probe's reverse lookup of the address then
# fails at once (ICMP port unreachable). The machine's own resolver is out of reach from here,
# and the lookup would wait out its 2 s bound, which is real time: at --time-scale 60 each probe
# would cost two minutes of the client's clock. The lookup's datagram counts as UDP either way,
# as it would with a home router's DNS.
make_namespace() {
  local ns="$1" address="$2" resolver="$3"
  ip netns add "$ns"
  namespaces+=("$ns")
  ip -n "$ns" link set lo up
  mkdir -p "/etc/netns/$ns"
  printf '%s\n' "127.0.0.1 localhost" "::1 localhost ip6-localhost ip6-loopback" \
    "$address $(hostname)" >"/etc/netns/$ns/hosts"
  printf 'nameserver %s\noptions timeout:1 attempts:1\n' "$resolver" >"/etc/netns/$ns/resolv.conf"
}

# bench_store STORE SERVER [SETTING...]: a fresh settings store whose update hosts are SERVER,
# without the event log, with the further "name=value" settings given.
bench_store() {
  local store="$1" server="$2"
  shift 2
  rm -rf "$store"
  mkdir -p "$store/HKEY_LOCAL_MACHINE/SOFTWARE/tilro"
  printf '%s\n' "UpdateHostFree1=$server" "UpdateHostFree2=$server" "UpdateHostVip1=$server" \
    "UpdateHostVip2=$server" "isLog=0" "$@" >"$store/HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini"
}

# bench_start_provider NS ADDRESS: the simulator on the namespace's loopback, recording into
# $work/records.jsonl, and tests/headless/loopback_relay.py carrying its ports to ADDRESS,
# since the simulator binds only loopback addresses and the client comes across a veth pair.
bench_start_provider() {
  local ns="$1" address="$2"
  rm -f "$work/records.jsonl" "$work/sim.ready"
  ip netns exec "$ns" python3 "$source_dir/tools/provider_sim.py" --host 127.0.0.1 --port 5353 \
    --accounts "$work/accounts.json" --address 203.0.113.10 \
    --record "$work/records.jsonl" --ready-file "$work/sim.ready" >"$work/sim.log" 2>&1 &
  echo "$!" >"$work/sim.pid"
  wait_for 20 test -s "$work/sim.ready" || { cat "$work/sim.log" >&2; return 1; }
  ip netns exec "$ns" python3 "$source_dir/tests/headless/loopback_relay.py" "$address" \
    127.0.0.1 5353 >"$work/relay.log" 2>&1 &
  relay_pid="$!"
  wait_for 10 grep -q ready "$work/relay.log" || { cat "$work/relay.log" >&2; return 1; }
}

# bench_end_run LABEL: ends the client (SIGTERM, as a service manager would), the relay and the
# simulator of one run.
bench_end_run() {
  kill -TERM "$client_pid"
  wait "$client_pid" || echo "note: $1 client ended with code $?" >&2
  client_pid=""
  kill "$relay_pid" 2>/dev/null
  wait "$relay_pid" 2>/dev/null || true
  relay_pid=""
  sim_stop "$work"
  wait_for 5 test ! -e "$work/sim.ready" || true
}
