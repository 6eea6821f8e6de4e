#!/usr/bin/env bash
# Installs what building and testing the project needs on Debian 12. Safe to run again: it asks
# apt only for packages that are missing.
set -euo pipefail

packages=(
  cmake g++ ninja-build googletest file python3 curl
  libboost-dev
  dpkg-dev lintian
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64
  xvfb xauth imagemagick fonts-wine fonts-wqy-microhei
  nginx-light dnsmasq-base iproute2
  libminiupnpc-dev nftables miniupnpd-nftables
  clang-format
  nsis
)

sudo_if_needed() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  sudo_if_needed dpkg --add-architecture i386
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  # miniupnpd is a router's daemon: the tests start it by themselves in a namespace, so its
  # package must not start it (nor enable it) on this machine.
  echo "miniupnpd-nftables miniupnpd/start_daemon boolean false" |
    sudo_if_needed debconf-set-selections
  # A mirror in the middle of a sync answers with index files of the wrong size; try again, and
  # go on with the lists apt already has when one list still cannot be read.
  for attempt in 1 2 3; do
    sudo_if_needed apt-get update -q && break
    echo "apt-get update failed (attempt $attempt); trying again"
    sleep 10
  done
  sudo_if_needed env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Should the package's own service have been enabled or started anyway (an earlier install with
# other answers), it is switched off: only the tests run miniupnpd.
if command -v systemctl >/dev/null && systemctl list-unit-files miniupnpd.service 2>/dev/null |
  grep -q '^miniupnpd.service'; then
  sudo_if_needed systemctl disable --now miniupnpd.service 2>/dev/null || true
fi

# 32-bit Wine runs the delivered 32-bit build's tests where the kernel can start 32-bit programs.
# It is optional: its i386 packages must match the amd64 ones version for version, which a
# mirror in the middle of a sync cannot always offer, and tools/test.sh runs the same tests as
# 64-bit programs without it.
if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
  sudo_if_needed env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -q --no-remove --no-install-recommends wine32:i386 ||
    echo "wine32:i386 could not be installed; the 32-bit tests will be skipped"
fi

# miniupnpc for the Windows programs: Debian builds it for Linux only, so the Windows builds
# compile it from Debian's source package (cmake/Miniupnpc.cmake), as they do GoogleTest; nothing
# is downloaded at build time. The source is fetched once, through a private list of sources
# with deb-src entries and private index and cache folders, so the system's apt configuration
# and lists stay as they are.
miniupnpc_source=/usr/local/src/miniupnpc

# Writes into the folder $1 a copy of the system's Debian sources with source entries added.
write_source_entries() {
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed -E 's/^Types:.*/Types: deb deb-src/' /etc/apt/sources.list.d/debian.sources \
      >"$1/debian.sources"
  elif [ -f /etc/apt/sources.list ]; then
    # A machine installed with the one-line format: each "deb" line again as "deb-src".
    sed -nE 's/^[[:space:]]*deb[[:space:]]+(.*)$/deb-src \1/p' /etc/apt/sources.list \
      >"$1/debian.list"
  fi
  if [ -z "$(ls -A "$1")" ]; then
    echo "no Debian sources in /etc/apt to fetch the miniupnpc source package from" >&2
    return 1
  fi
}

# Fetches the source package and unpacks it into $miniupnpc_source, working in the folder $1.
# Each step returns on failure by itself: bash ignores set -e in a function called left of ||.
fetch_miniupnpc_source_in() {
  local work="$1" attempt
  local private_apt=(-o "Dir::Etc::SourceParts=$work/sources" -o Dir::Etc::SourceList=/dev/null
                     -o "Dir::State::Lists=$work/lists" -o "Dir::Cache=$work/cache")
  mkdir -p "$work/sources" "$work/lists/partial" "$work/cache" "$work/download" || return 1
  # apt downloads as its own user where that user can reach and write the folders.
  chmod 755 "$work" || return 1
  if id _apt >/dev/null 2>&1; then
    sudo_if_needed chown _apt "$work/lists/partial" "$work/download" || return 1
  fi
  write_source_entries "$work/sources" || return 1
  echo "Fetching Debian's miniupnpc source package into $miniupnpc_source"
  for attempt in 1 2 3; do
    sudo_if_needed apt-get "${private_apt[@]}" update -q && break
    [ "$attempt" -lt 3 ] || return 1
    echo "apt-get update of the source lists failed (attempt $attempt); trying again"
    sleep 10
  done
  (cd "$work/download" &&
    sudo_if_needed apt-get "${private_apt[@]}" source -q --download-only miniupnpc) || return 1
  # apt checked the files against the signed index; dpkg-source checks them against the .dsc
  # (and says that it has no key for the .dsc's own signature, which is expected). The tree is
  # unpacked next to its place and then renamed, so an interrupted run leaves no half tree
  # that a later run would take as complete.
  local unpacked="$miniupnpc_source.partial"
  sudo_if_needed mkdir -p "$(dirname "$miniupnpc_source")" || return 1
  sudo_if_needed rm -rf "$unpacked" "$miniupnpc_source" || return 1
  sudo_if_needed dpkg-source -q -x "$work"/download/miniupnpc_*.dsc "$unpacked" || return 1
  sudo_if_needed mv "$unpacked" "$miniupnpc_source"
}

if [ ! -f "$miniupnpc_source/CMakeLists.txt" ]; then
  miniupnpc_work="$(mktemp -d)"
  miniupnpc_status=0
  fetch_miniupnpc_source_in "$miniupnpc_work" || miniupnpc_status=$?
  sudo_if_needed rm -rf "$miniupnpc_work"
  if [ "$miniupnpc_status" -ne 0 ]; then
    echo "could not fetch the miniupnpc source package; the Windows builds need it" >&2
    exit "$miniupnpc_status"
  fi
fi
