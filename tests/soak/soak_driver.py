#!/usr/bin/env python3
"""One soak run: a client against the provider simulator for many simulated days under faults.

Runs inside a network and mount namespace of its own (tests/soak/soak.sh makes it), so that
the simulator's loopback address, the account's DNS server on port 53 and the small disk for
the log are the run's alone, and the client's first-hop probe finds no route out.

The simulator runs in this process; a small DNS server plays the VIP account's own server
(it answers with what the simulator's account table holds and can go silent). The fault
schedule is drawn from the seed and printed before the run. Every simulated hour the client's
counters, the log's size and the saves are recorded; the verdict and the figures go to
OUT/summary.json and OUT/summary.md.
"""

import argparse
import json
import os
import random
import re
import statistics
import signal
import socket
import struct
import subprocess
import sys
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.dirname(os.path.dirname(HERE))
sys.path.insert(0, os.path.join(SOURCE, "tools"))
import provider_sim  # noqa: E402

HOUR_MS = 3600 * 1000
MINUTE_MS = 60 * 1000
USER = "soak"
PASSWORD = "soak-pw"
SAVE_PATH = "/client_saveDomainList.php"

# What counts as flat after the warm-up: the mean of the last samples against the mean of the
# first samples of the last two thirds of the run.
BOUNDS = {
    "private_kib": ("max", 2048, 0.05),  # 2 MiB or 5 %, whichever is larger
    "rss_kib": ("max", 2048, 0.05),
    "handles": ("abs", 2),
    "fds": ("abs", 2),
    "threads": ("abs", 2),
    "gdi": ("abs", 4),
    "user": ("abs", 4),
}


QUARANTINE_MB = 4  # AddressSanitizer's quarantine in the console client's ASan build


def is_asan_build(program):
    with open(program, "rb") as fh:
        return b"__asan_init" in fh.read()


def log(text):
    print(text, flush=True)


# ---------------------------------------------------------------- schedule

def make_schedule(seed, days, windowed, first_address, faults=True):
    """Events (at_ms, kind, details) in simulated time, sorted. Fault periods are pairs of a
    start and an end event."""
    rng = random.Random(seed)
    end = days * 24 * HOUR_MS
    events = []
    # The public address: a new one every two to six hours.
    at, n = 0, 0
    while True:
        at += rng.randint(2 * HOUR_MS, 6 * HOUR_MS)
        if at >= end - 4 * HOUR_MS:
            break
        n += 1
        address = "198.51.%d.%d" % (100 + n // 250, 1 + n % 250)
        events.append((at, "address", {"address": address}))

    if not faults:
        return sorted(events, key=lambda e: e[0])
    # A short run still meets every kind of fault: the periods shrink to the run.
    run_h = int(days * 24)

    def periods(kind, every_h, length_h, details=lambda: {}):
        every_h = max(12, min(every_h, run_h // 2))
        at = rng.randint(6, every_h) * HOUR_MS
        while at < end - 12 * HOUR_MS:
            length = rng.randint(length_h[0] * 60, length_h[1] * 60) * MINUTE_MS
            info = details()
            events.append((at, kind + "-start", info))
            events.append((min(at + length, end - 6 * HOUR_MS), kind + "-end", info))
            at += length + rng.randint(every_h // 2, every_h) * HOUR_MS

    login_modes = [
        {"mode": "reset"},                          # the server is down: refused at once
        {"mode": "code", "code": "02"},             # it answers with a wrong code
        {"mode": "trickle", "interval_ms": 20},     # it trickles its answers
        {"mode": "silent", "hold_ms": 3000},        # it takes the request and never answers
    ]
    periods("login-down", 60, (1, 6), lambda: dict(rng.choice(login_modes)))
    periods("udp-silent", 80, (1, 4))
    periods("dns-silent", 100, (2, 8))
    periods("disk-full", 24 * days // 2, (4, 8))
    if not windowed:
        periods("size-limit", 24 * days // 2, (2, 6))
    if windowed:
        for kind, every_h in (("logout-login", 24 * 5), ("settings", 24 * 4),
                              ("logview", 24 * 6), ("taskbar", 24 * 3), ("session", 24 * 4),
                              ("resume", 24 * 2)):
            every_h = max(12, min(every_h, run_h // 2))
            at = rng.randint(6, every_h) * HOUR_MS
            while at < end - 12 * HOUR_MS:
                events.append((at, kind, {}))
                at += rng.randint(every_h // 2, every_h) * HOUR_MS
    events.sort(key=lambda e: (e[0], e[1]))
    return events


def blocking(kind):
    """Faults under which an address change cannot reach the provider in time. A silent UDP
    service is one of them only in accelerated time: each check then waits out its real
    3-second time-outs, which are hours of the client's clock, before it asks over HTTP."""
    return kind in ("login-down", "udp-silent")


# ---------------------------------------------------------------- the account's DNS server

class AccountDns:
    """Answers A questions for the account's host names with the addresses the simulator's
    account table holds now (what the last save wrote); silent while told so."""

    def __init__(self, host, sim):
        self.sim = sim
        self.silent = False
        self.asked = 0
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind((host, 53))
        self.sock.settimeout(0.2)
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self.run, daemon=True)
        self.thread.start()

    def lookup(self, name):
        for account in self.sim.accounts()["users"].values():
            for zone in account.get("zones", []):
                for host in zone.get("hosts", []):
                    if ("%s.%s" % (host["label"], zone["name"])).lower() == name.lower():
                        return host["address"]
        return None

    def run(self):
        while not self.stop.is_set():
            try:
                data, peer = self.sock.recvfrom(512)
            except socket.timeout:
                continue
            except OSError:
                return
            self.asked += 1
            if self.silent or len(data) < 12:
                continue
            labels, at = [], 12
            while at < len(data) and data[at] != 0:
                length = data[at]
                labels.append(data[at + 1:at + 1 + length].decode("ascii", "replace"))
                at += 1 + length
            question = data[12:at + 5]
            address = self.lookup(".".join(labels))
            header = data[:2] + struct.pack(">HHHHH", 0x8180, 1, 1 if address else 0, 0, 0)
            answer = b""
            if address:
                answer = (b"\xc0\x0c" + struct.pack(">HHIH", 1, 1, 60, 4) +
                          socket.inet_aton(address))
            try:
                self.sock.sendto(header + question + answer, peer)
            except OSError:
                pass

    def close(self):
        self.stop.set()
        self.thread.join()
        self.sock.close()


# ---------------------------------------------------------------- counters

def proc_counters(pid):
    """Memory, descriptors and threads of a Linux process from /proc; {} once it is gone."""
    try:
        out = {}
        with open("/proc/%d/status" % pid) as fh:
            for line in fh:
                if line.startswith("VmRSS:"):
                    out["rss_kib"] = int(line.split()[1])
                elif line.startswith("Threads:"):
                    out["threads"] = int(line.split()[1])
        private = 0
        with open("/proc/%d/smaps_rollup" % pid) as fh:
            for line in fh:
                if line.startswith(("Private_Clean:", "Private_Dirty:")):
                    private += int(line.split()[1])
        out["private_kib"] = private
        out["fds"] = len(os.listdir("/proc/%d/fd" % pid))
        return out
    except (OSError, ValueError):
        return {}


def log_state(path):
    """The log's size and whether it ends inside a line."""
    try:
        with open(path, "rb") as fh:
            data = fh.read()
    except OSError:
        return 0, False
    return len(data), bool(data) and not data.endswith(b"\n")


# ---------------------------------------------------------------- the clients

class CliClient:
    def __init__(self, args, disk):
        self.args = args
        self.store = os.path.join(disk, "store")
        key_dir = os.path.join(self.store, "HKEY_LOCAL_MACHINE", "SOFTWARE", "tilro")
        os.makedirs(key_dir)
        with open(os.path.join(key_dir, "tlHost.ini"), "w") as fh:
            for name in ("UpdateHostFree1", "UpdateHostFree2", "UpdateHostVip1",
                         "UpdateHostVip2"):
                fh.write("%s=%s\n" % (name, args.host))
            fh.write("isLog=1\nAutoVersionCheck=0\n")
        self.log_path = os.path.join(self.store, "quorin.log")
        env = dict(os.environ)
        # A small quarantine keeps ASan's own memory from looking like a leak; leaks are
        # reported at the exit.
        env["ASAN_OPTIONS"] = ("detect_leaks=1:quarantine_size_mb=%d:abort_on_error=0:log_path=%s"
                               % (QUARANTINE_MB, os.path.join(args.out, "asan")))
        env["UBSAN_OPTIONS"] = "print_stacktrace=1:log_path=" + os.path.join(args.out, "ubsan")
        self.output = open(os.path.join(args.out, "client.out"), "wb")
        self.proc = subprocess.Popen(
            [args.program, "--store", self.store, "--time-scale", str(args.scale),
             "-silent", USER, PASSWORD],
            stdout=self.output, stderr=subprocess.STDOUT, env=env)

    def alive(self):
        return self.proc.poll() is None

    def counters(self):
        return proc_counters(self.proc.pid)

    def action(self, kind):
        if kind == "size-limit-start":
            size = os.path.getsize(self.log_path) if os.path.exists(self.log_path) else 0
            subprocess.run(["prlimit", "--pid", str(self.proc.pid),
                            "--fsize=%d:" % (size + 1)], check=True)
            return "ok"
        if kind == "size-limit-end":
            subprocess.run(["prlimit", "--pid", str(self.proc.pid), "--fsize=unlimited:"],
                           check=True)
            return "ok"
        return "ok"

    def finish(self):
        """Ends the client as a service manager does; its exit code and what the sanitizers
        said."""
        problems = []
        if self.alive():
            self.proc.send_signal(signal.SIGTERM)
            try:
                code = self.proc.wait(60)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                code = self.proc.wait()
                problems.append("the client did not end within 60 s of SIGTERM")
        else:
            code = self.proc.returncode
            problems.append("the client ended by itself during the run")
        if code != 0:
            problems.append("exit code %d" % code)
        for name in sorted(os.listdir(self.args.out)):
            if name.startswith(("asan", "ubsan")):
                problems.append("sanitizer report %s" % name)
        with open(os.path.join(self.args.out, "client.out"), "rb") as fh:
            text = fh.read().decode("utf-8", "replace")
        for marker in ("ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "runtime error:"):
            if marker in text:
                problems.append("sanitizer output: " + marker)
        self.output.close()
        return problems


class WindowClient:
    """QuorinFree.exe under Wine in a prefix of the run's own, installed on the small disk."""

    def __init__(self, args, disk):
        self.args = args
        self.install = os.path.join(disk, "install")
        self.env = dict(os.environ, WINEPREFIX=args.prefix,
                        WINEARCH="win64", WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        subprocess.run(["cmake", "--install", args.build, "--prefix", self.install],
                       check=True, stdout=subprocess.DEVNULL)
        self.log_path = os.path.join(self.install, "quorin.log")
        wine = args.wine
        subprocess.run([args.wineserver, "-k"], env=self.env, stderr=subprocess.DEVNULL)
        if not os.path.exists(os.path.join(args.prefix, "system.reg")):
            os.makedirs(args.prefix, exist_ok=True)
            subprocess.run([wine, "wineboot", "-i"], env=self.env, check=True,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        reg = [(r"HKCU\Software\Wine\Explorer", "Desktop", "Default"),
               (r"HKCU\Software\Wine\Explorer\Desktops", "Default", "1024x768")]
        key = r"HKLM\SOFTWARE\tilro\tlHost"
        values = [(n, args.host) for n in ("UpdateHostFree1", "UpdateHostFree2",
                                           "UpdateHostVip1", "UpdateHostVip2")]
        values += [("isLog", "1"), ("AutoVersionCheck", "0"), ("afterV303", "1")]
        reg += [(key, name, value) for name, value in values]
        # Nothing of an earlier run or of the prefix this one was copied from.
        subprocess.run([wine, "reg", "delete", key, "/f"], env=self.env,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for where, name, value in reg:
            subprocess.run([wine, "reg", "add", where, "/v", name, "/d", value, "/f"],
                           env=self.env, check=True, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        self.output = open(os.path.join(args.out, "client.out"), "wb")
        self.proc = subprocess.Popen(
            [wine, "QuorinFree.exe", "-silent", USER, PASSWORD, "--time-scale",
             str(args.scale)], cwd=self.install, env=self.env, stdout=self.output,
            stderr=subprocess.STDOUT)
        self.probe = subprocess.Popen([wine, args.probe], env=self.env, stdin=subprocess.PIPE,
                                      stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                      text=True, bufsize=1)
        self.unix_pid = None

    def ask(self, command):
        self.probe.stdin.write(command + "\n")
        self.probe.stdin.flush()
        return self.probe.stdout.readline().strip()

    def find_unix_pid(self):
        for name in os.listdir("/proc"):
            if not name.isdigit():
                continue
            try:
                with open("/proc/%s/cmdline" % name, "rb") as fh:
                    words = fh.read().split(b"\0")
            except OSError:
                continue
            if any(w.endswith(b"QuorinFree.exe") for w in words[:2]):
                return int(name)
        return None

    def alive(self):
        if self.proc.poll() is not None:
            return False
        if self.unix_pid is None:
            self.unix_pid = self.find_unix_pid()
        return self.unix_pid is None or os.path.exists("/proc/%d" % self.unix_pid)

    def counters(self):
        out = {}
        answer = self.ask("stats")
        if answer.startswith("ok stats"):
            for word in answer.split()[2:]:
                name, value = word.split("=")
                out["win_" + name] = int(value)
            out["handles"] = out.get("win_handles", 0)
            out["gdi"] = out.get("win_gdi", 0)
            out["user"] = out.get("win_user", 0)
            out["win_threads"] = out.get("win_threads", 0)
        if self.unix_pid is None:
            self.unix_pid = self.find_unix_pid()
        if self.unix_pid is not None:
            out.update(proc_counters(self.unix_pid))
        return out

    def action(self, kind):
        if kind == "logout-login":
            first = self.ask("logout")
            return first + "; " + self.ask("login %s %s" % (USER, PASSWORD))
        if kind in ("settings", "logview", "taskbar", "session", "resume"):
            return self.ask(kind)
        return "ok"

    def finish(self):
        problems = []
        if not self.alive():
            problems.append("the client ended during the run")
        self.probe.stdin.close()
        self.probe.wait(30)
        subprocess.run([self.args.wineserver, "-k"], env=self.env)
        try:
            self.proc.wait(30)
        except subprocess.TimeoutExpired:
            self.proc.kill()
        self.output.close()
        return problems


# ---------------------------------------------------------------- disk

class SmallDisk:
    """A tmpfs of its own for the log; full while a filler takes all its free space."""

    def __init__(self, path, size_mb):
        self.path = path
        os.makedirs(path, exist_ok=True)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%dm" % size_mb, "soak", path],
                       check=True)
        self.filler = os.path.join(path, "filler")

    def fill(self):
        fd = os.open(self.filler, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
        try:
            # Large blocks first, then single bytes: the tmpfs counts whole pages.
            for block in (b"\0" * 65536, b"\0"):
                try:
                    while True:
                        os.write(fd, block)
                except OSError:
                    pass
        finally:
            os.close(fd)

    def free(self):
        if os.path.exists(self.filler):
            os.unlink(self.filler)

    def close(self):
        subprocess.run(["umount", "-l", self.path])


# ---------------------------------------------------------------- the run

def addresses_in(save):
    return set(re.findall(r"\b(\d+\.\d+\.\d+\.\d+)\b", save.get("domain", "")))


def flat(samples, name, slack_kib=0):
    values = [s[name] for s in samples if name in s]
    if len(values) < 6:
        return None
    # The medians of the first and the last quarter of the last two thirds: a fault that is
    # still going on in a few of the last samples (threads and sockets of a monitor that waits
    # on a silent server) is not growth.
    window = values[len(values) // 3:]
    k = max(2, len(window) // 4)
    start = statistics.median(window[:k])
    end = statistics.median(window[-k:])
    bound = BOUNDS[name]
    limit = bound[1] if bound[0] == "abs" else max(bound[1], bound[2] * start) + slack_kib
    return {"first": values[0], "last": values[-1], "window_start": round(start, 1),
            "window_end": round(end, 1), "growth": round(end - start, 1), "bound": limit,
            "flat": end - start <= limit, "min": min(values), "max": max(values)}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--client", choices=("cli", "window"), required=True)
    parser.add_argument("--days", type=float, required=True)
    parser.add_argument("--scale", type=float, required=True)
    parser.add_argument("--seed", type=int, default=26)
    parser.add_argument("--host", required=True)
    parser.add_argument("--out", required=True)
    parser.add_argument("--program", help="the console client (cli)")
    parser.add_argument("--build", help="the wine64 build tree (window)")
    parser.add_argument("--probe", help="soak_probe.exe (window)")
    parser.add_argument("--prefix", help="the Wine prefix, kept between runs (window)")
    parser.add_argument("--wine", default="wine")
    parser.add_argument("--wineserver", default="wineserver")
    parser.add_argument("--disk-mb", type=int, default=64)
    parser.add_argument("--addresses-only", action="store_true",
                        help="address changes without faults (to tell a fault's cost apart)")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    windowed = args.client == "window"

    first_address = "203.0.113.10"
    schedule = make_schedule(args.seed, args.days, windowed, first_address,
                             faults=not args.addresses_only)
    log("== fault schedule (seed %d, %g simulated days, clock x%g)" %
        (args.seed, args.days, args.scale))
    for at, kind, info in schedule:
        log("  day %2d %02d:%02d  %-18s %s" % (at // (24 * HOUR_MS), at // HOUR_MS % 24,
                                              at // MINUTE_MS % 60, kind,
                                              json.dumps(info) if info else ""))

    # A VIP account: its saves are confirmed at its own DNS server, on the run's address.
    accounts = {"users": {USER: {
        "password": PASSWORD, "key": "010%s-%s" % (args.host, USER), "randText": "S0AK",
        "zones": [{"name": "soak.test", "text2": "vip", "text3": "2030-01-01",
                   "hosts": [{"label": "www", "address": "192.0.2.1", "text3": "600"},
                             {"label": "home", "address": "192.0.2.1", "text3": "600"}]}]}}}
    sim = provider_sim.ProviderSim(host=args.host, port=5353, accounts=accounts,
                                   address=first_address, read_timeout=5.0, linger=0.2)
    sim.start()
    dns = AccountDns(args.host, sim)
    disk = SmallDisk(os.path.join(args.out, "disk"), args.disk_mb)

    client = WindowClient(args, disk.path) if windowed else CliClient(args, disk.path)
    started = time.monotonic()

    def sim_now():
        return (time.monotonic() - started) * 1000 * args.scale

    end_ms = args.days * 24 * HOUR_MS
    samples, actions, faults = [], [], []
    current = {"address": first_address, "since": 0}
    address_periods = []  # (address, from_ms, to_ms)
    active = {}
    blocked_periods = []  # (from_ms, to_ms)
    half_lines = 0
    max_log = 0
    pending = list(schedule)
    next_hour = 0
    last_day = -1
    saves_seen = 0
    problems = []

    while True:
        now = sim_now()
        if not client.alive():
            problems.append("the client is gone at simulated %.1f h" % (now / HOUR_MS))
            break
        while pending and pending[0][0] <= now:
            at, kind, info = pending.pop(0)
            base = kind.rsplit("-", 1)[0] if kind.endswith(("-start", "-end")) else kind
            # Counted from when it was applied: a slow action of the windowed client may hold
            # the driver for hours of the client's clock, and changes due meanwhile then come
            # at once, each one replacing the last.
            at = sim_now()
            if kind == "address":
                address_periods.append((current["address"], current["since"], at))
                current = {"address": info["address"], "since": at}
                sim.set_address(info["address"])
            elif kind.endswith("-start"):
                active[base] = at
                faults.append((at, base, info))
                if base == "login-down":
                    sim.set_fault(dict(info, server="login", path="*"))
                elif base == "udp-silent":
                    sim.set_fault(server="udp", mode="silent")
                elif base == "dns-silent":
                    dns.silent = True
                elif base == "disk-full":
                    disk.fill()
                else:
                    actions.append((at, kind, client.action(kind)))
            elif kind.endswith("-end"):
                began = active.pop(base, at)
                if blocking(base):
                    blocked_periods.append((began, at))
                if base == "login-down":
                    sim.set_fault(server="login", path="*", mode="none")
                elif base == "udp-silent":
                    sim.set_fault(server="udp", mode="none")
                elif base == "dns-silent":
                    dns.silent = False
                elif base == "disk-full":
                    disk.free()
                else:
                    actions.append((at, kind, client.action(kind)))
            else:
                actions.append((at, kind, client.action(kind)))
        if now >= next_hour:
            size, half = log_state(client.log_path)
            max_log = max(max_log, size)
            # A line is written whole or not at all; a moment's look may fall between the
            # write and its truncation after a failure, so look again before counting it.
            if half:
                time.sleep(0.05)
                half = log_state(client.log_path)[1]
                half_lines += 1 if half else 0
            saves = sim.saved()
            saves_seen = len(saves)
            sample = dict(client.counters(), hour=int(now // HOUR_MS), log_bytes=size,
                          saves=saves_seen, real_s=round(time.monotonic() - started, 1))
            samples.append(sample)
            # A look that took longer than an hour of the client's clock (Wine's process
            # snapshots are slow) skips the hours it missed rather than falling behind.
            next_hour = (now // HOUR_MS + 1) * HOUR_MS
            if sample["hour"] // 24 != last_day:
                last_day = sample["hour"] // 24
                sim.clear_records()  # a month of records would only fill this process
                log("  day %d: %s" % (last_day, json.dumps(sample)))
        if now >= end_ms:
            break
        time.sleep(0.005)

    address_periods.append((current["address"], current["since"], end_ms))
    problems += client.finish()
    dns_asked = dns.asked
    dns.close()
    saves = sim.saved()
    sim.stop()
    size, half = log_state(client.log_path)
    disk.close()

    # Every address that stood for at least an hour outside a blocking fault must have reached
    # the provider; one that was replaced while saves could not get through need not.
    saved_addresses = set()
    for save in saves:
        saved_addresses |= addresses_in(save)
    required, missing = [], []
    for address, begin, end in address_periods:
        clear = end - begin
        for b_from, b_to in blocked_periods:
            clear -= max(0, min(end, b_to) - max(begin, b_from))
        if clear >= HOUR_MS:
            required.append(address)
            if address not in saved_addresses:
                missing.append(address)
    changes = len(address_periods) - 1
    if missing:
        problems.append("addresses that never reached the provider: %s" % ", ".join(missing))
    if half_lines or half:
        problems.append("the log ended inside a line %d times" % (half_lines + (1 if half else 0)))
    for at, kind, answer in actions:
        if answer.startswith("fail") or "; fail" in answer:
            problems.append("action %s at %.1f h: %s" % (kind, at / HOUR_MS, answer))

    counters = {}
    # AddressSanitizer keeps freed blocks in its quarantine until it holds QUARANTINE_MB, so an
    # ASan build's memory may grow by that much without the client holding anything more.
    asan = args.client == "cli" and is_asan_build(args.program)
    slack_kib = QUARANTINE_MB * 1024 if asan else 0
    for name in BOUNDS:
        result = flat(samples, name, slack_kib if name.endswith("_kib") else 0)
        if result is None:
            continue
        counters[name] = result
        if not result["flat"]:
            problems.append("%s grew by %s after the warm-up (bound %s)" %
                            (name, result["growth"], result["bound"]))
    windows_counters = {}
    for name in ("win_private", "win_handles", "win_threads", "win_gdi", "win_user"):
        values = [s[name] for s in samples if name in s]
        if values:
            windows_counters[name] = {"first": values[0], "last": values[-1],
                                      "min": min(values), "max": max(values)}

    summary = {
        "client": args.client, "seed": args.seed, "days": args.days, "scale": args.scale,
        "real_seconds": round(time.monotonic() - started, 1), "hours_sampled": len(samples),
        "address_changes": changes, "addresses_required": len(required),
        "addresses_saved": len(set(required) & saved_addresses), "saves": len(saves),
        "dns_questions": dns_asked,
        "faults": {k: sum(1 for f in faults if f[1] == k)
                   for k in sorted({f[1] for f in faults})},
        "actions": [("%.1f h" % (a / HOUR_MS), k, r) for a, k, r in actions],
        "log_bytes_max": max_log, "log_bytes_end": size, "disk_mb": args.disk_mb,
        "counters": counters, "windows_counters": windows_counters,
        "problems": problems, "passed": not problems,
    }
    with open(os.path.join(args.out, "samples.jsonl"), "w") as fh:
        for sample in samples:
            fh.write(json.dumps(sample) + "\n")
    with open(os.path.join(args.out, "summary.json"), "w") as fh:
        json.dump(summary, fh, indent=1)
    log("== summary")
    log(json.dumps(summary, indent=1))
    log("SOAK %s: %s" % (args.client, "PASSED" if not problems else "FAILED"))
    return 0 if not problems else 1


if __name__ == "__main__":
    sys.exit(main())
