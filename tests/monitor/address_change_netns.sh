#!/usr/bin/env bash
# The address-change notifier in a network namespace of its own: an address is added to an
# interface and removed again, and the check program inside the namespace must see both
# announced (it looks at the addresses only after an announcement, so a silent notifier fails).
#
#   address_change_netns.sh <address_change_check program>
set -uo pipefail
check="$1"
ns="qfn$$c"
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
ip -n "$ns" link add qfa type veth peer name qfb && ip -n "$ns" link set qfa up &&
  ip -n "$ns" link set qfb up || exit 1

# await LINE: until the check program has printed LINE; fails once it has ended without it.
await() {
  for _ in $(seq 1 300); do
    grep -qx "$1" "$out" && return 0
    kill -0 "$check_pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -qx "$1" "$out" || { echo "FAILED waiting for '$1':"; cat "$out"; exit 1; }
}

ip netns exec "$ns" "$check" 198.51.100.23 >"$out" 2>&1 &
check_pid=$!
await ready
ip -n "$ns" addr add 198.51.100.23/24 dev qfa
await added
ip -n "$ns" addr del 198.51.100.23/24 dev qfa
await removed
wait "$check_pid" || { echo "FAILED: the check program ended with $?"; cat "$out"; exit 1; }
check_pid=""
echo "address-change notifier: the new address and its removal were both announced"
