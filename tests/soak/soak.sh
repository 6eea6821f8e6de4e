#!/usr/bin/env bash
# The soak: each client for many simulated days against the provider simulator, under a fault
# schedule drawn from a fixed seed, its clock running fast (--time-scale). The console client
# runs natively in its ASan + LeakSanitizer build (build/native), the windowed client under
# 64-bit Wine (build/wine64). tests/soak/soak_driver.py does the run; this script builds what
# it needs and gives each run a network and mount namespace of its own (root needed).
#
#   tests/soak/soak.sh --short   # CI: two simulated days per client, about a minute in all
#   tests/soak/soak.sh --full    # 30 simulated days per client, about 12 minutes each
#   options: --client cli|window|both (default both), --seed N, --out DIR, --no-build,
#            --cli-build DIR (a native build tree other than build/native, e.g. a Release one
#            to tell the client's memory apart from AddressSanitizer's)
#
# Figures: OUT/<client>/summary.json and samples.jsonl (one line per simulated hour); the exit
# code is 0 when every run passed. docs/soak.md explains the criteria and holds the last full
# run's figures.
set -euo pipefail
cd "$(dirname "$0")/../.."
source_dir="$PWD"

days=2 scale=8000 client=both seed=26 out="" build=1 cli_build="$source_dir/build/native"
while [ $# -gt 0 ]; do
  case "$1" in
    --short) days=2 scale=8000 ;;
    --full) days=30 scale=3600 ;;
    --client) client="$2"; shift ;;
    --seed) seed="$2"; shift ;;
    --out) out="$2"; shift ;;
    --no-build) build=0 ;;
    --cli-build) cli_build="$(cd "$2" && pwd)"; shift ;;
    *) echo "usage: $0 [--short|--full] [--client cli|window|both] [--seed N] [--out DIR]" \
         "[--no-build] [--cli-build DIR]" >&2; exit 2 ;;
  esac
  shift
done
out="${out:-$source_dir/build/soak}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

if [ "$(id -u)" != 0 ]; then
  echo "the soak needs root: it mounts a small tmpfs and binds port 53 in its own namespaces" >&2
  exit 2
fi

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine="$(command -v wine64 || command -v wine)"
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver="$(command -v wineserver)"

if [ "$build" = 1 ]; then
  case "$client" in cli|both) cmake --build "$cli_build" --target quorinfree >/dev/null ;; esac
  case "$client" in window|both)
    cmake --build --preset wine64 --target QuorinFree uires quorinfree TLDDNSService Brenwick \
      Renvale K4DDNSUtil QuorinSkin holdon soak_probe >/dev/null ;;
  esac
fi

# One run in namespaces of its own: only the loopback interface, a private mount table.
in_namespaces() {
  unshare --net --mount --propagation private -- bash -c 'ip link set lo up && exec "$@"' \
    soak "$@"
}

status=0
run() {
  local name="$1"
  shift
  rm -rf "${out:?}/$name"
  mkdir -p "$out/$name"
  echo "== soak of the $name client: $days simulated days at x$scale (seed $seed)"
  if in_namespaces "$@" --days "$days" --scale "$scale" --seed "$seed" --out "$out/$name" \
    >"$out/$name/driver.log" 2>&1; then
    tail -n 1 "$out/$name/driver.log"
  else
    status=1
    tail -n 40 "$out/$name/driver.log"
  fi
}

case "$client" in cli|both)
  run cli python3 tests/soak/soak_driver.py --client cli --host 127.0.0.211 \
    --program "$cli_build/client/headless/quorinfree" ;;
esac
case "$client" in window|both)
  # Making a Wine prefix takes minutes; a copy of the shell tests' prefix (they have ended by
  # the time tools/test.sh gets here) takes seconds. The driver sets the client's key afresh.
  prefix="$source_dir/build/wine64/soak-prefix"
  if [ ! -f "$prefix/system.reg" ] && [ -f "$source_dir/build/wine64/shell-prefix/system.reg" ]; then
    rm -rf "$prefix"
    cp -a "$source_dir/build/wine64/shell-prefix" "$prefix"
  fi
  # The run's own prefix, its own display and its own loopback address: nothing is shared with
  # the shell tests, so their lock is not needed.
  run window xvfb-run -a -s "-screen 0 1024x768x24" python3 tests/soak/soak_driver.py \
    --client window --host 127.0.0.212 --build "$source_dir/build/wine64" \
    --probe "$source_dir/build/wine64/tests/soak/soak_probe.exe" \
    --prefix "$prefix" --wine "$wine" --wineserver "$wineserver" ;;
esac
exit "$status"
