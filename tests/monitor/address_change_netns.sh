#!/usr/bin/env bash
# The address-change notifier in a network namespace of its own: an address is added to an
# interface and removed again, and the check program (run inside the namespace) must see each
# change announced. It looks at the addresses only after an announcement, so a notifier that
# stays silent fails here.
#
#   address_change_netns.sh <address_change_check program>
set -uo pipefail
check="$1"
tag="qfn$$"
ns="${tag}c"
out="$(mktemp /tmp/address-change.XXXXXX)"
check_pid=""

cleanup() {
  [ -n "$check_pid" ] && kill "$check_pid" 2>/dev/null && wait "$check_pid" 2>/dev/null
  ip netns del "$ns" 2>/dev/null
  rm -f "$out"
}
trap cleanup EXIT

if ! ip netns add "$ns" 2>/dev/null; then
  echo "SKIP: 'ip netns add' is not allowed here (needs root and iproute2); the monitor's use of"
  echo "the announcements is covered by the unit tests with a fake notifier"
  exit 77
fi
set -e
ip -n "$ns" link set lo up
ip -n "$ns" link add "${tag}a" type veth peer name "${tag}b"
ip -n "$ns" link set "${tag}a" up
ip -n "$ns" link set "${tag}b" up
set +e

# await PATTERN: until the check program has printed PATTERN (or has ended without it).
await() {
  for _ in $(seq 1 300); do
    grep -q "$1" "$out" && return 0
    kill -0 "$check_pid" 2>/dev/null || { grep -q "$1" "$out"; return; }
    sleep 0.1
  done
  return 1
}

ip netns exec "$ns" "$check" 198.51.100.23 >"$out" 2>&1 &
check_pid=$!
if ! await '^ready'; then
  echo "FAILED: the check program did not start:"; cat "$out"; exit 1
fi
ip -n "$ns" addr add 198.51.100.23/24 dev "${tag}a"
if ! await '^announced: added'; then
  echo "FAILED: the new address was not announced:"; cat "$out"; exit 1
fi
ip -n "$ns" addr del 198.51.100.23/24 dev "${tag}a"
wait "$check_pid"
status=$?
check_pid=""
cat "$out"
if [ "$status" -ne 0 ]; then
  echo "FAILED: the check program ended with $status"
  exit 1
fi
echo "address-change notifier: the change and the removal were both announced"
