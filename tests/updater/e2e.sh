#!/bin/bash
# End-to-end runs of the updater program: the product key prepared, the waiter started first,
# the updater run with root and key path, then the record, the staged file, the waiter's flag
# and the debug log checked. Natively the program is `brenwick` with the file store; under
# Wine it is Brenwick.exe with the Wine prefix's registry.
#
# Every scenario copies the program into a folder of its own, so its staging folder and its
# notification names are its own too.
#
# Environment (set by CTest):
#   E2E_MODE        native | wine
#   E2E_PROGRAM     the updater program     E2E_WAITER   the waiter program
#   E2E_CLOSER      (wine) the usage-box closer
#   E2E_WINE        (wine) the wine-run.sh of the build tree
#   E2E_WORK        a folder for the run    E2E_SIMULATOR  tools/provider_sim.py
#   E2E_NGINX_URL   http://address:port     E2E_NGINX_ROOT  nginx's root folder
#   E2E_SIM_HOST, E2E_SIM_UPDATE_PORT, E2E_SIM_CONTROL_PORT
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mode=$E2E_MODE
work=$E2E_WORK
sim_control="http://$E2E_SIM_HOST:$E2E_SIM_CONTROL_PORT"
export no_proxy='*' NO_PROXY='*'
unset http_proxy HTTP_PROXY

passed=0
failed=0
check() {  # description, command...
  local description=$1
  shift
  if "$@"; then
    echo "ok - $description"
    passed=$((passed + 1))
  else
    echo "not ok - $description"
    failed=$((failed + 1))
  fi
}
contains() { grep -qF -- "$2" "$1"; }
same_file() { cmp -s "$1" "$2"; }

rm -rf "$work"
mkdir -p "$work"

# --- the provider simulator of this run, steered over its control channel -----------------------
"$here/fixtures/simulator.sh" start "$work/simulator" "$E2E_SIMULATOR" "$E2E_SIM_HOST" \
  "$E2E_SIM_UPDATE_PORT" --control-port "$E2E_SIM_CONTROL_PORT" || exit 1
trap '"$here/fixtures/simulator.sh" stop "$work/simulator"' EXIT

sim_post() { curl -sf --noproxy '*' -X POST -H 'Content-Type: application/json' -d "$2" "$sim_control$1" >/dev/null; }
# The version queries the simulator saw since its records were cleared, one query string a line.
sim_queries() {
  curl -sf --noproxy '*' "$sim_control/control/records" | python3 -c '
import json, sys
for record in json.load(sys.stdin)["records"]:
    if record.get("phase") == "request" and record.get("path") == "/GetNewVersion.php":
        print(record["text"].split(" ")[1])'
}

served="$E2E_NGINX_ROOT/files/app.bin"
served_md5=$(md5sum "$served" | cut -d' ' -f1)
offer() {  # checksum [extra JSON members]
  sim_post /control/offer "{\"CurrentVersion\":\"2.1.0\",\"URL\":\"$E2E_NGINX_URL/files/app.bin\",\"CheckSum\":\"$1\",\"Description\":\"Fixes\",\"ForceUpdate\":\"false\",\"StrictVersion\":\"false\"${2:-}}"
  sim_post /control/records/clear '{}'
}

# The update service of this run, named in the ini file beside the program.
write_hosts_ini() {
  printf '[UpdateService]\r\nPrimary=%s:%s\r\nSecondary=%s:%s\r\n' "$E2E_SIM_HOST" \
    "$E2E_SIM_UPDATE_PORT" "$E2E_SIM_HOST" "$E2E_SIM_UPDATE_PORT" > "$folder/Brenwick.ini"
}

# --- the platform's side: program folder, product key, log ---------------------------------------
if [[ $mode == native ]]; then
  separator=/
  key_path='SOFTWARE\QuorinE2E\Product'
  program_name=$(basename "$E2E_PROGRAM")
  to_program_path() { echo "$1"; }
  run_program() { "$@"; }
  # Each scenario gets a store of its own.
  use_scenario() {
    scenario=$1
    folder="$work/$scenario/program"
    mkdir -p "$folder"
    cp "$E2E_PROGRAM" "$folder/"
    write_hosts_ini
    export QUORINFREE_STORE="$work/$scenario/store"
    mkdir -p "$QUORINFREE_STORE"
    : > "$QUORINFREE_STORE/BRWK_EnableDebug"
    log_file="$QUORINFREE_STORE/Brenwick.log"
    key_file="$QUORINFREE_STORE/HKEY_LOCAL_MACHINE/SOFTWARE/QuorinE2E/Product.ini"
  }
  put_values() {  # name=value ...
    mkdir -p "$(dirname "$key_file")"
    printf '%s\n' "$@" > "$key_file"
  }
  read_value() {  # name
    [[ -f $key_file ]] || return 0
    sed -n "s/^$1=//p" "$key_file" | sed 's/\\\\/\\/g'
  }
else
  separator='\'
  wine_prefix=$(sed -n 's/^export WINEPREFIX="\(.*\)"$/\1/p' "$E2E_WINE")
  program_name=$(basename "$E2E_PROGRAM")
  to_program_path() { echo "Z:${1//\//\\}"; }
  run_program() { "$E2E_WINE" "$@"; }
  use_scenario() {
    scenario=$1
    folder="$work/$scenario/program"
    mkdir -p "$folder"
    cp "$E2E_PROGRAM" "$folder/"
    write_hosts_ini
    key_path="SOFTWARE\\QuorinE2E\\$scenario"
    log_file="$wine_prefix/drive_c/Brenwick.log"
    : > "$wine_prefix/drive_c/BRWK_EnableDebug"
    rm -f "$log_file"
  }
  put_values() {  # name=value ...
    local reg="$work/$scenario/product.reg"
    {
      printf 'REGEDIT4\r\n\r\n[-HKEY_LOCAL_MACHINE\\%s]\r\n\r\n[HKEY_LOCAL_MACHINE\\%s]\r\n' "$key_path" "$key_path"
      local pair
      for pair in "$@"; do
        local value=${pair#*=}
        value=${value//\\/\\\\}
        printf '"%s"="%s"\r\n' "${pair%%=*}" "$value"
      done
    } > "$reg"
    "$E2E_WINE" regedit /S "$(to_program_path "$reg")" >/dev/null 2>&1
  }
  read_value() {  # name
    "$E2E_WINE" reg query "HKLM\\$key_path" /v "$1" 2>/dev/null | tr -d '\r' |
      sed -n "s/^ *$1 *REG_SZ *//p"
  }
fi
program_folder() { to_program_path "$folder/"; }
staged_file() { echo "$folder/InstallFiles/app.bin"; }
# The staged file as the updater names it in its record and log.
staged_text() { echo "$(to_program_path "$folder")${separator}InstallFiles${separator}app.bin"; }

# Starts the waiter on the scenario's program folder and waits until its block and event exist.
start_waiter() {  # timeout_ms
  rm -f "$work/$scenario/ready"
  run_program "$E2E_WAITER" --timeout "$1" --ready "$(to_program_path "$work/$scenario/ready")" \
    "$(program_folder)" > "$work/$scenario/waiter.out" 2>&1 &
  waiter_pid=$!
  for _ in $(seq 300); do
    [[ -f "$work/$scenario/ready" ]] && return 0
    sleep 0.1
  done
  echo "the waiter did not start" >&2
  return 1
}
finish_waiter() { wait "$waiter_pid"; }
run_updater() { run_program "$folder/$program_name" "$@" > "$work/$scenario/updater.out" 2>&1; }

standard_product() {
  put_values ProductName=QuorinFree vendor=tilro version=2.0.0 Language=zh-cn "$@"
}

# --- scenario: a new version is downloaded, verified, recorded and announced --------------------
use_scenario success
standard_product
offer "$served_md5"
start_waiter 60000
run_updater 2147483650 "$key_path"
check "success: the updater ends with status 0" test $? -eq 0
finish_waiter
check "success: the waiter was woken" test $? -eq 0
check "success: the waiter read the flag as 1" contains "$work/$scenario/waiter.out" "flag=1"
check "success: the staged file is the served file" same_file "$(staged_file)" "$served"
check "success: NewVersionNumber recorded" test "$(read_value NewVersionNumber)" = 2.1.0
check "success: NewVersionFile names the staged file" test "$(read_value NewVersionFile)" = "$(staged_text)"
check "success: NewVersionDescription recorded" test "$(read_value NewVersionDescription)" = Fixes
check "success: the log tells the download" contains "$log_file" "File \"$(staged_text)\" download successfully!"
sim_queries > "$work/$scenario/queries"
check "success: one query, Language empty before a version was recorded" \
  test "$(grep -c 'ProductName=QuorinFree&vendor=tilro&CurrVersion=2.0.0&Language=&OSVer=' "$work/$scenario/queries")" = 1

# A second run with the negative spelling of the root: recorded and staged, nothing to download.
offer "$served_md5"
touch -d '2000-01-01' "$(staged_file)"
start_waiter 60000
run_updater -2147483646 "$key_path"
finish_waiter
check "second run: signalled again" test $? -eq 0
sim_queries > "$work/$scenario/queries2"
check "second run: the recorded version makes the query carry the Language" \
  contains "$work/$scenario/queries2" "&Language=zh-cn&"
check "second run: the staged file was left alone" \
  test "$(date -r "$(staged_file)" +%Y)" = 2000

# --- scenario: a partial file from an earlier run is resumed -------------------------------------
use_scenario resume
standard_product
offer "$served_md5"
mkdir -p "$folder/InstallFiles"
head -c 100000 "$served" > "$(staged_file)"
start_waiter 60000
run_updater 2147483650 "$key_path"
finish_waiter
check "resume: the completed file is the served file" same_file "$(staged_file)" "$served"
check "resume: nginx answered the range request with 206" \
  grep -qE '"GET /files/app.bin HTTP/1.1" 206 200000 ' "$E2E_NGINX_ROOT/../logs/access.log"

# --- scenario: the checksum is wrong three times ----------------------------------------------------
use_scenario checksum
standard_product
offer 00000000000000000000000000000000
start_waiter 60000
run_updater 2147483650 "$key_path"
finish_waiter
check "checksum: the waiter was woken" test $? -eq 0
check "checksum: three failed checks logged" \
  test "$(grep -cF "CheckMD5 failed for: \"$(staged_text)\", try to download again!" "$log_file")" = 3
check "checksum: the final complaint logged" \
  contains "$log_file" "The file is downloaded for 3 times, and the checksum is still wrong, please check network!"
check "checksum: the query was repeated with every attempt" test "$(sim_queries | wc -l)" = 3
check "checksum: the wrong file was deleted" test ! -e "$(staged_file)"
check "checksum: nothing recorded" test -z "$(read_value NewVersionNumber)"

# --- scenario: a forced offer is recorded before the waiter is woken --------------------------------
use_scenario forced
standard_product
offer "$served_md5" ',"ForceUpdate":"true","URL":"http://127.0.0.1:9/files/app.bin"'
start_waiter 60000
run_updater 2147483650 "$key_path"
finish_waiter
check "forced: the waiter was woken" test $? -eq 0
check "forced: the offer is recorded as forced" test "$(read_value ForceUpdate)" = true
check "forced: the record names the file before it is there" \
  test "$(read_value NewVersionFile)" = "$(staged_text)" -a ! -s "$(staged_file)"
check "forced: the failed download is logged" contains "$log_file" "GetNewVersionFromNetwork failed:下载失败"

# --- scenario: no product key: no query, no flag, no signal -----------------------------------------
use_scenario noproduct
offer "$served_md5"
start_waiter 3000
run_updater 2147483650 "$key_path"
finish_waiter
check "no product: the waiter timed out" test $? -eq 1
check "no product: the flag was never stored" contains "$work/$scenario/waiter.out" "flag=0"
check "no product: nothing was asked" test "$(sim_queries | wc -l)" = 0
check "no product: no log was written" test ! -e "$log_file"

# --- scenario: the wrong number of arguments -------------------------------------------------------
use_scenario usage
standard_product
if [[ $mode == native ]]; then
  start_waiter 3000
  run_updater 2147483650
  check "usage: the updater ends with status 0" test $? -eq 0
  finish_waiter
  check "usage: the waiter was not woken" test $? -eq 1
  check "usage: the usage text on standard error" \
    contains "$work/$scenario/updater.out" "<Registry key> <Registry path>"
elif command -v xvfb-run >/dev/null; then
  # The box needs a display, and Wine's desktop takes its display from the program that
  # started it: a copy of the prefix gives this check a Wine of its own.
  usage_prefix="$work/$scenario/prefix"
  cp -a "$wine_prefix" "$usage_prefix"
  wine_binary=$(sed -n 's/^exec "\(.*\)" "\$@"$/\1/p' "$E2E_WINE")
  wineserver_binary=$(sed -n 's/^ *"\([^"]*wineserver[^"]*\)" -w$/\1/p' "$E2E_WINE")
  WINEPREFIX="$usage_prefix" WINEDEBUG=-all timeout 120 xvfb-run -a "$here/usage_box_wine.sh" \
    "$wine_binary" "$wineserver_binary" "$folder/$program_name" "$E2E_WAITER" "$E2E_CLOSER" \
    "$(program_folder)" "$work/$scenario"
  check "usage: the block exists while the box is open" contains "$work/$scenario/block.out" "magic=0x12345678"
  check "usage: the flag was not stored" contains "$work/$scenario/block.out" "flag=0"
  check "usage: the box was found and closed" contains "$work/$scenario/closer.out" "closer=0"
  check "usage: the box has no owner" contains "$work/$scenario/closer.out" "owner=none"
  check "usage: the box shows the usage caption line" contains "$work/$scenario/closer.out" "text=Usage:"
  check "usage: the box shows the program path and the arguments" \
    contains "$work/$scenario/closer.out" $'\t'"$(to_program_path "$folder/$program_name") <Registry key> <Registry path>"
  check "usage: the updater ended once the box closed" test "$(cat "$work/$scenario/updater.status")" = 0
  rm -rf "$usage_prefix"
else
  echo "# xvfb-run is missing: the usage box can only be checked for ending without a display"
  run_updater onlyone
  check "usage: the updater ends" test $? -eq 0
fi

rm -f "${wine_prefix:-/nonexistent}/drive_c/BRWK_EnableDebug"
echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
