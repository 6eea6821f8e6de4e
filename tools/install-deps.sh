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
