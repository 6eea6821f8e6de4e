#!/bin/bash
# Benchmark (not a test): the updater's download and checksum against curl and md5sum, on a
# 256 MiB file served by nginx on loopback. Builds a Release tree of its own (build/bench) and
# prints the best of three runs of each and the two ratios (ours / theirs; the goal is at
# most 1.25).
#   tests/updater/bench_download.sh [SIZE_MIB]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(cd "$here/../.." && pwd)
build="$source_dir/build/bench"
size_mib=${1:-256}
address=127.0.0.48
port=8048
work="$build/bench-work"

cmake -S "$source_dir" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target updater_bench >/dev/null
bench="$build/tests/updater/updater_bench"

mkdir -p "$work"
"$here/fixtures/nginx.sh" start "$work/nginx" "$address" "$port"
trap '"$here/fixtures/nginx.sh" stop "$work/nginx"; rm -f "$work/ours.bin" "$work/curl.bin"' EXIT
head -c "$((size_mib * 1024 * 1024))" /dev/urandom > "$work/nginx/root/files/big.bin"
url="http://$address:$port/files/big.bin"
export no_proxy='*'

best() { sort -n | head -1; }
timed() {  # command... : prints the seconds it took
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  python3 -c 'import sys; print(float(sys.argv[2]) - float(sys.argv[1]))' "$start" "$end"
}

ours_download=$(for _ in 1 2 3; do "$bench" download "$url" "$work/ours.bin"; done | best)
curl_download=$(for _ in 1 2 3; do timed curl -s --noproxy '*' -o "$work/curl.bin" "$url"; done | best)
cmp "$work/ours.bin" "$work/curl.bin"
ours_md5=$(for _ in 1 2 3; do "$bench" md5 "$work/ours.bin" | cut -d' ' -f1; done | best)
md5sum_md5=$(for _ in 1 2 3; do timed md5sum "$work/ours.bin"; done | best)
[[ $("$bench" md5 "$work/ours.bin" | cut -d' ' -f2) == $(md5sum "$work/ours.bin" | cut -d' ' -f1) ]]

printf 'file:                %d MiB over %s\n' "$size_mib" "$url"
printf 'download, updater:   %.3f s\n' "$ours_download"
printf 'download, curl:      %.3f s\n' "$curl_download"
printf 'digest, CheckMD5:    %.3f s\n' "$ours_md5"
printf 'digest, md5sum:      %.3f s\n' "$md5sum_md5"
ratio() { python3 -c 'import sys; print(float(sys.argv[1]) / float(sys.argv[2]))' "$1" "$2"; }
printf 'ratio download:      %.2f\n' "$(ratio "$ours_download" "$curl_download")"
printf 'ratio digest:        %.2f\n' "$(ratio "$ours_md5" "$md5sum_md5")"
