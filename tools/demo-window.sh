#!/usr/bin/env bash
# The windowed client's main job under Wine, against the provider simulator on loopback:
#   - builds the Windows programs (the wine64 preset) and installs them into a folder;
#   - starts the simulator (127.0.0.133) as the login server and the address service;
#   - runs QuorinFree.exe in silent mode on a virtual X display (Xvfb), its clock 60 times
#     faster (a minute is a second);
#   - lets the machine's public address change once and waits until the change reaches the
#     provider;
#   - shows the main window as a click on the tray icon does and writes screenshots of the
#     logged-in view into the folder it names at the end.
# Usage: tools/demo-window.sh [--no-build BUILD_DIR] [SHOTS_DIR]
# Installs what is missing and builds first unless --no-build names a wine64 build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
export QUORIN_SOURCE="$PWD"
source tools/sim-lib.sh

build=""
if [ "${1:-}" = "--no-build" ]; then
  build="$(cd "$2" && pwd)"
  shift 2
fi
shots="${1:-$PWD/demo-window-shots}"
mkdir -p "$shots"
shots="$(cd "$shots" && pwd)"

if [ -z "$build" ]; then
  tools/install-deps.sh
  cmake --preset wine64 >/dev/null
  cmake --build --preset wine64 --target QuorinFree uires Brenwick TLDDNSService quorinfree \
    Renvale K4DDNSUtil QuorinSkin holdon quorin_show_main_window >/dev/null
  build="$PWD/build/wine64"
fi

wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine="$(command -v wine64 || command -v wine)"
wineserver=/usr/lib/wine/wineserver64
[ -x "$wineserver" ] || wineserver="$(command -v wineserver)"

provider=127.0.0.133
control=$provider:8133
work="$(mktemp -d)"
install="$work/install"
export WINEPREFIX="$build/demo-window-prefix"
export WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  sim_stop "$work"
  rm -rf "$work"
}
trap cleanup EXIT
say() { printf '\n== %s\n' "$*"; }

say "installing the Windows client into $install"
cmake --install "$build" --prefix "$install" >/dev/null
cp "$build/tests/shell/show_main_window.exe" "$work/"

# A free account with one zone of two host records.
cat >"$work/accounts.json" <<JSON
{"users": {"demo": {"password": "demo-pass", "key": "000$provider-demo", "randText": "D3M0",
  "zones": [{"name": "example.net", "text2": "free", "text3": "2027-12-31",
             "hosts": [{"label": "www", "address": "192.0.2.1", "text3": "600", "kind": "A"},
                       {"label": "home", "address": "192.0.2.1", "text3": "600", "kind": "A"}]}]}}}
JSON

say "starting the provider simulator on $provider"
sim_start "$work" "$provider" 8133 "$work/accounts.json" 203.0.113.10

say "preparing the Wine prefix $WINEPREFIX (slow the first time only)"
"$wineserver" -k 2>/dev/null || true
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot -i >/dev/null 2>&1
  "$wineserver" -w
fi
reg() { "$wine" reg add "$@" /f >/dev/null 2>&1; }
# A virtual desktop: Wine draws the frames itself, so the screenshot shows whole windows.
reg 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
reg 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768
key='HKLM\SOFTWARE\tilro\tlHost'
for name in UpdateHostFree1 UpdateHostFree2 UpdateHostVip1 UpdateHostVip2; do
  reg "$key" /v "$name" /d "$provider"
done
reg "$key" /v AutoVersionCheck /d 0  # no update check: the demo is offline
reg "$key" /v afterV303 /d 1
"$wineserver" -w

# Everything that draws runs on one virtual display.
cat >"$work/on-display.sh" <<'SCRIPT'
#!/usr/bin/env bash
set -euo pipefail
work="$1" wine="$2" shots="$3" install="$4" control="$5"
say() { printf '\n== %s\n' "$*"; }
saved_has() { curl -sf --max-time 5 "http://$control/control/saved" | grep -q "$1"; }
wait_for() { local limit=$1; shift; for _ in $(seq 1 $((limit * 10))); do "$@" && return 0; sleep 0.1; done; return 1; }

say "starting QuorinFree.exe -silent demo ... (its clock runs 60 times faster)"
(cd "$install" && "$wine" QuorinFree.exe -silent demo demo-pass --time-scale 60) &
wait_for 120 saved_has 203.0.113.10 || { echo "the first address never reached the provider"; exit 1; }
echo "  provider| the client logged in and saved its records with 203.0.113.10"

say "this machine's public address changes to 198.51.100.23"
curl -sf --max-time 5 -X POST -H 'Content-Type: application/json' \
  --data '{"address":"198.51.100.23"}' "http://$control/control/address" >/dev/null
wait_for 60 saved_has 198.51.100.23 || { echo "the change never reached the provider"; exit 1; }
echo "  provider| the client saved its records with 198.51.100.23"

say "showing the main window (a click on the tray icon)"
"$wine" "$work/show_main_window.exe"
sleep 1  # let the grid's cells finish painting before the picture
import -display "$DISPLAY" -window root "$shots/main_window_logged_in.png"
echo "  shot    | $shots/main_window_logged_in.png"
SCRIPT
chmod +x "$work/on-display.sh"

xvfb-run -a -s "-screen 0 1024x768x24" "$work/on-display.sh" "$work" "$wine" "$shots" "$install" \
  "$control"

say "the provider's account now"
sim_get "$control" /control/accounts | python3 -c '
import json, sys
for user, account in json.load(sys.stdin)["users"].items():
    for zone in account["zones"]:
        for host in zone["hosts"]:
            print("  provider| %s.%s -> %s" % (host["label"], zone["name"], host["address"]))'
echo
echo "demo finished: the address change reached the provider; screenshots in $shots"
