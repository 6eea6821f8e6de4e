#!/usr/bin/env python3
"""Starts and stops the provider simulators that the protocol's integration tests talk to.

  provider_sim_fixture.py start STATE_DIR SIMULATOR HOST:CONTROL_PORT [HOST:CONTROL_PORT ...]
  provider_sim_fixture.py stop STATE_DIR

"start" writes the account table into STATE_DIR, starts one simulator per loopback address
(login server on port 5353, control channel on the given port), waits until every one is
ready and leaves their process ids in STATE_DIR. "stop" ends exactly those processes.
Simulators left over from an earlier run that broke off are stopped first.
"""

import json
import os
import signal
import subprocess
import sys
import time

READY_TIMEOUT_S = 15


def accounts():
    """The accounts the tests log in with."""
    big_zones = []
    for z in range(10):
        hosts = [{"label": "host%d" % h, "address": "10.%d.%d.1" % (z, h),
                  "text3": "t", "kind": "A"} for h in range(20)]
        big_zones.append({"name": "zone%d.example.net" % z, "text2": "a",
                          "text3": "b", "hosts": hosts})
    return {"users": {
        "alice": {"password": "pw", "key": "000127.0.0.41-alice", "randText": "R1",
                  "zones": [{"name": "example.net", "text2": "x", "text3": "y",
                             "hosts": [{"label": "www", "address": "1.2.3.4",
                                        "text3": "z", "kind": "A"},
                                       {"label": "ftp", "address": "1.2.3.4",
                                        "text3": "z"}]}]},
        "carol": {"password": "a&b+c d", "key": "010127.0.0.41-carol",
                  "randText": "R3",
                  "zones": [{"name": "carol.net", "text2": "", "text3": "",
                             "hosts": [{"label": "home", "address": "5.6.7.8",
                                        "text3": "", "kind": "A"}]}]},
        "dora": {"password": "pw", "key": "000127.0.0.41-dora", "randText": "R4",
                 "expired": True,
                 "zones": [{"name": "dora.net", "text2": "", "text3": "",
                            "hosts": [{"label": "www", "address": "1.1.1.1",
                                       "text3": ""}]}]},
        "big": {"password": "pw", "key": "000127.0.0.41-big", "randText": "R5",
                "zones": big_zones},
    }}


def pid_files(state_dir):
    return [os.path.join(state_dir, name) for name in sorted(os.listdir(state_dir))
            if name.endswith(".pid")] if os.path.isdir(state_dir) else []


def running(pid):
    """True while the process exists and has not ended. The simulators are not this script's
    children once it has returned, so an ended one may linger as a zombie until its new
    parent collects it; that counts as ended."""
    try:
        os.kill(pid, 0)
    except OSError:
        return False
    try:
        with open("/proc/%d/stat" % pid, encoding="ascii") as fh:
            return fh.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return True


def stop(state_dir):
    for pid_file in pid_files(state_dir):
        try:
            with open(pid_file, encoding="ascii") as fh:
                pid = int(fh.read().strip())
            os.kill(pid, signal.SIGTERM)
            deadline = time.monotonic() + 5
            while time.monotonic() < deadline and running(pid):
                time.sleep(0.05)
            if running(pid):
                os.kill(pid, signal.SIGKILL)
        except (OSError, ValueError):
            pass
        os.unlink(pid_file)
    return 0


def start(state_dir, simulator, servers):
    os.makedirs(state_dir, exist_ok=True)
    stop(state_dir)
    accounts_file = os.path.join(state_dir, "accounts.json")
    with open(accounts_file, "w", encoding="utf-8") as fh:
        json.dump(accounts(), fh, indent=1)
    ready_files = []
    for server in servers:
        host, control_port = server.split(":")
        ready = os.path.join(state_dir, host + ".ready")
        log = open(os.path.join(state_dir, host + ".log"), "w", encoding="utf-8")
        process = subprocess.Popen(
            [sys.executable, simulator, "--host", host, "--port", "5353",
             "--control-port", control_port, "--accounts", accounts_file,
             "--ready-file", ready, "--read-timeout", "5"],
            stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
            start_new_session=True)
        with open(os.path.join(state_dir, host + ".pid"), "w", encoding="ascii") as fh:
            fh.write(str(process.pid))
        ready_files.append((ready, process, host))
    deadline = time.monotonic() + READY_TIMEOUT_S
    for ready, process, host in ready_files:
        while not os.path.exists(ready):
            if process.poll() is not None or time.monotonic() > deadline:
                print("simulator on %s did not start; see %s.log" % (host, host),
                      file=sys.stderr)
                stop(state_dir)
                return 1
            time.sleep(0.05)
    print("simulators ready on %s" % ", ".join(servers))
    return 0


def main(argv):
    if len(argv) >= 5 and argv[1] == "start":
        return start(argv[2], argv[3], argv[4:])
    if len(argv) == 3 and argv[1] == "stop":
        return stop(argv[2])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
