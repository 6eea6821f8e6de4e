#!/usr/bin/env bash
# Benchmark (not a test, not in CTest): how fast a change of the machine's own public address
# reaches the provider, with the system's address-change announcements on and off.
#
#   client 203.0.113.10/24 --veth-- 203.0.113.1 provider (simulator on its loopback + relay)
#
# The console client runs in real time (no --time-scale) on an interface that holds the public
# address. First it runs STABLE seconds with nothing changing, and the requests that reach the
# simulator in that time are counted. Then the script replaces the interface's address CHANGES
# times, each at a random moment 5 to 65 s after the last save (the old address removed, a new
# one of the same network added at once), and measures for each the time from the removal to
# the arrival of the save carrying the new address at the simulator. Both times come from this
# machine's clock: the script's `date` and the simulator's record.
#
#   bench_address_change.sh [PROGRAM]   (as root; PROGRAM defaults to a Release build that this
#                                        script makes in build/bench-client)
# Environment: BENCH_CHANGES (10, both modes), BENCH_CHANGES_OFF (BENCH_CHANGES; the mode
# without announcements waits up to a minute per change), BENCH_STABLE (120 seconds),
# BENCH_KEEP=1 keeps the work directory.
set -euo pipefail

source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export QUORIN_SOURCE="$source_dir"
source "$source_dir/tools/sim-lib.sh"
source "$source_dir/tests/headless/bench-lib.sh"

changes_on="${BENCH_CHANGES:-10}"
changes_off="${BENCH_CHANGES_OFF:-$changes_on}"
stable="${BENCH_STABLE:-120}"
bench_begin bench_address_change.sh
tag="qfa$$"
client_ns="${tag}d"
provider_ns="${tag}p"
bench_program "${1:-}"
bench_write_accounts

make_namespace "$client_ns" 203.0.113.10 203.0.113.1
make_namespace "$provider_ns" 203.0.113.1 127.0.0.1
ip link add "${tag}e" netns "$client_ns" type veth peer name "${tag}f" netns "$provider_ns"
ip -n "$provider_ns" addr add 203.0.113.1/24 dev "${tag}f"
ip -n "$client_ns" link set "${tag}e" up
ip -n "$provider_ns" link set "${tag}f" up

# saves_since TIME: "arrival-time address" of each save that reached the simulator after TIME.
saves_since() {
  python3 - "$work/records.jsonl" "$1" <<'PY'
import json, re, sys
after = float(sys.argv[2])
try:
    lines = open(sys.argv[1]).read().splitlines()
except OSError:
    lines = []
for line in lines:
    try:
        r = json.loads(line)
    except ValueError:
        continue  # a line being written
    if r["path"] == "/client_saveDomainList.php" and r["phase"] == "request" and r["time"] > after:
        m = re.search(r"www,(\d+\.\d+\.\d+\.\d+)", r["text"])
        print("%.3f %s" % (r["time"], m.group(1) if m else "?"))
PY
}

# requests_between START END: the requests (TCP connections and UDP datagrams) that reached
# the simulator between the two times.
requests_between() {
  python3 - "$work/records.jsonl" "$1" "$2" <<'PY'
import json, sys
start, end = float(sys.argv[2]), float(sys.argv[3])
records = [json.loads(l) for l in open(sys.argv[1]) if l.strip()]
inside = [r for r in records if start <= r["time"] <= end]
print(len({r["conn"] for r in inside if r["transport"] == "tcp"}) +
      len([r for r in inside if r["transport"] == "udp"]))
PY
}

# run_mode LABEL WATCH CHANGES: one client run; its figures go to $work/LABEL.*.
run_mode() {
  local label="$1" watch="$2" count="$3"
  local store="$work/$label-store" current=203.0.113.10
  ip -n "$client_ns" addr flush dev "${tag}e"
  ip -n "$client_ns" addr add "$current/24" dev "${tag}e"
  bench_store "$store" 203.0.113.1 "watchAddressChanges=$watch"
  bench_start_provider "$provider_ns" 203.0.113.1 || return 1

  ip netns exec "$client_ns" "$program" --store "$store" -silent bench bench-pw \
    >"$work/$label-out.txt" 2>&1 &
  client_pid="$!"
  if ! wait_for 60 grep -q "address: 203.0.113.10" "$work/$label-out.txt"; then
    echo "the $label client never showed the address:" >&2
    cat "$work/$label-out.txt" >&2
    return 1
  fi

  # Stable: nothing changes; whatever reaches the simulator now is the steady cost.
  sleep 2
  local quiet_start quiet_end
  quiet_start="$(date +%s.%N)"
  sleep "$stable"
  quiet_end="$(date +%s.%N)"
  requests_between "$quiet_start" "$quiet_end" >"$work/$label.stable"

  # Changes at random moments. The two addresses alternate, so each save names a new one.
  : >"$work/$label.latency"
  local i next changed_at found
  for i in $(seq 1 "$count"); do
    # 5 to 65 s: wider than the minute, so that the moment of a change is spread evenly over
    # the client's minute.
    sleep "$((5 + RANDOM % 61)).$((RANDOM % 10))"
    if [ "$current" = 203.0.113.10 ]; then next=203.0.113.20; else next=203.0.113.10; fi
    changed_at="$(date +%s.%N)"
    ip -n "$client_ns" addr del "$current/24" dev "${tag}e"
    ip -n "$client_ns" addr add "$next/24" dev "${tag}e"
    current="$next"
    found=""
    for _ in $(seq 1 1200); do
      found="$(saves_since "$changed_at" | awk -v a="$next" '$2 == a { print $1; exit }')"
      [ -n "$found" ] && break
      sleep 0.1
    done
    if [ -z "$found" ]; then
      echo "$label change $i to $next: no save within 120 s" >&2
      echo "lost" >>"$work/$label.latency"
      continue
    fi
    awk -v s="$found" -v c="$changed_at" 'BEGIN { printf "%.3f\n", s - c }' \
      >>"$work/$label.latency"
    echo "  $label change $i to $next: saved after $(tail -1 "$work/$label.latency") s"
  done

  bench_end_run "$label"
}

echo "announcements on: $stable s stable, then $changes_on changes ..."
run_mode on 1 "$changes_on"
echo "announcements off: $stable s stable, then $changes_off changes ..."
run_mode off 0 "$changes_off"

# --- report --------------------------------------------------------------------------------
summary() {
  sort -n "$work/$1.latency" | awk -v s="$(cat "$work/$1.stable")" -v t="$stable" '
    $1 == "lost" { lost++; next }
    { v[++n] = $1 }
    END {
      median = n == 0 ? "-" : (n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2)
      printf "%-4s %7s %9s %9s %9s %6s %14.1f\n", "", n, (n ? v[1] : "-"), median,
             (n ? v[n] : "-"), lost + 0, s * 3600 / t
    }'
}
echo
echo "quorinfree, address replaced on the client's own interface, real time"
echo "program: $program"
printf '%-4s %7s %9s %9s %9s %6s %14s\n' "" changes "best s" "median s" "worst s" lost \
  "requests/h"
printf 'on  '; summary on | cut -c5-
printf 'off '; summary off | cut -c5-
cat <<'TEXT'

Latency: from the removal of the old address to the arrival at the simulator of the save that
carries the new one. requests/h: TCP connections and UDP datagrams that reached the simulator
during the stable part (BENCH_STABLE seconds with nothing changing), per hour.
TEXT
