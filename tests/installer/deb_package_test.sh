#!/usr/bin/env bash
# The Debian package: built (target package-deb of this build), checked by lintian (no error),
# its unit checked by systemd-analyze, installed into an empty root with dpkg, its client run
# from there, then run again as the unit runs it (an unprivileged user, no_new_privs, no
# capabilities, a read-only root with only the state directory writable, a private /tmp)
# against the provider simulator until it has saved the address, and finally removed, which
# must leave nothing but the state directory.
#
#   deb_package_test.sh BUILD_DIR SOURCE_DIR      (as root; exit 77, a skip, otherwise)
#
# CI packs the native build's client (with the sanitizers) to keep this check short; the
# package that ships is built by the native-release preset the same way.
set -euo pipefail
build="$1"
export QUORIN_SOURCE="$2"
source "$QUORIN_SOURCE/tools/sim-lib.sh"

if [ "$(id -u)" -ne 0 ]; then
  echo "needs root (dpkg --root, chroot, mount namespaces): skipped"
  exit 77
fi

work="$(mktemp -d /tmp/deb_package_test.XXXXXX)"
cleanup() {
  set +e
  [ -n "${client_pid:-}" ] && kill -9 "$client_pid" 2>/dev/null
  sim_stop "$work"
  rm -rf "$work"
}
trap cleanup EXIT
started=$SECONDS
step() { echo "== $1 ($((SECONDS - started)) s)"; }

step "the package"
cmake --build "$build" --target package-deb >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb="$(ls "$build"/quorinfree_*_amd64.deb)"
dpkg-deb -I "$deb" | grep -E "^ (Package|Version|Depends):"

step "lintian"
lintian --allow-root --fail-on error "$deb"

# An empty root as a merged-/usr Debian system has it, with dpkg's database and nothing else.
root="$work/root"
mkdir -p "$root"/usr/{bin,lib,lib64} "$root"/{etc,var/lib/dpkg/info,var/lib/dpkg/updates,tmp,proc,dev}
ln -s usr/lib "$root/lib"
ln -s usr/lib64 "$root/lib64"
touch "$root/var/lib/dpkg/status"
(cd "$root" && find . | sort) >"$work/before.txt"

step "dpkg --root: install"
# The root has no libc6 record; the libraries come from the machine below.
dpkg --root="$root" --force-depends --force-script-chrootless -i "$deb" >"$work/dpkg.log" 2>&1 ||
  { cat "$work/dpkg.log"; exit 1; }
dpkg --root="$root" -L quorinfree | grep -E "bin/quorinfree$|quorinfree.service$|quorinfree.1.gz$"

step "systemd-analyze verify"
# The unit as installed, checked against this machine's systemd units, with the package's
# program and manual page laid over /usr/bin and man1 (read-only overlays in a mount namespace
# of its own), so that its ExecStart and Documentation resolve.
if command -v systemd-analyze >/dev/null; then
  man_check=yes
  { command -v man && test -d /usr/share/man/man1; } >/dev/null || man_check=no
  unshare --mount --fork -- bash -c '
    set -e
    mount --make-rprivate /
    mount -t overlay overlay -o "lowerdir=$1/usr/bin:/usr/bin" /usr/bin
    if [ "$2" = yes ]; then
      mount -t overlay overlay -o "lowerdir=$1/usr/share/man/man1:/usr/share/man/man1" \
        /usr/share/man/man1
    fi
    systemd-analyze verify --man="$2" "$1/lib/systemd/system/quorinfree.service"' \
    verify "$root" "$man_check"
else
  echo "systemd-analyze is not installed here: the unit is not verified"
fi

# in_root COMMAND...: runs COMMAND in a mount namespace of its own, chrooted into the root,
# with the machine's libraries (read-only), /proc and /dev below it.
in_root() {
  unshare --mount --fork -- bash -c '
    set -e
    root="$1"; shift
    mount --make-rprivate /
    mount --bind -o ro /usr/lib "$root/usr/lib"
    mount --bind -o ro /usr/lib64 "$root/usr/lib64"
    mount --rbind /proc "$root/proc"
    mount --rbind /dev "$root/dev"
    exec "$@"' in_root "$root" "$@"
}

step "the installed client: --help"
in_root chroot "$root" /usr/bin/quorinfree --help >"$work/help.txt"
grep -q -- "--password-file FILE" "$work/help.txt"
grep -q "^Exit codes:" "$work/help.txt"

step "the installed client as the unit runs it"
host=127.0.0.175
cat >"$work/accounts.json" <<'JSON'
{"users": {"unit": {"password": "unit-pw", "key": "000127.0.0.1-unit", "randText": "R1",
  "zones": [{"name": "example.net", "text2": "x", "text3": "y",
             "hosts": [{"label": "www", "address": "192.0.2.1", "text3": "z", "kind": "A"}]}]}}}
JSON
sim_start "$work" "$host" 8175 "$work/accounts.json" 203.0.113.10
# The state directory as systemd makes it for a dynamic user (uid 61175 stands for one).
state="$root/var/lib/quorinfree"
mkdir -p "$state/HKEY_LOCAL_MACHINE/SOFTWARE/tilro"
printf '%s\n' "UpdateHostFree1=$host" "UpdateHostFree2=$host" "UpdateHostVip1=$host" \
  "UpdateHostVip2=$host" >"$state/HKEY_LOCAL_MACHINE/SOFTWARE/tilro/tlHost.ini"
printf 'unit-pw\n' >"$work/password"
chown -R 61175:61175 "$state"
chmod 700 "$state"
mkdir -p "$root/run/credentials"
install -m 400 -o 61175 "$work/password" "$root/run/credentials/password"
# ProtectSystem=strict: everything read-only but the state directory; PrivateTmp: a /tmp of
# its own; NoNewPrivileges and an empty CapabilityBoundingSet: setpriv.
in_root bash -c '
  set -e
  root="$1" state="$2"
  echo "$$" >"$3"  # the client keeps this process id through the execs below
  mount --rbind "$root" "$root"
  mount --bind "$state" "$state"
  # setpriv and env come from the machine, laid under the package'"'"'s /usr/bin.
  mount -t overlay overlay -o "lowerdir=$root/usr/bin:/usr/bin" "$root/usr/bin"
  mount -o remount,bind,ro "$root"
  mount -t tmpfs -o size=1m tmpfs "$root/tmp"
  exec chroot "$root" setpriv --reuid=61175 --regid=61175 --clear-groups --no-new-privs \
    --inh-caps=-all --bounding-set=-all env -i QUORINFREE_STORE=/var/lib/quorinfree \
    /usr/bin/quorinfree --password-file /run/credentials/password -silent unit' \
  sandbox "$root" "$state" "$work/client.pid" >"$work/client.out" 2>&1 &
client_pid=$!
saved() { grep -q "status: Address change saved" "$work/client.out" || ! kill -0 "$client_pid"; }
if ! wait_for 60 saved || ! grep -q "status: Address change saved" "$work/client.out"; then
  echo "the client under the unit's restrictions did not save the address:"
  cat "$work/client.out"
  exit 1
fi
grep -m1 "Address change saved" "$work/client.out"
# The sandboxed client is a child of unshare: SIGTERM goes to the client itself.
kill -TERM "$(cat "$work/client.pid")"
wait "$client_pid"
client_pid=""
test -z "$(find "$state" ! -user 61175)" || { echo "files of another user in the state directory"; exit 1; }

step "dpkg --root: remove"
rm -rf "$root/run"
dpkg --root="$root" --force-script-chrootless -r quorinfree >"$work/dpkg-r.log" 2>&1 ||
  { cat "$work/dpkg-r.log"; exit 1; }
# Left behind: the state directory only (and dpkg's own records).
left="$(cd "$root" && find . -path ./var/lib/dpkg -prune -o -path ./var/lib/quorinfree -prune \
        -o -print | sort | comm -13 "$work/before.txt" -)"
if [ -n "$left" ]; then
  echo "left behind after dpkg -r:"
  echo "$left"
  exit 1
fi
echo "removed; kept: $(cd "$root" && find ./var/lib/quorinfree -maxdepth 0)"
echo "deb package checks passed"
