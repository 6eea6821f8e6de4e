#!/usr/bin/env bash
# Starts or stops a dnsmasq that answers only from a hosts directory, on one loopback address,
# port 53 (the port the client's confirmation asks). dnsmasq re-reads the directory when a file
# in it changes and on SIGHUP, so a test changes a record by rewriting the file.
#
#   dnsmasq_fixture.sh start <work dir> <address> [initial hosts line]
#   dnsmasq_fixture.sh stop  <work dir>
set -euo pipefail
action="$1"
dir="$2"
source "$(dirname "$0")/../support/fixture-lib.sh"
udp_listening() { ss -H -uln "src $1:53" | grep -q .; }

case "$action" in
  start)
    address="$3"
    initial="${4:-}"
    command -v dnsmasq >/dev/null || { echo "dnsmasq is not installed (apt-get install dnsmasq-base)"; exit 1; }
    "$0" stop "$dir" 2>/dev/null || true
    rm -rf "$dir"
    mkdir -p "$dir/hosts"
    printf '%s\n' "$initial" >"$dir/hosts/records"
    dnsmasq --keep-in-foreground --no-resolv --no-hosts --no-negcache \
      --hostsdir="$dir/hosts" --listen-address="$address" --bind-interfaces --port=53 \
      --user=root --group=root --log-queries --log-facility="$dir/dnsmasq.log" \
      --pid-file="$dir/dnsmasq.pid" &
    echo $! >"$dir/pid"
    if wait_until_ready "$dir/pid" udp_listening "$address"; then
      echo "dnsmasq $(cat "$dir/pid") answers on $address:53"
      exit 0
    fi
    echo "dnsmasq did not start on $address:53"
    cat "$dir/dnsmasq.log" 2>/dev/null || true
    exit 1
    ;;
  stop)
    stop_pid_file "$dir/pid"
    ;;
  *)
    echo "usage: $0 start|stop <dir> [address] [hosts line]"
    exit 2
    ;;
esac
