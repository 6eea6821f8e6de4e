#!/usr/bin/env bash
# Benchmark (not a test, not in CTest): the headless client runs for about ten minutes of its
# own clock (until half a minute before the tenth probe) with a stable public address, against
# the provider simulator, in two small networks of network namespaces, and reports what it
# costs: peak resident memory, CPU time, and the TCP connections, UDP datagrams and ICMP echoes
# it sent.
#
#   behind a router:  client 10.87.0.2 --veth-- 10.87.0.1 router (+ 203.0.113.10 on lo)
#   directly:         client 203.0.113.10 --veth-- 203.0.113.1 provider
#
#   bench_headless.sh [PROGRAM]      (as root; PROGRAM defaults to a Release build that this
#                                     script makes in build/bench-client)
# Environment: BENCH_MINUTES (10), BENCH_TIME_SCALE (60), BENCH_KEEP=1 keeps the work
# directory (client output, simulator records) for a look afterwards.
#
# Figures come from the client namespace's own /proc/net/snmp, so only the client's traffic
# counts (the simulator lives in the other namespace). Memory and CPU come from the client's
# /proc/PID/status (VmHWM) and /proc/PID/stat (utime+stime), read just before SIGTERM.
set -euo pipefail

source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
export QUORIN_SOURCE="$source_dir"
source "$source_dir/tools/sim-lib.sh"
source "$source_dir/tests/headless/bench-lib.sh"

minutes="${BENCH_MINUTES:-10}"
scale="${BENCH_TIME_SCALE:-60}"
bench_begin bench_headless.sh
tag="qfb$$"
bench_program "${1:-}"
if ldd "$program" 2>/dev/null | grep -q -e libasan -e libubsan; then
  echo "$program is built with sanitizers; its memory figures would mean nothing" >&2
  exit 2
fi
bench_write_accounts

# snmp_counters NS: "ActiveOpens OutDatagrams OutEchos" of the namespace's IPv4 stack.
snmp_counters() {
  ip netns exec "$1" cat /proc/net/snmp | awk '
    function field(proto, name,   i) { for (i = 2; i <= n[proto]; i++) if (h[proto, i] == name) return v[proto, i] }
    { p = $1; sub(":", "", p)
      if (!(p in seen)) { seen[p] = 1; n[p] = NF; for (i = 2; i <= NF; i++) h[p, i] = $i }
      else for (i = 2; i <= NF; i++) v[p, i] = $i }
    END { print field("Tcp", "ActiveOpens"), field("Udp", "OutDatagrams"), field("Icmp", "OutEchos") }'
}

# cpu_ticks PID: user+sys clock ticks; fields 14 and 15 of stat (the name in field 2 has no
# blanks here).
cpu_ticks() {
  awk '{ print $14 + $15 }' "/proc/$1/stat"
}

# run_topology LABEL CLIENT_NS SERVER_NS SERVER_ADDRESS: one benchmark run, its figures
# appended to $work/results as one line.
run_topology() {
  local label="$1" cns="$2" sns="$3" server="$4"
  local store="$work/$label-store"
  bench_store "$store" "$server"
  bench_start_provider "$sns" "$server" || return 1

  local start first end launched settled settled_ticks ended
  start="$(snmp_counters "$cns")"
  launched="$(date +%s.%N)"
  ip netns exec "$cns" "$program" --store "$store" --time-scale "$scale" -silent bench bench-pw \
    >"$work/$label-out.txt" 2>&1 &
  # ip netns exec execs the program, so $! is the client itself.
  client_pid="$!"
  # The monitor's minutes are counted from its first address query, not from our launch. The
  # start-up snapshot is taken half a minute after that query shows in the status line and the
  # end snapshot MINUTES - 1/2 after it, half a minute before the next probe is due, so no probe
  # falls near a snapshot, however long the login took.
  if ! wait_for 30 grep -q "address: 203.0.113.10" "$work/$label-out.txt"; then
    echo "the $label client never showed the address:" >&2
    cat "$work/$label-out.txt" >&2
    return 1
  fi
  sleep "$(awk -v s="$scale" 'BEGIN { print 30 / s }')"
  first="$(snmp_counters "$cns")"
  settled="$(date +%s.%N)"
  settled_ticks="$(cpu_ticks "$client_pid")"
  sleep "$(awk -v s="$scale" -v m="$minutes" 'BEGIN { print 60 * (m - 1) / s }')"
  end="$(snmp_counters "$cns")"
  ended="$(date +%s.%N)"

  local hwm anon ticks hz
  hwm="$(awk '/^VmHWM:/ { print $2 }' "/proc/$client_pid/status")"
  # Private_Dirty: the pages only this process holds (heap, stacks, written library data),
  # which is what Windows shows as the private working set; the rest of VmHWM is library code
  # that other processes share.
  anon="$(awk '/^Private_Dirty:/ { print $2 }' "/proc/$client_pid/smaps_rollup")"
  ticks="$(cpu_ticks "$client_pid")"
  hz="$(getconf CLK_TCK)"
  bench_end_run "$label"

  # What reached the provider, from the simulator's own record (one line per TCP request or
  # UDP datagram; a TCP connection may leave several lines, hence the distinct "conn").
  local seen
  seen="$(python3 - "$work/records.jsonl" <<'PY'
import json, sys
records = [json.loads(line) for line in open(sys.argv[1])]
tcp = {r["conn"] for r in records if r["transport"] == "tcp"}
udp = [r for r in records if r["transport"] == "udp"]
saves = {r["conn"] for r in records if r["path"] == "/client_saveDomainList.php"}
print(len(tcp), len(udp), len(saves))
PY
)"

  # A result line: label, KiB, CPU s, simulated minutes in all and in the steady state, then
  # TCP/UDP/ICMP in all and in the start-up part, then what the simulator saw, then the
  # private KiB at the end and the steady state's CPU seconds per real hour.
  local tcp0 udp0 icmp0 tcp1 udp1 icmp1 tcp2 udp2 icmp2
  read -r tcp0 udp0 icmp0 <<<"$start"
  read -r tcp1 udp1 icmp1 <<<"$first"
  read -r tcp2 udp2 icmp2 <<<"$end"
  {
    printf '%s %s ' "$label" "$hwm"
    awk -v t="$ticks" -v h="$hz" -v s="$scale" -v l="$launched" -v m="$settled" -v e="$ended" \
      'BEGIN { printf "%.2f %.2f %.2f ", t / h, (e - l) * s / 60, (e - m) * s / 60 }'
    printf '%s %s %s %s %s %s %s' "$((tcp2 - tcp0))" "$((udp2 - udp0))" "$((icmp2 - icmp0))" \
      "$((tcp1 - tcp0))" "$((udp1 - udp0))" "$((icmp1 - icmp0))" "$seen"
    awk -v a="$anon" -v t="$((ticks - settled_ticks))" -v h="$hz" -v m="$settled" -v e="$ended" \
      'BEGIN { printf " %s %.1f\n", a, t / h / (e - m) * 3600 }'
  } >>"$work/results"
}

# --- behind a router: the first-hop router holds the public address -----------------------
client_ns="${tag}c"
router_ns="${tag}r"
make_namespace "$client_ns" 10.87.0.2 10.87.0.1
make_namespace "$router_ns" 10.87.0.1 127.0.0.1
ip link add "${tag}a" netns "$client_ns" type veth peer name "${tag}b" netns "$router_ns"
ip -n "$client_ns" addr add 10.87.0.2/24 dev "${tag}a"
ip -n "$router_ns" addr add 10.87.0.1/24 dev "${tag}b"
ip -n "$router_ns" addr add 203.0.113.10/32 dev lo
ip -n "$client_ns" link set "${tag}a" up
ip -n "$router_ns" link set "${tag}b" up
ip -n "$client_ns" route add default via 10.87.0.1
echo "behind a router: running $minutes simulated minutes at --time-scale $scale ..."
run_topology behind "$client_ns" "$router_ns" 10.87.0.1

# --- directly: the client's own interface holds the public address ------------------------
direct_ns="${tag}d"
provider_ns="${tag}p"
make_namespace "$direct_ns" 203.0.113.10 203.0.113.1
make_namespace "$provider_ns" 203.0.113.1 127.0.0.1
ip link add "${tag}e" netns "$direct_ns" type veth peer name "${tag}f" netns "$provider_ns"
ip -n "$direct_ns" addr add 203.0.113.10/24 dev "${tag}e"
ip -n "$provider_ns" addr add 203.0.113.1/24 dev "${tag}f"
ip -n "$direct_ns" link set "${tag}e" up
ip -n "$provider_ns" link set "${tag}f" up
echo "directly: running $minutes simulated minutes at --time-scale $scale ..."
run_topology direct "$direct_ns" "$provider_ns" 203.0.113.1

# --- report --------------------------------------------------------------------------------
echo
echo "quorinfree, stable address 203.0.113.10, --time-scale $scale"
echo "program: $program"
awk '
  function row(what, b, d, goal) { printf "%-42s %15s %15s  %s\n", what, b, d, goal }
  function rate(n, minutes) { return sprintf("%.1f", n * 60 / minutes) }
  function counts(what, i, j, goal) {
    row(what ", total", v["behind", i], v["direct", i], "")
    row("  start-up (to 30 s after 1st query)", v["behind", j], v["direct", j], "")
    row("  steady state", v["behind", i] - v["behind", j], v["direct", i] - v["direct", j], goal)
    row("  per hour, whole run", rate(v["behind", i], v["behind", 4]),
        rate(v["direct", i], v["direct", 4]), "")
    row("  per hour, steady state", rate(v["behind", i] - v["behind", j], v["behind", 5]),
        rate(v["direct", i] - v["direct", j], v["direct", 5]), "")
  }
  { for (i = 2; i <= NF; i++) v[$1, i] = $i }
  END {
    row("", "behind router", "directly", "goal")
    row("simulated minutes: whole run / steady", v["behind", 4] " / " v["behind", 5],
        v["direct", 4] " / " v["direct", 5], "")
    row("peak resident memory (VmHWM), KiB", v["behind", 2], v["direct", 2], "")
    row("peak resident memory, MiB", sprintf("%.2f", v["behind", 2] / 1024),
        sprintf("%.2f", v["direct", 2] / 1024), "< 4 MiB")
    row("  private (Private_Dirty) at the end, KiB", v["behind", 15], v["direct", 15], "")
    row("CPU time, user+sys, s", v["behind", 3], v["direct", 3], "")
    row("  steady state, s per REAL hour", v["behind", 16], v["direct", 16], "")
    counts("TCP connections", 6, 9, "0 (no server request)")
    counts("UDP datagrams", 7, 10, "0 to the provider")
    counts("ICMP echoes", 8, 11, "behind: 1/min; directly: 0")
    row("provider saw: TCP connections", v["behind", 12], v["direct", 12], "")
    row("provider saw: UDP address queries", v["behind", 13], v["direct", 13], "")
    row("provider saw: saves", v["behind", 14], v["direct", 14], "1 (first address)")
  }' "$work/results"
cat <<'TEXT'

Counts are the client namespace's /proc/net/snmp (Tcp ActiveOpens, Udp OutDatagrams,
Icmp OutEchos), so they hold everything the client sent and nothing else. Start-up ends half
a simulated minute after the client first shows its address; the steady state is the rest, and
ends half a minute before a probe would be due. UDP counts every datagram, the probe's reverse
DNS lookup included; "provider saw" is what reached the simulator. Memory: VmHWM of
/proc/PID/status and Private_Dirty of /proc/PID/smaps_rollup, CPU: utime+stime of /proc/PID/stat, both read just before SIGTERM. The main
loop wakes every 200 ms of REAL time, so CPU per real hour means something only at
BENCH_TIME_SCALE=1 (at 60 it is a few clock ticks, with sixty times the probes).
TEXT
