#!/usr/bin/env bash
# Benchmark (not a test, not in CTest or CI): how fast a change of the home router's public
# address reaches the provider, with the router watcher on (the router speaks NAT-PMP, or UPnP
# IGD only) and off (the minute's probe alone), and what leaves the LAN while the address is
# stable. The router is Debian's miniupnpd in the namespaces of tests/monitor/router_topology.sh
# (the router watcher's test uses the same ones):
#
#   client 192.168.77.2 --- 192.168.77.1 router (miniupnpd, masquerade) WAN --- internet
#                                        WAN 11.1.0.2 or 11.2.0.2              (simulator)
#
# Modes (--modes, in this order by default):
#   natpmp  watcher on, miniupnpd with enable_natpmp=yes (NAT-PMP and PCP announcements)
#   upnp    watcher on, miniupnpd with enable_natpmp=no (the watcher asks over UPnP every 10 s)
#   off     watcher off (the client's setting watchRouter=0), miniupnpd as in natpmp
#
# Each mode starts miniupnpd and the console client in real time (no --time-scale), waits for
# the client's first save, then:
# - stable: for STABLE seconds nothing changes. A counter in the router's forward hook counts
#   what it forwards from the LAN out of its WAN interface: new connections (a TCP connection,
#   a UDP question with its answer, an ICMP echo) by protocol and port, and packets. Per hour
#   is that count times 3600 / STABLE, an extrapolation. The counter is first proven to count:
#   the client's login and first save must pass through it.
# - changes: CHANGES times, after a random wait counted from the last save, the router's WAN
#   address is replaced (11.1.0.2 and 11.2.0.2 alternate; the old address removed, the new one
#   added, the default route moved: miniupnpd announces the new one where NAT-PMP is on), and
#   change-to-saved is the time from the start of that replacement to the arrival at the
#   simulator of the save carrying the new address (both from this machine's clock: the
#   script's `date` and the simulator's record). A change not saved within 120 s is "lost".
#   Waits: 10 to 30 s with the watcher on (at least the 10 s spacing of the monitor's extra
#   checks, spread over two of the watcher's 10 s questions); 2 to 62 s with it off (spread
#   over the whole minute). They come from --seed, printed, so a run can be repeated with the
#   same waits (the client's own timers still start where they start).
#
#   bench_router_change.sh [--client PATH] [--changes N] [--seed S] [--stable-seconds T]
#                          [--modes natpmp,upnp,off] [--keep]
#
# As root. PATH defaults to build/native-release/client/headless/quorinfree, else the native
# (Debug, sanitizers: slower) build. With the defaults (10 changes, 120 s stable, all modes) a
# run takes about 25 minutes. --keep keeps the work directory with the client's log
# (LABEL-store/quorin.log), its output (LABEL-client.txt) and miniupnpd's (miniupnpd-LABEL.log).
set -uo pipefail

source_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
program=""
for candidate in native-release native; do
  if [ -x "$source_dir/build/$candidate/client/headless/quorinfree" ]; then
    program="$source_dir/build/$candidate/client/headless/quorinfree"
    break
  fi
done
changes=10
seed=""
stable=120
modes="natpmp,upnp,off"
keep=0

usage() {
  sed -n '/^#   bench_router_change.sh/,/^#  *\[--modes/p' "${BASH_SOURCE[0]}" | cut -c3- >&2
  exit 2
}
whole_number() { [[ "$1" =~ ^[0-9]+$ ]] && [ "$1" -le 100000 ]; }
while [ $# -gt 0 ]; do
  case "$1" in
    --client) [ $# -ge 2 ] || usage; program="$2"; shift 2 ;;
    --changes) [ $# -ge 2 ] && whole_number "$2" && [ "$2" -ge 1 ] || usage; changes="$2"; shift 2 ;;
    --seed) [ $# -ge 2 ] && whole_number "$2" || usage; seed="$2"; shift 2 ;;
    --stable-seconds) [ $# -ge 2 ] && whole_number "$2" && [ "$2" -ge 10 ] || usage
      stable="$2"; shift 2 ;;
    --modes) [ $# -ge 2 ] && [[ "$2" =~ ^(natpmp|upnp|off)(,(natpmp|upnp|off))*$ ]] || usage
      modes="$2"; shift 2 ;;
    --keep) keep=1; shift ;;
    *) usage ;;
  esac
done
[ -n "$seed" ] || seed=$((RANDOM * 32768 + RANDOM))
if [ "$(id -u)" -ne 0 ]; then
  echo "bench_router_change.sh needs root (it creates network namespaces)" >&2
  exit 2
fi
if [ -z "$program" ] || [ ! -x "$program" ]; then
  echo "no console client at '${program}': build it (cmake --build --preset native-release" \
    "--target quorinfree) or give --client PATH" >&2
  exit 2
fi
program="$(realpath "$program")"

tag="qfb$$"
work="$(mktemp -d /tmp/bench_router_change.XXXXXX)"
source "$source_dir/tests/monitor/router_topology.sh"
cleanup() {
  router_topology_down
  if [ "$keep" = 1 ]; then echo "kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM
missing="$(router_topology_missing)"
if [ -n "$missing" ]; then
  echo "$missing" >&2
  exit 2
fi
die() {
  echo "bench_router_change.sh: $1" >&2
  exit 1
}

case "$program" in
  */native/*) echo "note: $program is the Debug build with sanitizers; its times run longer" ;;
esac
started="$(date +%s)"
echo "router benchmark, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores" \
  "($(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)), kernel $(uname -r)"
echo "load at start: $(uptime)"
echo "program: $program"
echo "router: $("$upnpd" --version 2>&1 | head -1)"
echo "seed $seed (repeat the waits with --seed $seed), $changes changes per mode," \
  "$stable s stable, modes $modes"

router_topology_up || die "the namespaces could not be set up"
# What the router forwards from the LAN out of its WAN interface: packets, and new connections
# by protocol and port (other protocols by name). Its own traffic (miniupnpd) and whatever
# it answers itself (the probe's echo to its WAN address, NAT-PMP, UPnP, the LAN's DNS) never
# pass the forward hook.
ip netns exec "$router" nft -f - <<NFT || die "the router's counters could not be set up"
table ip quorin_count {
  counter packets_out {}
  set flows { type inet_proto . inet_service; flags dynamic; counter; }
  set other { type inet_proto; flags dynamic; counter; }
  chain forward {
    type filter hook forward priority 0; policy accept;
    iifname "$router_lan_if" oifname "$wan_if" counter name "packets_out"
    iifname "$router_lan_if" oifname "$wan_if" ct state new meta l4proto { tcp, udp } add @flows { meta l4proto . th dport }
    iifname "$router_lan_if" oifname "$wan_if" ct state new meta l4proto != { tcp, udp } add @other { meta l4proto }
  }
}
NFT
count_reset() {
  ip netns exec "$router" nft flush set ip quorin_count flows
  ip netns exec "$router" nft flush set ip quorin_count other
  ip netns exec "$router" nft reset counter ip quorin_count packets_out >/dev/null
}
# count_read: "CONNECTIONS PACKETS BREAKDOWN" since the last count_reset, BREAKDOWN like
# "tcp/5353:2,udp/5353:1" or "none".
count_read() {
  ip netns exec "$router" nft -j list table ip quorin_count | python3 -c '
import json, sys
connections, packets, parts = 0, 0, []
for item in json.load(sys.stdin)["nftables"]:
    if "counter" in item and item["counter"].get("name") == "packets_out":
        packets = item["counter"]["packets"]
    s = item.get("set")
    if s and s["name"] in ("flows", "other"):
        for e in s.get("elem", []):
            key, n = e["elem"]["val"], e["elem"]["counter"]["packets"]
            if isinstance(key, dict):
                key = "/".join(str(v) for v in key["concat"])
            connections += n
            parts.append("%s:%d" % (key, n))
print(connections, packets, ",".join(sorted(parts)) or "none")
'
}
# simulator_requests START END: TCP connections and UDP datagrams that reached the simulator
# between the two times (a cross-check of the router's counter).
simulator_requests() {
  python3 - "$work/records.jsonl" "$1" "$2" <<'PY'
import json, sys
start, end = float(sys.argv[2]), float(sys.argv[3])
inside = []
for line in open(sys.argv[1], "rb"):
    try:
        r = json.loads(line)
    except ValueError:
        continue
    if start <= r["time"] <= end:
        inside.append(r)
print(len({r["conn"] for r in inside if r["transport"] == "tcp"}) +
      len([r for r in inside if r["transport"] == "udp"]))
PY
}
# waits MODE LOW SPAN: CHANGES waits in seconds, uniform in [LOW, LOW + SPAN), from the seed
# and the mode (a mode run alone gets the same waits as in a full run).
waits() {
  python3 - "$seed" "$1" "$2" "$3" "$changes" <<'PY'
import random, sys
seed, mode, low, span, count = sys.argv[1:]
r = random.Random("%s/%s" % (seed, mode))
for _ in range(int(count)):
    print("%.1f" % (float(low) + r.random() * float(span)))
PY
}
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

start_simulator
await 20 test -s "$work/sim.ready" || die "the simulator did not start: $(tail -5 "$work/sim.log")"

wan=11.1.0.2  # the router's WAN address now
# run_mode LABEL NATPMP WATCH LOW SPAN: one mode; its figures go to $work/LABEL.*.
run_mode() {
  local label="$1" natpmp="$2" watch="$3" low="$4" span="$5"
  local store="$work/$label-store" out="$work/$label-client.txt"
  local upnpd_log="$work/miniupnpd-$label.log"
  echo
  echo "== $label: watcher $([ "$watch" = 1 ] && echo on || echo off), miniupnpd enable_natpmp=$natpmp"
  end "$upnpd_pid"
  start_upnpd "$natpmp" "$upnpd_log"
  await 20 grep -q "HTTP listening" "$upnpd_log" || die "miniupnpd did not start ($upnpd_log)"
  if [ "$natpmp" = yes ]; then
    await 20 natpmp_answer "$wan" || die "miniupnpd did not answer NAT-PMP with $wan"
  fi

  router_store "$store" isLog=1 "watchRouter=$watch"
  count_reset
  local begun
  begun="$(date +%s.%N)"
  ip netns exec "$lan" "$program" --store "$store" -silent rt rt-pw >"$out" 2>&1 &
  client_pid=$!
  await 60 grep -q "address: $wan" "$out" || die "the $label client never showed $wan: $(cat "$out")"
  saved_after "$begun" "$wan" 30 >/dev/null || die "the $label client's first save never came"
  local login
  read -r login _ _ < <(count_read)
  [ "$login" -gt 0 ] || die "the router's counter did not see the client's login and save"

  # Stable: whatever the router forwards out now is the steady cost of watching.
  local quiet_start quiet_end
  count_reset
  quiet_start="$(date +%s.%N)"
  sleep "$stable"
  quiet_end="$(date +%s.%N)"
  count_read >"$work/$label.stable"
  simulator_requests "$quiet_start" "$quiet_end" >"$work/$label.sim"
  local connections packets breakdown
  read -r connections packets breakdown <"$work/$label.stable"
  echo "  stable $stable s: $connections connections, $packets packets out of the WAN" \
    "($breakdown); $(cat "$work/$label.sim") requests at the simulator"

  : >"$work/$label.latency"
  local i=0 wait next gateway changed_at saved
  while read -r wait; do
    i=$((i + 1))
    sleep "$wait"
    if [ "$wan" = 11.1.0.2 ]; then next=11.2.0.2 gateway=11.2.0.1; else next=11.1.0.2 gateway=11.1.0.1; fi
    changed_at="$(date +%s.%N)"
    move_wan "$wan/24" "$next/24" "$gateway"
    wan="$next"
    if saved="$(saved_after "$changed_at" "$next" 120)"; then
      elapsed "$changed_at" "$saved" >>"$work/$label.latency"
      echo >>"$work/$label.latency"
      echo "  change $i after ${wait} s: $next saved after $(tail -1 "$work/$label.latency") s"
    else
      echo lost >>"$work/$label.latency"
      echo "  change $i after ${wait} s: $next not saved within 120 s"
    fi
  done < <(waits "$label" "$low" "$span")
  end "$client_pid"
  client_pid=""
}

IFS=, read -r -a chosen <<<"$modes"
for mode in "${chosen[@]}"; do
  case "$mode" in
    natpmp) run_mode natpmp yes 1 10 20 ;;
    upnp) run_mode upnp no 1 10 20 ;;
    off) run_mode off yes 0 2 60 ;;
  esac
done

# --- report --------------------------------------------------------------------------------
# summary LABEL: "MEDIAN WORST LOST" of the mode's change-to-saved times ("-" when none).
summary() {
  sort -n "$work/$1.latency" | awk '
    $1 == "lost" { lost++; next }
    { v[++n] = $1 }
    END {
      if (n == 0) { print "-", "-", lost + 0; exit }
      median = n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
      printf "%.3f %.3f %d\n", median, v[n], lost
    }'
}
# verdict LABEL MEDIAN WORST LOST CONNECTIONS: the goals for the mode, met or missed
# (CONNECTIONS: those that left the LAN during the stable time).
verdict() {
  awk -v m="$1" -v med="$2" -v worst="$3" -v lost="$4" -v out="$5" '
    function judge(ok, text) { printf "%s%s %s", sep, text, ok ? "met" : "MISSED"; sep = "; " }
    BEGIN {
      sep = ""
      known = med != "-" && lost == 0
      if (m == "natpmp") {
        judge(known && med < 2, "median < 2 s")
        judge(known && worst < 3, "worst < 3 s")
      } else if (m == "upnp") {
        judge(known && worst < 12, "worst < 12 s")
      } else {
        printf "reference: the minute probe alone, up to 60 s"
        sep = "; "
      }
      judge(out == 0, "zero out of the LAN while stable")
      print ""
    }'
}
echo
echo "change-to-saved: from the start of the WAN address replacement to the save's arrival at"
echo "the simulator; out/h: new connections forwarded from the LAN out of the router's WAN"
echo "interface during the stable $stable s, times 3600/$stable (extrapolated to an hour)."
printf '%-7s %8s %8s %8s %5s %6s %9s  %s\n' mode watcher median worst lost out/h "packets/h" \
  "per change (s)"
for mode in "${chosen[@]}"; do
  read -r median worst lost < <(summary "$mode")
  read -r connections packets breakdown <"$work/$mode.stable"
  per_hour=$((connections * 3600 / stable))
  printf '%-7s %8s %8s %8s %5s %6s %9s  %s\n' "$mode" "$([ "$mode" = off ] && echo off || echo on)" \
    "$median" "$worst" "$lost" "$per_hour" "$((packets * 3600 / stable))" \
    "$(paste -sd' ' "$work/$mode.latency")"
done
echo
echo "goals:"
for mode in "${chosen[@]}"; do
  read -r median worst lost < <(summary "$mode")
  read -r connections packets breakdown <"$work/$mode.stable"
  printf '  %-7s %s\n' "$mode" "$(verdict "$mode" "$median" "$worst" "$lost" "$connections")"
  [ "$connections" = 0 ] || echo "          out of the LAN while stable: $breakdown"
done
echo "load at end: $(uptime)"
echo "took $(($(date +%s) - started)) s"
