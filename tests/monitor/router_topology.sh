# shellcheck shell=bash disable=SC2154  # tag, work and source_dir come from the caller
# A home router between the console client and the provider, for the router watcher's test
# (tests/monitor/router_netns.sh) and its benchmark (tests/headless/bench_router_change.sh):
# Debian's miniupnpd (nftables backend) in a namespace between the client's LAN and an
# "internet" with the provider simulator.
#
#   client 192.168.77.2 --- 192.168.77.1 router (miniupnpd, masquerade) WAN --- internet
#                                                                     11.1.0.1, 11.2.0.1, 10.99.0.1
#
# The router's WAN addresses (11.1.0.2, 11.2.0.2) are public-looking addresses that exist only
# inside these namespaces (miniupnpd treats reserved ranges as "no public address"). In the
# internet namespace the simulator listens on its loopback; nftables carries port 5353 there
# (DNAT, route_localnet), so the simulator sees the router's WAN address as the source of the
# client's questions and reports it, as a provider does. A router WAN address in 10.99.0.0/24
# stands for an operator's NAT in front of the router: the internet namespace translates it to
# 11.3.0.2.
#
# Sourced, not run. Before sourcing, the caller sets `tag` (a prefix unique to its process, at
# most 14 characters: the interface names below add one, and Linux allows 15), `work` (its work
# directory) and `source_dir` (the source tree). The caller's clean-up calls
# router_topology_down and removes `work`.

lan="${tag}l"
router="${tag}r"
inet="${tag}i"
lan_if="${tag}a"   # the client's side of the LAN
router_lan_if="${tag}b"
wan_if="${tag}c"   # the router's WAN interface
inet_if="${tag}d"
client_pid=""
upnpd_pid=""
sim_pid=""
upnpd="$(command -v miniupnpd || echo /usr/sbin/miniupnpd)"

router_netns_etc_existed=0
[ -d /etc/netns ] && router_netns_etc_existed=1

# end PID: SIGTERM, up to 5 s to go, then SIGKILL; reaped either way.
end() {
  [ -n "$1" ] || return 0
  kill "$1" 2>/dev/null
  for _ in $(seq 1 50); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$1" 2>/dev/null
  wait "$1" 2>/dev/null
}

# await SECONDS COMMAND...: runs the command every 0.1 s until it succeeds.
await() {
  local tries=$(($1 * 10))
  shift
  for _ in $(seq 1 "$tries"); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# router_topology_missing: names the program this machine lacks for the topology, if any.
router_topology_missing() {
  [ -x "$upnpd" ] || { echo "miniupnpd is not installed (Debian package miniupnpd-nftables)"; return; }
  command -v nft >/dev/null || echo "nft is not installed (Debian package nftables)"
}

# router_topology_up: the three namespaces, their links, routes and NAT, with the router's WAN
# address 11.1.0.2. Returns 1 when namespaces cannot be made here (`ip netns add` refused:
# not root), 2 when a later step failed.
router_topology_up() {
  ip netns add "$lan" 2>/dev/null || return 1
  router_topology_build || return 2
}

# The steps after the first namespace, in a subshell that stops at the first failure.
router_topology_build() (
  set -e
  ip netns add "$router"
  ip netns add "$inet"
  for ns in "$lan" "$router" "$inet"; do ip -n "$ns" link set lo up; done
  ip link add "$lan_if" netns "$lan" type veth peer name "$router_lan_if" netns "$router"
  ip link add "$wan_if" netns "$router" type veth peer name "$inet_if" netns "$inet"
  ip -n "$lan" addr add 192.168.77.2/24 dev "$lan_if"
  ip -n "$router" addr add 192.168.77.1/24 dev "$router_lan_if"
  ip -n "$router" addr add 11.1.0.2/24 dev "$wan_if"
  for address in 11.1.0.1/24 11.2.0.1/24 10.99.0.1/24; do
    ip -n "$inet" addr add "$address" dev "$inet_if"
  done
  ip -n "$lan" link set "$lan_if" up
  ip -n "$router" link set "$router_lan_if" up
  ip -n "$router" link set "$wan_if" up
  ip -n "$inet" link set "$inet_if" up
  ip -n "$lan" route add default via 192.168.77.1
  # The router is the LAN's name server, as at home; it has none, so the probe's reverse lookup
  # fails at once (port unreachable) instead of waiting for the machine's own resolver.
  mkdir -p "/etc/netns/$lan"
  printf 'nameserver 192.168.77.1\noptions timeout:1 attempts:1\n' >"/etc/netns/$lan/resolv.conf"
  ip -n "$router" route add default via 11.1.0.1
  ip netns exec "$router" sysctl -qw net.ipv4.ip_forward=1
  ip netns exec "$router" nft -f - <<NFT
table ip quorin_nat {
  chain postrouting { type nat hook postrouting priority 100; oifname "$wan_if" masquerade; }
}
NFT
  ip netns exec "$inet" sysctl -qw "net.ipv4.conf.$inet_if.route_localnet=1"
  # The operator's address exists only as the translated source; its answers must find a route.
  ip -n "$inet" route add 11.3.0.2/32 via 10.99.0.2
  ip netns exec "$inet" nft -f - <<NFT
table ip quorin_nat {
  chain prerouting {
    type nat hook prerouting priority -100;
    iifname "$inet_if" udp dport 5353 dnat to 127.0.0.1
    iifname "$inet_if" tcp dport 5353 dnat to 127.0.0.1
  }
  chain input { type nat hook input priority 100; ip saddr 10.99.0.0/24 snat to 11.3.0.2; }
}
NFT
)

# router_topology_down: ends the client, miniupnpd and the simulator, and deletes the
# namespaces and their files.
router_topology_down() {
  for pid in "$client_pid" "$upnpd_pid" "$sim_pid"; do end "$pid"; done
  client_pid=""
  upnpd_pid=""
  sim_pid=""
  for ns in "$lan" "$router" "$inet"; do ip netns del "$ns" 2>/dev/null; done
  rm -rf "/etc/netns/$lan"
  [ "$router_netns_etc_existed" = 1 ] || rmdir /etc/netns 2>/dev/null
  return 0
}

# start_simulator: the provider simulator in the internet namespace, with the account "rt"
# (password "rt-pw", a free account: each change is saved once), recording every request in
# $work/records.jsonl; it is ready once $work/sim.ready is not empty.
start_simulator() {
  cat >"$work/accounts.json" <<'JSON'
{"users": {"rt": {"password": "rt-pw", "key": "000127.0.0.1-rt", "randText": "R1",
  "zones": [{"name": "example.net", "text2": "x", "text3": "y",
             "hosts": [{"label": "www", "address": "192.0.2.1", "text3": "z", "kind": "A"}]}]}}}
JSON
  ip netns exec "$inet" python3 "$source_dir/tools/provider_sim.py" --host 127.0.0.1 --port 5353 \
    --accounts "$work/accounts.json" --record "$work/records.jsonl" \
    --ready-file "$work/sim.ready" >"$work/sim.log" 2>&1 &
  sim_pid=$!
}

# start_upnpd NATPMP [LOG]: miniupnpd with NAT-PMP (and PCP) on or off ("yes" or "no"),
# logging to LOG ($work/miniupnpd.log unless given); UPnP is always on (miniupnpd follows its
# WAN address only then).
start_upnpd() {
  cat >"$work/miniupnpd.conf" <<CONF
ext_ifname=$wan_if
listening_ip=$router_lan_if
http_port=0
enable_natpmp=$1
enable_upnp=yes
secure_mode=yes
system_uptime=yes
uuid=3bd2c1a4-5e6f-4a7b-8c9d-0e1f2a3b4c5d
allow 1024-65535 192.168.77.0/24 1024-65535
deny 0-65535 0.0.0.0/0 0-65535
CONF
  rm -f "$work/miniupnpd.pid"
  ip netns exec "$router" "$upnpd" -d -f "$work/miniupnpd.conf" -P "$work/miniupnpd.pid" \
    >"${2:-$work/miniupnpd.log}" 2>&1 &
  upnpd_pid=$!
}

# natpmp_answer ADDRESS: miniupnpd answers a NAT-PMP question from the LAN with ADDRESS.
natpmp_answer() {
  ip netns exec "$lan" python3 - "$1" <<'PY'
import socket, sys
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.settimeout(0.5)
s.sendto(b"\0\0", ("192.168.77.1", 5351))
data, _ = s.recvfrom(64)
sys.exit(0 if len(data) == 12 and socket.inet_ntoa(data[8:12]) == sys.argv[1] else 1)
PY
}

# saved_after TIME ADDRESS [SECONDS]: a save carrying ADDRESS reached the simulator after TIME
# (seconds since the epoch); prints its arrival time. With SECONDS, waits up to that long for
# it in one process (reading only what the simulator adds), else looks once.
saved_after() {
  python3 - "$work/records.jsonl" "$1" "$2" "${3:-0}" <<'PY'
import json, sys, time
path, after, address, limit = sys.argv[1], float(sys.argv[2]), sys.argv[3], float(sys.argv[4])
deadline = time.monotonic() + limit
offset = 0
while True:
    try:
        with open(path, "rb") as f:
            f.seek(offset)
            data = f.read()
    except OSError:
        data = b""
    # Only whole lines count; a line being written is read again next time.
    complete = data[:data.rfind(b"\n") + 1]
    offset += len(complete)
    for line in complete.splitlines():
        try:
            r = json.loads(line)
        except ValueError:
            continue
        if (r.get("path") == "/client_saveDomainList.php" and r.get("phase") == "request"
                and r["time"] > after and ("www," + address) in r.get("text", "")):
            print("%.3f" % r["time"])
            sys.exit(0)
    if time.monotonic() >= deadline:
        sys.exit(1)
    time.sleep(0.05)
PY
}

# router_store STORE [SETTING...]: a fresh settings store for the console client whose update
# hosts are the simulator's 11.1.0.1, with the further "name=value" settings given.
router_store() {
  local store="$1"
  shift
  rm -rf "$store"
  mkdir -p "$store/HKEY_LOCAL_MACHINE/SOFTWARE/tilro"
  printf '%s\n' UpdateHostFree1=11.1.0.1 UpdateHostFree2=11.1.0.1 UpdateHostVip1=11.1.0.1 \
    UpdateHostVip2=11.1.0.1 "$@" >"$store/HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini"
}

# move_wan OLD NEW GATEWAY: replaces the router's WAN address as a provider's new lease does.
move_wan() {
  ip -n "$router" addr add "$2" dev "$wan_if"
  ip -n "$router" addr del "$1" dev "$wan_if"
  ip -n "$router" route replace default via "$3"
}
