#!/usr/bin/env bash
# The router watcher against a real home router: Debian's miniupnpd (nftables backend) in a
# namespace between the console client's LAN and an "internet" with the provider simulator.
#
#   client 192.168.77.2 --- 192.168.77.1 router (miniupnpd, masquerade) WAN --- internet
#                                                                     11.1.0.1, 11.2.0.1, 10.99.0.1
#
# The router's WAN addresses (11.1.0.2, 11.2.0.2) are public-looking addresses that exist only
# inside these namespaces (miniupnpd treats reserved ranges as "no public address"). In the
# internet namespace the simulator listens on its loopback; nftables carries port 5353 there
# (DNAT, route_localnet), so the simulator sees the router's WAN address as the source of the
# client's questions and reports it, as a provider does.
#
# Case 1, in real time: the router's WAN address is replaced just after one of the watcher's
# questions; miniupnpd announces it and the new address must be saved at the simulator within
# 5 s (the next question is 10 s away, the minute probe up to a minute).
# Case 2, in real time, with NAT-PMP off in miniupnpd: the watcher asks over UPnP IGD every
# 10 s, so a change made just after a question must be saved within 15 s (the next question,
# the settling time and the check; the minute probe is still far).
# Case 3, with the client's clock 60 times faster: the WAN address becomes a private one behind
# an operator's NAT (SNAT to 11.3.0.2 in the internet namespace); miniupnpd then reports no
# address, the watcher stays quiet and the probe path saves the operator's address.
#
#   router_netns.sh <quorinfree program> <source dir>
set -uo pipefail
program="$1"
source_dir="$2"
tag="qfr$$"
lan="${tag}l"
router="${tag}r"
inet="${tag}i"
work="$(mktemp -d /tmp/router-netns.XXXXXX)"
client_pid=""
upnpd_pid=""
sim_pid=""

netns_etc_existed=0
[ -d /etc/netns ] && netns_etc_existed=1

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

cleanup() {
  for pid in "$client_pid" "$upnpd_pid" "$sim_pid"; do end "$pid"; done
  for ns in "$lan" "$router" "$inet"; do ip netns del "$ns" 2>/dev/null; done
  rm -rf "/etc/netns/$lan"
  [ "$netns_etc_existed" = 1 ] || rmdir /etc/netns 2>/dev/null
  if [ "${ROUTER_NETNS_KEEP:-0}" = 1 ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

skip() {
  echo "SKIP: $1; the watcher's logic is covered by the unit tests with a scripted router"
  exit 77
}
upnpd="$(command -v miniupnpd || echo /usr/sbin/miniupnpd)"
[ -x "$upnpd" ] || skip "miniupnpd is not installed (Debian package miniupnpd-nftables)"
command -v nft >/dev/null || skip "nft is not installed (Debian package nftables)"
ip netns add "$lan" 2>/dev/null || skip "'ip netns add' is not allowed here (needs root)"
set -e
ip netns add "$router"
ip netns add "$inet"
for ns in "$lan" "$router" "$inet"; do ip -n "$ns" link set lo up; done
ip link add "${tag}a" netns "$lan" type veth peer name "${tag}b" netns "$router"
ip link add "${tag}c" netns "$router" type veth peer name "${tag}d" netns "$inet"
ip -n "$lan" addr add 192.168.77.2/24 dev "${tag}a"
ip -n "$router" addr add 192.168.77.1/24 dev "${tag}b"
ip -n "$router" addr add 11.1.0.2/24 dev "${tag}c"
for address in 11.1.0.1/24 11.2.0.1/24 10.99.0.1/24; do
  ip -n "$inet" addr add "$address" dev "${tag}d"
done
ip -n "$lan" link set "${tag}a" up
ip -n "$router" link set "${tag}b" up
ip -n "$router" link set "${tag}c" up
ip -n "$inet" link set "${tag}d" up
ip -n "$lan" route add default via 192.168.77.1
# The router is the LAN's name server, as at home; it has none, so the probe's reverse lookup
# fails at once (port unreachable) instead of waiting for the machine's own resolver.
mkdir -p "/etc/netns/$lan"
printf 'nameserver 192.168.77.1\noptions timeout:1 attempts:1\n' >"/etc/netns/$lan/resolv.conf"
ip -n "$router" route add default via 11.1.0.1
ip netns exec "$router" sysctl -qw net.ipv4.ip_forward=1
ip netns exec "$router" nft -f - <<NFT
table ip quorin_nat {
  chain postrouting { type nat hook postrouting priority 100; oifname "${tag}c" masquerade; }
}
NFT
ip netns exec "$inet" sysctl -qw "net.ipv4.conf.${tag}d.route_localnet=1"
# The operator's address exists only as the translated source; its answers must find a route.
ip -n "$inet" route add 11.3.0.2/32 via 10.99.0.2
ip netns exec "$inet" nft -f - <<NFT
table ip quorin_nat {
  chain prerouting {
    type nat hook prerouting priority -100;
    iifname "${tag}d" udp dport 5353 dnat to 127.0.0.1
    iifname "${tag}d" tcp dport 5353 dnat to 127.0.0.1
  }
  chain input { type nat hook input priority 100; ip saddr 10.99.0.0/24 snat to 11.3.0.2; }
}
NFT
set +e

cat >"$work/accounts.json" <<'JSON'
{"users": {"rt": {"password": "rt-pw", "key": "000127.0.0.1-rt", "randText": "R1",
  "zones": [{"name": "example.net", "text2": "x", "text3": "y",
             "hosts": [{"label": "www", "address": "192.0.2.1", "text3": "z", "kind": "A"}]}]}}}
JSON
ip netns exec "$inet" python3 "$source_dir/tools/provider_sim.py" --host 127.0.0.1 --port 5353 \
  --accounts "$work/accounts.json" --record "$work/records.jsonl" \
  --ready-file "$work/sim.ready" >"$work/sim.log" 2>&1 &
sim_pid=$!

# start_upnpd NATPMP: miniupnpd with NAT-PMP (and PCP) on or off ("yes" or "no"); UPnP is
# always on (miniupnpd follows its WAN address only then).
start_upnpd() {
  cat >"$work/miniupnpd.conf" <<CONF
ext_ifname=${tag}c
listening_ip=${tag}b
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
    >"$work/miniupnpd.log" 2>&1 &
  upnpd_pid=$!
}
start_upnpd yes

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
fail() {
  echo "FAILED: $1"
  for log in sim miniupnpd client; do
    [ -f "$work/$log.log" ] && { echo "--- $log.log"; tail -30 "$work/$log.log"; }
  done
  exit 1
}
await 20 test -s "$work/sim.ready" || fail "the simulator did not start"
# miniupnpd answers NAT-PMP once it runs; its answer carries the WAN address.
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
await 20 natpmp_answer 11.1.0.2 || fail "miniupnpd did not answer NAT-PMP with 11.1.0.2"

# saved_after TIME ADDRESS: a save carrying ADDRESS reached the simulator after TIME.
saved_after() {
  python3 - "$work/records.jsonl" "$1" "$2" <<'PY'
import json, sys
after, address = float(sys.argv[2]), sys.argv[3]
try:
    lines = open(sys.argv[1]).read().splitlines()
except OSError:
    sys.exit(1)
for line in lines:
    try:
        r = json.loads(line)
    except ValueError:
        continue  # a line being written
    if (r.get("path") == "/client_saveDomainList.php" and r.get("phase") == "request"
            and r["time"] > after and ("www," + address) in r.get("text", "")):
        sys.exit(0)
sys.exit(1)
PY
}

# start_client LABEL [OPTION...]: the console client in the LAN with a store of its own.
start_client() {
  local store="$work/$1-store"
  mkdir -p "$store/HKEY_LOCAL_MACHINE/SOFTWARE/tilro"
  printf '%s\n' UpdateHostFree1=11.1.0.1 UpdateHostFree2=11.1.0.1 UpdateHostVip1=11.1.0.1 \
    UpdateHostVip2=11.1.0.1 isLog=0 >"$store/HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini"
  shift
  ip netns exec "$lan" "$program" --store "$store" "$@" -silent rt rt-pw >"$work/client.log" 2>&1 &
  client_pid=$!
}
stop_client() {
  end "$client_pid"
  client_pid=""
}
# move_wan OLD NEW GATEWAY: replaces the router's WAN address as a provider's new lease does.
move_wan() {
  ip -n "$router" addr add "$2" dev "${tag}c"
  ip -n "$router" addr del "$1" dev "${tag}c"
  ip -n "$router" route replace default via "$3"
}

# --- case 1: a new public address, announced by the router -----------------------------------
start_client real
await 30 grep -q "address: 11.1.0.2" "$work/client.log" || fail "the client never showed 11.1.0.2"
await 10 saved_after 0 11.1.0.2 || fail "the first address was not saved"
# Right after one of the watcher's questions (miniupnpd logs each), so that its next one is
# 10 s away and only the announcement can bring the change within 5 s.
questions() { grep -c "$question" "$work/miniupnpd.log"; }
asked_again() { [ "$(questions)" -gt "$asked" ]; }
question="NAT-PMP public address request"
asked="$(questions)"
await 15 asked_again || fail "the watcher asked the router nothing"
changed_at="$(date +%s.%N)"
move_wan 11.1.0.2/24 11.2.0.2/24 11.2.0.1
if ! await 5 saved_after "$changed_at" 11.2.0.2; then
  fail "the router's new address 11.2.0.2 was not saved within 5 s"
fi
saved="$(date +%s.%N)"
echo "case 1: the router's new address was saved within $(awk -v a="$changed_at" -v b="$saved" \
  'BEGIN { printf "%.1f", b - a }') s"
stop_client

# --- case 2: a router without NAT-PMP, asked over UPnP ------------------------------------------
end "$upnpd_pid"
start_upnpd no
await 20 grep -q "HTTP listening" "$work/miniupnpd.log" || fail "miniupnpd did not start again"
start_client upnp
await 30 grep -q "address: 11.2.0.2" "$work/client.log" || fail "the client never showed 11.2.0.2"
# Right after one of the watcher's UPnP questions: the next one is 10 s away.
question="GetExternalIPAddress"
asked="$(questions)"
await 30 asked_again || fail "the watcher asked the router nothing over UPnP"
changed_at="$(date +%s.%N)"
move_wan 11.2.0.2/24 11.1.0.2/24 11.1.0.1
if ! await 15 saved_after "$changed_at" 11.1.0.2; then
  fail "the router's new address 11.1.0.2 was not saved within 15 s over UPnP"
fi
saved="$(date +%s.%N)"
echo "case 2: without NAT-PMP the router's new address was saved within $(awk -v a="$changed_at" \
  -v b="$saved" 'BEGIN { printf "%.1f", b - a }') s (UPnP question every 10 s)"
stop_client

# --- case 3: a private WAN address behind an operator's NAT ------------------------------------
start_client fast --time-scale 60
await 30 grep -q "address: 11.1.0.2" "$work/client.log" || fail "the client never showed 11.1.0.2"
changed_at="$(date +%s.%N)"
move_wan 11.1.0.2/24 10.99.0.2/24 10.99.0.1
await 20 saved_after "$changed_at" 11.3.0.2 || fail "the operator's address was not saved"
echo "case 3: behind the operator's NAT the minute's probe saved 11.3.0.2"
stop_client
echo "router watcher with miniupnpd: all three cases passed"
