#!/usr/bin/env bash
# Builds and runs every test: the native build (with ASan and UBSan), the Windows build under
# Wine, and the delivered 32-bit Windows build. Installs what is missing first.
#
#   tools/test.sh            everything
#   tools/test.sh native     only the native build and its tests
set -euo pipefail
cd "$(dirname "$0")/.."

what="${1:-all}"
tools/install-deps.sh

run_preset() {
  local preset="$1"
  echo "== $preset: configure and build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
}

# True when this machine can run 32-bit Windows programs (its kernel may lack 32-bit support,
# and then 32-bit Wine cannot start).
can_run_wine32() {
  local prefix result=0
  prefix="$(mktemp -d)"
  WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all timeout 120 wine cmd /c exit >/dev/null 2>&1 ||
    result=1
  rm -rf "$prefix"
  return "$result"
}

# True when every program and library that the win32 build delivers, and every program it
# builds for its tests, is a 32-bit Windows file (PE32, not PE32+). The delivered ones are
# taken from an installation laid out as the setup packs it (`cmake --install`, which fails
# when one of them was not built), plus the setup itself when it was built.
check_32_bit() {
  local build="$1" layout result=0 file kind count=0
  layout="$(mktemp -d)"
  if ! cmake --install "$build" --prefix "$layout" >/dev/null; then
    echo "the win32 build lacks a program of the installation"
    result=1
  fi
  local delivered=(QuorinFree.exe uires.dll Brenwick.exe TLDDNSService.exe quorinfree-cli.exe
                   holdon.exe Renvale.dll K4DDNSUtil.dll QuorinSkin.dll)
  for file in "${delivered[@]}"; do
    [ -f "$layout/$file" ] || { echo "not installed: $file"; result=1; }
  done
  while IFS= read -r -d '' file; do
    count=$((count + 1))
    kind="$(file -b "$file")"
    case "$kind" in
      PE32+*) echo "64-bit program in the 32-bit build: $file"; result=1 ;;
      PE32\ *) ;;
      *) echo "not a 32-bit Windows program: $file ($kind)"; result=1 ;;
    esac
  done < <(find "$layout" "$build" \( -path "$build/*prefix" -o -path "$build/shell-install" \
             -o -path "$build/_deps" \) -prune -o -type f \( -iname '*.exe' -o -iname '*.dll' \) \
             -print0)
  echo "   $count Windows programs and libraries checked"
  rm -rf "$layout"
  return "$result"
}

status=0

if [ "$what" = all ] || [ "$what" = native ]; then
  run_preset native
  echo "== native: tests"
  ctest --preset native || status=1
fi

if [ "$what" = all ] || [ "$what" = windows ]; then
  run_preset win32
  echo "== win32: every delivered program and every test program is 32-bit"
  check_32_bit build/win32 || status=1
  if can_run_wine32; then
    echo "== win32: tests under 32-bit Wine"
    xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset win32 || status=1
  else
    echo "== win32: this machine cannot run 32-bit programs; the Windows tests run as 64-bit"
    echo "   programs under 64-bit Wine instead"
    # The setup is 32-bit only: its tests build it, check it and report why its run is skipped.
    ctest --preset win32 -R '^setup_' || status=1
  fi
  run_preset wine64
  echo "== wine64: tests under 64-bit Wine"
  xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset wine64 || status=1
fi

# The soak's short form: both clients for two simulated days under faults (about a minute; the
# full month is tests/soak/soak.sh --full, see docs/soak.md).
if [ "$what" = all ]; then
  echo "== soak, short form"
  tests/soak/soak.sh --short --no-build || status=1
fi

if [ "$status" -ne 0 ]; then
  echo "== some tests failed"
fi
exit "$status"
