#!/usr/bin/env bash
# The client's main job against the built-in stand-in of the provider, on loopback:
#   - the provider simulator plays the login server and the address service (127.0.0.87);
#   - dnsmasq plays the account's DNS server (127.0.0.86, port 53);
#   - the headless client logs in to a VIP account with two zones and keeps them updated;
#   - the simulator's idea of this machine's public address changes twice; each change goes
#     from the client to the provider, the provider's DNS server is given the new records (as
#     the provider would do), and the client's confirmation sees the name resolve.
# Installs what is missing and builds the client first (skip with --no-build PROGRAM).
# Needs root for port 53.
set -euo pipefail
cd "$(dirname "$0")/.."
export QUORIN_SOURCE="$PWD"
source tools/sim-lib.sh

program=""
if [ "${1:-}" = "--no-build" ]; then
  program="$2"
else
  tools/install-deps.sh
  cmake --preset native >/dev/null
  cmake --build --preset native --target quorinfree >/dev/null
  program=build/native/client/headless/quorinfree
fi

dns=127.0.0.86
provider=127.0.0.87
control=$provider:8087
work="$(mktemp -d)"
client=""
dnsmasq_pid=""
cleanup() {
  [ -n "$client" ] && kill -TERM "$client" 2>/dev/null && wait "$client" 2>/dev/null
  [ -n "$dnsmasq_pid" ] && kill "$dnsmasq_pid" 2>/dev/null
  sim_stop "$work"
  rm -rf "$work"
}
trap cleanup EXIT
say() { printf '\n== %s\n' "$*"; }

# A VIP account ('1' as the key's second character) whose DNS server is the dnsmasq address.
cat >"$work/accounts.json" <<JSON
{"users": {"demo": {"password": "demo-pass", "key": "01x$dns-demo", "randText": "D3M0",
  "zones": [
    {"name": "example.net", "text2": "1", "text3": "1",
     "hosts": [{"label": "www", "address": "192.0.2.1", "text3": "600", "kind": "A"},
               {"label": "home", "address": "192.0.2.1", "text3": "600", "kind": "A"}]},
    {"name": "example.org", "text2": "1", "text3": "1",
     "hosts": [{"label": "nas", "address": "192.0.2.1", "text3": "600", "kind": "A"}]}]}}}
JSON
names=(www.example.net home.example.net nas.example.org)

publish_dns() {  # the provider's DNS server learns the records' new address
  : >"$work/hosts"
  for name in "${names[@]}"; do echo "$1 $name" >>"$work/hosts"; done
  kill -HUP "$dnsmasq_pid"
}

say "starting the provider simulator on $provider and dnsmasq on $dns"
sim_start "$work" "$provider" 8087 "$work/accounts.json" 203.0.113.10
echo "192.0.2.1 ${names[*]}" >"$work/hosts"
dnsmasq --keep-in-foreground --no-resolv --no-hosts --bind-interfaces \
  --listen-address="$dns" --port=53 --addn-hosts="$work/hosts" --pid-file="$work/dnsmasq.pid" \
  --user=root 2>"$work/dnsmasq.log" &
dnsmasq_pid=$!
wait_for 10 python3 tools/dns_ask.py "$dns" www.example.net ||
  { cat "$work/dnsmasq.log"; exit 1; }

store="$work/store"
mkdir -p "$store/HKEY_LOCAL_MACHINE/SOFTWARE/tilro"
printf '%s\n' "UpdateHostFree1=$provider" "UpdateHostFree2=$provider" \
  "UpdateHostVip1=$provider" "UpdateHostVip2=$provider" "isLog=1" \
  >"$store/HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini"

say "starting the headless client (its clock runs 60 times faster: a minute is a second)"
"$program" --store "$store" --time-scale 60 -silent demo demo-pass > >(sed -u "s/^/  client| /") &
client=$!

saved_has() { sim_get "$control" /control/saved | grep -q "$1"; }
resolves_to() { [ "$(python3 tools/dns_ask.py "$dns" "$1")" = "$2" ]; }

for address in 203.0.113.10 198.51.100.23 198.51.100.77; do
  if [ "$address" != 203.0.113.10 ]; then
    say "this machine's public address changes to $address"
    sim_post "$control" /control/address "{\"address\":\"$address\"}" >/dev/null
  fi
  wait_for 30 saved_has "$address" || { echo "the change to $address never reached the provider"; exit 1; }
  echo "  provider| the client saved its records with $address"
  publish_dns "$address"
  for name in "${names[@]}"; do
    wait_for 10 resolves_to "$name" "$address" || { echo "$name does not resolve to $address"; exit 1; }
    echo "  dns     | $name -> $(python3 tools/dns_ask.py "$dns" "$name")"
  done
  sleep 2  # let the client's confirmation (one check a "minute") see the answer
done

say "the client's event log"
sed 's/^/  log     | /' "$store/quorin.log"
say "stopping"
kill -TERM "$client"
wait "$client"
client=""
echo "demo finished: every change reached the provider and resolved at its DNS server"
