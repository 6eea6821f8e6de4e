#!/usr/bin/env bash
# Starts or stops the provider simulator on one loopback address: the login server and the UDP
# address service on port 5353, the control channel on the port given.
#
#   simulator_fixture.sh start <work dir> <simulator> <address> <control port> <accounts file>
#                              [simulator options...]
#   simulator_fixture.sh stop  <work dir>
set -euo pipefail
action="$1"
dir="$2"
source "$(dirname "$0")/../support/fixture-lib.sh"

case "$action" in
  start)
    simulator="$3"
    address="$4"
    control="$5"
    accounts="$6"
    shift 6  # any further arguments go to the simulator as they are
    "$0" stop "$dir" 2>/dev/null || true
    rm -rf "$dir"
    mkdir -p "$dir"
    python3 "$simulator" --host "$address" --port 5353 --control-port "$control" \
      --accounts "$accounts" --ready-file "$dir/ready.json" --record "$dir/records.jsonl" \
      "$@" >"$dir/simulator.log" 2>&1 &
    echo $! >"$dir/pid"
    if wait_until_ready "$dir/pid" test -s "$dir/ready.json"; then
      echo "simulator $(cat "$dir/pid") ready: $(cat "$dir/ready.json")"
      exit 0
    fi
    echo "the simulator did not start on $address"
    cat "$dir/simulator.log"
    exit 1
    ;;
  stop)
    stop_pid_file "$dir/pid"
    ;;
  *)
    echo "usage: $0 start|stop <dir> ..."
    exit 2
    ;;
esac
