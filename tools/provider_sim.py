#!/usr/bin/env python3
"""Provider simulator: the login server, the UDP address service and the
update service that the QuorinFree client and the Brenwick updater talk to,
played on a loopback address for tests and demos.

Servers (all bound to one address, by default 127.0.0.1):

* Login server, TCP, port 5353 by default.  Three request forms arrive:
  - the versionless GET the client writes by hand on a raw socket,
    "GET  /path?n=v&...&\\n" (no protocol version, ends at the first line
    feed): answered with the bare reply text, no status line, then closed;
  - the HTTP/1.0 POST of the domain-list save, header lines ending in a bare
    "\\n", body length in "Content-Length:" (with or without a blank after
    the colon): answered with "HTTP/1.0 200 OK", header lines, "\\r\\n\\r\\n"
    and the reply text;
  - ordinary HTTP/1.1 requests from an HTTP library (the login): answered
    with "HTTP/1.1 200 OK", Content-Length and "Connection: close".
  Paths and parameters:
    /client_login.php          user_name, passwd (agent is ignored)
        -> "00key=<key>&randText=<randText>&%<zone list>"
    /client_getDomainList.php  user_name, key, randText -> "00<zone list>"
    /client_saveDomainList.php user_name, key, randText, domain -> "00"
    /client_getIP.php          user_name, key, randText -> "00<address>"
    /client_getUpgradeInfo.php userVersion, userName, key, randText
        -> "00<version>|<base>|<name>,<size>;<name>,<size>..."
  Zone list text: zones joined by "#"; a zone is "name,text2,text3" followed
  by "|label,address,text3[,kind]" per host ("kind" is left out when the
  account table has no kind for that host).
* UDP address service on the same port number: one datagram holding
  "user;key;randText" and zero padding; the answer is the public address text
  (no terminating zero).
* Update service, "/GetNewVersion.php": answered with "Key=value\\r\\n" lines
  for the offer's keys in the order CurrentVersion, URL, CheckSum,
  Description, ForceUpdate, StrictVersion (keys the offer lacks are left
  out; no offer gives an empty 200 body).  Served on the login port and, with
  --update-port, on a port of its own.
* Files, "/files/<path>" (with --files DIR): the bytes of DIR/<path>, for
  the client's self-update, which fetches the files that
  /client_getUpgradeInfo.php lists below a base address.  A path with an
  empty, "." or ".." part, a backslash or a drive is answered 404, as is a
  missing file.  The fault switches of the path (or "*") apply, so "cut"
  and "trickle" give a short or a slow download.

Choices made where the client's side leaves the server open:

* Reply codes: "00" success, "01" unknown user name, "02" wrong password,
  "03" account disabled, "04" key or randText do not match the account,
  "99" a required parameter is missing.  Error replies are the bare code.
* An account marked "expired" logs in with code 00, but every zone of its
  list ends with the host "expired,0.0.0.0," so the client sees it expired.
  An account given as "zone_text" gets that text verbatim, marker or not;
  its first save turns it into zones.
* Saved records replace the address and text3 of the host with the same
  label in the zone with the same name; the stored kind is kept unless the
  client sent a different first character; unknown zones and hosts are
  appended.  The zone header fields stay as stored.
* An account without "key" gets "000<host>-<user name>" (free account, its
  DNS server the simulator's own address); without "randText" the first
  eight hex digits of the MD5 of the user name.  Both stay fixed, so
  recorded requests can be compared byte for byte.
* The public address defaults to the requester's own address (what the
  provider sees); a configured address overrides it for getIP and UDP alike.
* The UDP service answers every datagram, whoever the user.
* Both TCP servers answer every path; they differ in their fault tables.
  Unknown paths get an HTTP 404 response (with status line in every form,
  as a web server would answer).
* Request parameters: "&"-separated name=value parts of the query and, for
  POST, of the body (body wins); %XX escapes are decoded, "+" stays "+";
  a repeated name keeps its last value; names are case-sensitive.

Fault switches (per server "login" / "update", per path or "*" for all
paths; a path's own switch wins over "*"):
  delay      normal answer after "ms" milliseconds
  code       the bare reply text "code" + "text" (e.g. "01", "99")
  empty      an empty reply text (status line kept in the HTTP forms)
  nonnumeric the reply text "text" (default "Service unavailable")
  text       the reply text "text" exactly
  silent     read the request, then say nothing for "hold_ms" (default 60000)
             or until the client closes
  cut        the full answer cut after "bytes" bytes, then close
  trickle    the full answer, one byte every "interval_ms" milliseconds
             (default 100), then close; the client's HTTP time-outs and
             download loops meet a server that is alive but slow.  Set it
             for one path or "*" on either server: it acts on every path
             the simulator serves, error pages included
  status     an HTTP response with status "status" (default 404)
  close      close without answering: at once after accept when set for
             "*", right after reading the request when set for a path
  reset      like close, but with a TCP reset
Every fault takes "ms" as a delay before it acts, and "times" (apply that
many times, then clear itself; unset means until changed).
UDP faults (server "udp"): delay, empty (a zero-length datagram), text
(default "not-an-address"), other_port (answer from a second socket with
another source port), other_address (answer from a second socket bound to
"source_host", by default the simulator's address with its last number
changed by one, and "source_port", by default the service's own port, so
that only the address differs; on loopback any 127.x.y.z can be bound),
silent (no answer).

Recording: every TCP connection's received bytes and every datagram, with
time, transport and source, are kept in memory and appended as JSON lines to
the --record file.  Each record is an object:
  seq        1, 2, ... in arrival order
  time       Unix time in seconds (float)
  transport  "tcp" or "udp"
  server     "login", "update" or "udp"
  conn       connection number (TCP; the same for every record of a
             connection)
  phase      "request" (bytes up to the moment of answering), "after-reply"
             (bytes the client sent after the answer), "incomplete" (the
             client stopped before a whole request arrived, or the request
             was too large), "datagram" (UDP)
  src, dst   "ip:port"
  form       "get-raw", "http/1.0", "http/1.1", "none" (no bytes) or
             "unparsed"; for UDP "datagram"
  method, path, params   the parsed request (params decoded), or null
  fault      the fault mode applied, or null
  length     number of bytes
  b64        the exact bytes, base64 (the authoritative form)
  text       the same bytes as latin-1 text: each character U+0000..U+00FF
             stands for the byte of the same value
A connection that closes without sending a byte (the client's connectivity
check) is recorded with form "none" and no bytes.

Control channel (--control-port): HTTP/1.1 on the same address (or on
--control-host), JSON in and out, see USAGE_EPILOG below.  SIGHUP re-reads
the --state file.

Home router (--gateway, tools/router_sim.py): the LAN side of a router on
the gateway address given (NAT-PMP, its announcements, PCP ANNOUNCE, SSDP and
a UPnP IGD with GetExternalIPAddress), reporting --router-wan as its
external address; driven through /control/router.  It runs where a test made
that address up, in a network namespace of its own; the control channel can
then listen on the gateway address instead of --host (--control-host), so
that a test program on the LAN reaches it.
"""

import argparse
import base64
import copy
import hashlib
import http
import ipaddress
import itertools
import json
import os
import re
import select
import signal
import socket
import struct
import sys
import threading
import time
import urllib.parse

import router_sim

LOGIN_PATH = "/client_login.php"
DOMAIN_LIST_PATH = "/client_getDomainList.php"
SAVE_DOMAIN_LIST_PATH = "/client_saveDomainList.php"
GET_IP_PATH = "/client_getIP.php"
UPGRADE_INFO_PATH = "/client_getUpgradeInfo.php"
FILES_PATH = "/files/"
VERSION_PATH = "/GetNewVersion.php"

CODE_OK = "00"
CODE_UNKNOWN_USER = "01"
CODE_BAD_PASSWORD = "02"
CODE_DISABLED = "03"
CODE_BAD_SESSION = "04"
CODE_BAD_REQUEST = "99"

OFFER_KEYS = ("CurrentVersion", "URL", "CheckSum", "Description",
              "ForceUpdate", "StrictVersion")
EXPIRED_HOST = {"label": "expired", "address": "0.0.0.0", "text3": ""}

DEFAULT_PORT = 5353
MAX_REQUEST = 64 * 1024
MAX_RECORDS = 10000
MAX_CONNECTIONS = 64
POLL = 0.25

TCP_FAULTS = ("none", "delay", "code", "empty", "nonnumeric", "text",
              "silent", "cut", "trickle", "status", "close", "reset")
UDP_FAULTS = ("none", "delay", "empty", "text", "other_port",
              "other_address", "silent")
SERVERS = ("login", "update", "udp")

USAGE_EPILOG = """\
control channel (--control-port; JSON bodies, JSON answers):
  GET  /control/state            address, faults, offer, upgrade, ports
  POST /control/state            merge a state document (keys as --state)
  POST /control/address          {"address": "1.2.3.4"} or the bare text;
                                 {"address": null} reports the requester's
  POST /control/fault            {"server": "login"|"update"|"udp",
                                  "path": "*"|"/client_login.php"|...,
                                  "mode": "...", "ms": N, "code": "01",
                                  "text": "...", "bytes": K, "status": 404,
                                  "hold_ms": N, "interval_ms": N,
                                  "source_host": "127.0.0.9",
                                  "source_port": N, "times": N}; mode
                                 "none" clears that switch
                                 modes: login and update servers: delay,
                                 code, empty, nonnumeric, text, silent,
                                 cut, trickle (one byte per interval_ms),
                                 status, close, reset; udp: delay, empty,
                                 text, other_port, other_address (from
                                 source_host:source_port), silent
  POST /control/fault/clear      clear every fault switch
  GET  /control/records?since=SEQ&min=N&wait_ms=T
                                 records after SEQ; waits up to T ms until
                                 at least N are there
  POST /control/records/clear    forget the records in memory
  GET  /control/saved            domain lists saved so far
  GET  /control/accounts         the account table as it stands now
  POST /control/accounts         replace the account table
  POST /control/offer            replace the update offer
  POST /control/upgrade          replace the upgrade information
  POST /control/reload           re-read the --state file (as SIGHUP does)
  POST /control/shutdown         stop the simulator
  GET  /control/router           the router's WAN address, NAT-PMP switch,
                                 epoch and counts of what it answered
  POST /control/router           {"natpmp": false, "wan": "11.2.0.2",
                                  "announce": ["natpmp", "pcp"]}, each key
                                 optional: a new "wan" is announced over
                                 NAT-PMP unless "announce" lists otherwise
                                 ([] for a silent change)

state file (--state, JSON, every key optional):
  {"address": "1.2.3.4", "accounts": {...}, "faults": [{...}, ...],
   "offer": {"CurrentVersion": "2.1.0", "URL": "/files/a.exe", ...},
   (offer extras: "extra_lines": [...] appended as lines; "body": "..."
    sent instead of the lines)
   "upgrade": {"version": "4.3.0", "base": "http://...",
               "items": [["QuorinFree.exe", 123456], ...]}}

account table (--accounts, JSON):
  {"users": {"alice": {"password": "pw", "key": "000127.0.0.1-a",
     "randText": "R1", "expired": false, "disabled": false,
     "zones": [{"name": "example.net", "text2": "x", "text3": "y",
                "hosts": [{"label": "www", "address": "1.2.3.4",
                           "text3": "z", "kind": "A"}]}]}}}
  ("zone_text": "..." instead of "zones" sends that list text verbatim.)

The ready file holds {"pid", "host", "port", "udp_port", "update_port",
"control_port", "control_host"} (and "router" with the router's state when
it runs) once every socket is bound; it is removed at exit.
"""


# ---------------------------------------------------------------- parsing

_HEX = b"0123456789abcdefABCDEF"


def percent_decode(raw):
    """Decode %XX escapes of a byte string; '+' is not a blank here, and a
    '%' without two hex digits after it stays as it is."""
    out = bytearray()
    i = 0
    while i < len(raw):
        c = raw[i]
        if (c == 0x25 and i + 2 < len(raw)
                and raw[i + 1] in _HEX and raw[i + 2] in _HEX):
            out.append(int(raw[i + 1:i + 3], 16))
            i += 3
        else:
            out.append(c)
            i += 1
    return bytes(out)


def parse_params(raw, encoding="latin-1"):
    """Split "n1=v1&n2=v2&" into a dict; empty parts are skipped, a part
    without '=' has the empty value, the last of a repeated name wins."""
    params = {}
    for part in raw.split(b"&"):
        if not part:
            continue
        name, _, value = part.partition(b"=")
        params[_decode(percent_decode(name), encoding)] = _decode(
            percent_decode(value), encoding)
    return params


def _decode(raw, encoding):
    return raw.decode(encoding, "surrogateescape")


def _encode(text, encoding):
    try:
        return text.encode(encoding, "surrogateescape")
    except UnicodeEncodeError:
        return text.encode(encoding, "replace")


class Request:
    """One parsed request.  version is None for the versionless GET."""

    def __init__(self, method, target, version, headers, body, length,
                 bare_lf=False):
        self.method = method
        self.target = target
        self.version = version
        self.headers = headers
        self.body = body
        self.length = length          # bytes the request itself occupies
        self.bare_lf = bare_lf        # lines end in "\n" alone (hand-built)
        path, _, query = target.partition("?")
        self.path = path
        self.query = query

    @property
    def form(self):
        return "get-raw" if self.version is None else self.version.lower()

    def header(self, name):
        for key, value in self.headers:
            if key.lower() == name.lower():
                return value
        return None

    def params(self, encoding="latin-1"):
        params = parse_params(self.query.encode("latin-1"), encoding)
        if self.method == "POST" and self.body:
            params.update(parse_params(self.body.rstrip(b"\r\n"), encoding))
        return params


_VERSION_RE = re.compile(r"HTTP/\d+\.\d+")


class RequestTooLarge(ValueError):
    pass


def parse_request(buf):
    """Parse a request from the start of buf.  Returns the Request once it
    is complete, None while more bytes are needed; raises ValueError for a
    first line that cannot be a request."""
    end = buf.find(b"\n")
    if end < 0:
        return None
    line = buf[:end].rstrip(b"\r").decode("latin-1")
    method, blank, rest = line.partition(" ")
    if not blank or not method.isalpha():
        raise ValueError("bad request line")
    rest = rest.lstrip(" ")
    target, version = rest, None
    pieces = rest.rsplit(" ", 1)
    if len(pieces) == 2 and _VERSION_RE.fullmatch(pieces[1]):
        target, version = pieces[0].rstrip(" "), pieces[1]
    if version is None:
        # The hand-built GET ends at its first line feed.
        return Request(method, target, None, [], b"", end + 1)
    headers = []
    pos = end + 1
    while True:
        nl = buf.find(b"\n", pos)
        if nl < 0:
            return None
        hline = buf[pos:nl].rstrip(b"\r").decode("latin-1")
        pos = nl + 1
        if not hline:
            break
        name, _, value = hline.partition(":")
        headers.append((name.strip(), value.strip()))
    length = 0
    for name, value in headers:
        if name.lower() == "content-length":
            try:
                length = max(0, int(value))
            except ValueError:
                raise ValueError("bad Content-Length") from None
    if pos + length > MAX_REQUEST:
        raise RequestTooLarge("request too large")
    if len(buf) < pos + length:
        return None
    return Request(method, target, version, headers, buf[pos:pos + length],
                   pos + length, bare_lf=buf[end - 1:end] != b"\r")


# ---------------------------------------------------------------- zone lists

def _host_text(host):
    fields = [host.get("label", ""), host.get("address", ""),
              host.get("text3", "")]
    if host.get("kind") is not None:
        fields.append(host["kind"])
    return ",".join(str(f) for f in fields)


def format_zone_list(zones, expired=False):
    """The zone list text of a reply; an expired account gets the host
    labelled "expired" at the end of every zone."""
    texts = []
    for zone in zones:
        parts = [",".join([zone.get("name", ""), zone.get("text2", ""),
                           zone.get("text3", "")])]
        hosts = list(zone.get("hosts", []))
        if expired:
            hosts.append(EXPIRED_HOST)
        parts.extend(_host_text(h) for h in hosts)
        texts.append("|".join(parts))
    return "#".join(texts)


def parse_zone_list(text):
    """Read a zone list text (as saved by the client) into zone dicts.
    Empty zone texts (a save text may start with '#') are skipped; a host
    field with three parts has no kind, a fourth part is kept whole."""
    zones = []
    for ztext in text.split("#"):
        if not ztext:
            continue
        fields = ztext.split("|")
        header = fields[0].split(",")
        header += [""] * (3 - len(header))
        zone = {"name": header[0], "text2": header[1], "text3": header[2],
                "hosts": []}
        for hfield in fields[1:]:
            if not hfield:
                continue
            parts = hfield.split(",")
            host = {"label": parts[0],
                    "address": parts[1] if len(parts) > 1 else "",
                    "text3": parts[2] if len(parts) > 2 else ""}
            if len(parts) > 3:
                host["kind"] = parts[3]
            zone["hosts"].append(host)
        zones.append(zone)
    return zones


def merge_saved_zones(zones, saved):
    """Write saved host records into an account's zones (in place)."""
    for szone in saved:
        zone = next((z for z in zones if z.get("name") == szone["name"]), None)
        if zone is None:
            zones.append(copy.deepcopy(szone))
            continue
        hosts = zone.setdefault("hosts", [])
        for shost in szone["hosts"]:
            host = next((h for h in hosts
                         if h.get("label") == shost["label"]), None)
            if host is None:
                hosts.append(dict(shost))
                continue
            host["address"] = shost["address"]
            host["text3"] = shost["text3"]
            sent = shost.get("kind")
            stored = host.get("kind")
            if sent and (not stored or stored[0] != sent[0]):
                host["kind"] = sent


def format_offer(offer):
    """The reply body of /GetNewVersion.php for an offer dict."""
    if offer.get("body") is not None:
        return offer["body"]
    lines = ["%s=%s\r\n" % (key, offer[key]) for key in OFFER_KEYS
             if offer.get(key) is not None]
    lines.extend(line + "\r\n" for line in offer.get("extra_lines", []))
    return "".join(lines)


def format_upgrade(upgrade):
    items = ";".join("%s,%s" % (name, size)
                     for name, size in upgrade.get("items", []))
    return "%s|%s|%s" % (upgrade.get("version", ""), upgrade.get("base", ""),
                         items)


# ---------------------------------------------------------------- faults

def _is_loopback(host):
    try:
        return ipaddress.IPv4Address(host).is_loopback
    except ValueError:
        return False


def _neighbour_address(host):
    """The loopback address beside host: its last number changed by one
    (one up, or one down at the top of the range), so that a reply from
    it comes from another host."""
    packed = bytearray(ipaddress.IPv4Address(host).packed)
    packed[3] = packed[3] + 1 if packed[3] < 254 else packed[3] - 1
    return str(ipaddress.IPv4Address(bytes(packed)))


class Fault:
    """One fault switch; see the module text for the modes."""

    FIELDS = ("mode", "ms", "code", "text", "bytes", "status", "hold_ms",
              "interval_ms", "source_host", "source_port", "times")

    def __init__(self, mode="none", ms=0, code=CODE_BAD_REQUEST, text=None,
                 bytes=10, status=404, hold_ms=60000, interval_ms=100,
                 source_host=None, source_port=None, times=None):
        self.mode = mode
        self.ms = int(ms)
        self.code = str(code)
        self.text = text
        self.bytes = int(bytes)
        self.status = int(status)
        self.hold_ms = int(hold_ms)
        self.interval_ms = int(interval_ms)
        self.source_host = None if source_host is None else str(source_host)
        self.source_port = None if source_port is None else int(source_port)
        self.times = None if times is None else int(times)

    @classmethod
    def from_dict(cls, data, server="login"):
        data = {k: v for k, v in data.items()
                if k not in ("server", "path")}
        unknown = set(data) - set(cls.FIELDS)
        if unknown:
            raise ValueError("unknown fault fields: %s" % sorted(unknown))
        try:
            fault = cls(**data)
        except (TypeError, ValueError) as exc:
            raise ValueError("bad fault: %s" % exc) from None
        modes = UDP_FAULTS if server == "udp" else TCP_FAULTS
        if fault.mode not in modes:
            raise ValueError("fault mode %r is not one of %s"
                             % (fault.mode, ", ".join(modes)))
        if (fault.ms < 0 or fault.bytes < 0 or fault.hold_ms < 0
                or fault.interval_ms < 0):
            raise ValueError("negative fault value")
        if fault.source_port is not None and not 0 <= fault.source_port \
                <= 65535:
            raise ValueError("source_port must be 0 to 65535")
        if fault.source_host is not None and not _is_loopback(
                fault.source_host):
            raise ValueError("source_host must be a loopback address "
                             "127.x.x.x, not %r" % fault.source_host)
        if fault.times is not None and fault.times < 1:
            raise ValueError("times must be at least 1")
        return fault

    def to_dict(self):
        return {k: getattr(self, k) for k in self.FIELDS}


# ---------------------------------------------------------------- simulator

class ProviderSim:
    """The simulator.  start() binds every socket and starts the threads;
    stop() ends them.  All setters are safe to call while it runs."""

    def __init__(self, host="127.0.0.1", port=DEFAULT_PORT, update_port=None,
                 control_port=None, accounts=None, address=None, offer=None,
                 upgrade=None, faults=(), record_file=None, ready_file=None,
                 state_file=None, read_timeout=5.0, encoding="latin-1",
                 linger=2.0, files_dir=None, router=None, control_host=None):
        # Tests run beside each other on one machine; the simulator is
        # never meant to be reachable from outside it.  Only the router's
        # made-up LAN address is another place for the control channel.
        if not _is_loopback(host):
            raise ValueError("host must be a loopback address 127.x.x.x, "
                             "not %r" % host)
        control_host = control_host or host
        if not _is_loopback(control_host) and (
                router is None or control_host != router.gateway):
            raise ValueError("the control host must be a loopback address "
                             "or the router's gateway address, not %r"
                             % control_host)
        self.host = host
        self.control_host = control_host
        self.router = router
        self.port = port
        self.udp_port = None
        self.update_port = update_port
        self.control_port = control_port
        self.record_file = record_file
        self.ready_file = ready_file
        self.state_file = state_file
        self.read_timeout = float(read_timeout)
        # Seconds the server keeps reading after its answer, until the
        # client closes (capped by read_timeout).
        self.linger = float(linger)
        self.encoding = encoding
        self.files_dir = files_dir
        self._lock = threading.RLock()
        self._records_changed = threading.Condition(self._lock)
        self._stop = threading.Event()
        self._users = {}
        self._address = None
        self._offer = {}
        self._upgrade = {}
        self._faults = {"login": {}, "update": {}}
        self._udp_fault = None
        self._records = []
        self._saved = []
        self._seq = itertools.count(1)
        self._conn_ids = itertools.count(1)
        self._record_fh = None
        self._sockets = []
        self._threads = []
        self._conns = set()
        self.set_accounts(accounts or {})
        self.set_address(address)
        self.set_offer(offer or {})
        self.set_upgrade(upgrade or {})
        for fault in faults:
            self.set_fault(fault)
        if state_file:
            self.reload_state()

    # -- life cycle

    def start(self):
        if self.ready_file and os.path.exists(self.ready_file):
            os.unlink(self.ready_file)
        try:
            self._bind_all()
        except Exception:
            self._close_sockets()
            raise
        if self.record_file:
            self._record_fh = open(self.record_file, "a", encoding="ascii")
        login, udp = self._sockets[0], self._sockets[1]
        self._spawn(self._accept_loop, login, "login")
        self._spawn(self._udp_loop, udp)
        rest = self._sockets[2:]
        if self.update_port is not None:
            self._spawn(self._accept_loop, rest.pop(0), "update")
        if self.control_port is not None:
            self._spawn(self._accept_loop, rest.pop(0), "control")
        if self.router is not None:
            try:
                self.router.start()
            except OSError:
                self.stop()
                raise
        if self.ready_file:
            self._write_ready_file()
        return self

    def _bind_all(self):
        # With port 0 the UDP socket must follow whatever the TCP socket got;
        # that port may be taken for UDP, so try a few times.
        for _ in range(20):
            tcp = self._listen(self.port)
            port = tcp.getsockname()[1]
            try:
                udp = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
                udp.bind((self.host, port))
            except OSError:
                udp.close()
                tcp.close()
                if self.port:
                    raise
                continue
            self.port = self.udp_port = port
            self._sockets = [tcp, udp]
            break
        else:
            raise OSError("no port free for both TCP and UDP")
        if self.update_port is not None:
            sock = self._listen(self.update_port)
            self.update_port = sock.getsockname()[1]
            self._sockets.append(sock)
        if self.control_port is not None:
            sock = self._listen(self.control_port, self.control_host)
            self.control_port = sock.getsockname()[1]
            self._sockets.append(sock)

    def _listen(self, port, host=None):
        sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        try:
            sock.bind((host or self.host, port))
            sock.listen(32)
        except OSError:
            sock.close()
            raise
        return sock

    def _write_ready_file(self):
        info = {"pid": os.getpid(), "host": self.host, "port": self.port,
                "udp_port": self.udp_port, "update_port": self.update_port,
                "control_port": self.control_port,
                "control_host": self.control_host}
        if self.router is not None:
            info["router"] = self.router.state()
        tmp = self.ready_file + ".tmp"
        with open(tmp, "w", encoding="ascii") as fh:
            json.dump(info, fh)
            fh.flush()
            os.fsync(fh.fileno())
        os.replace(tmp, self.ready_file)

    def _spawn(self, target, *args):
        thread = threading.Thread(target=target, args=args, daemon=True)
        thread.start()
        self._threads.append(thread)

    def stop(self):
        self._stop.set()
        self._close_sockets()
        if self.router is not None:
            self.router.stop()
        with self._lock:
            conns = list(self._conns)
        for conn in conns:
            try:
                conn.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
        for thread in self._threads:
            thread.join(timeout=2.0)
        with self._lock:
            if self._record_fh:
                self._record_fh.close()
                self._record_fh = None
        if self.ready_file:
            try:
                os.unlink(self.ready_file)
            except FileNotFoundError:
                pass

    def _close_sockets(self):
        for sock in self._sockets:
            sock.close()

    def wait(self, timeout=None):
        """Block until stop() or a control-channel shutdown."""
        return self._stop.wait(timeout)

    @property
    def stopped(self):
        return self._stop.is_set()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    # -- configuration

    def set_accounts(self, accounts):
        users = accounts.get("users", accounts)
        if not isinstance(users, dict):
            raise ValueError("the account table must map user names")
        with self._lock:
            self._users = copy.deepcopy(users)

    def accounts(self):
        with self._lock:
            return {"users": copy.deepcopy(self._users)}

    def set_address(self, address):
        """The public address reported by getIP and UDP; None reports the
        requester's own address."""
        if address is not None and not isinstance(address, str):
            raise ValueError("address must be a text or null")
        with self._lock:
            self._address = address

    def set_offer(self, offer):
        if not isinstance(offer, dict):
            raise ValueError("the offer must be an object")
        with self._lock:
            self._offer = dict(offer)

    def set_upgrade(self, upgrade):
        if not isinstance(upgrade, dict):
            raise ValueError("the upgrade information must be an object")
        with self._lock:
            self._upgrade = copy.deepcopy(upgrade)

    def set_fault(self, spec=None, **fields):
        """set_fault({"server": "login", "path": "*", "mode": "code",
        "code": "01"}) or set_fault(server=..., path=..., mode=...).
        Mode "none" removes the switch."""
        spec = dict(spec or {}, **fields)
        server = spec.get("server", "login")
        path = spec.get("path", "*")
        if server not in SERVERS:
            raise ValueError("server must be one of %s" % ", ".join(SERVERS))
        fault = Fault.from_dict(spec, server)
        if fault.mode == "other_address" and fault.source_host == self.host:
            raise ValueError("other_address needs a source_host other than "
                             "the simulator's own %s" % self.host)
        with self._lock:
            if server == "udp":
                self._udp_fault = None if fault.mode == "none" else fault
            elif fault.mode == "none":
                self._faults[server].pop(path, None)
            else:
                self._faults[server][path] = fault

    def clear_faults(self):
        with self._lock:
            self._faults = {"login": {}, "update": {}}
            self._udp_fault = None

    def faults(self):
        with self._lock:
            out = [dict(f.to_dict(), server=s, path=p)
                   for s, table in self._faults.items()
                   for p, f in table.items()]
            if self._udp_fault:
                out.append(dict(self._udp_fault.to_dict(), server="udp",
                                path="*"))
            return out

    def apply_state(self, state):
        """Merge a state document: address, accounts, faults (replacing all
        switches), offer, upgrade."""
        if not isinstance(state, dict):
            raise ValueError("the state must be an object")
        unknown = set(state) - {"address", "accounts", "faults", "offer",
                                "upgrade"}
        if unknown:
            raise ValueError("unknown state keys: %s" % sorted(unknown))
        # Check everything before changing anything, so that a bad document
        # leaves the running state whole.
        for spec in state.get("faults", []):
            if not isinstance(spec, dict):
                raise ValueError("a fault must be an object")
            Fault.from_dict(spec, spec.get("server", "login"))
        for key in ("offer", "upgrade", "accounts"):
            if key in state and not isinstance(state[key], dict):
                raise ValueError("%s must be an object" % key)
        address = state.get("address")
        if address is not None and not isinstance(address, str):
            raise ValueError("address must be a text or null")
        with self._lock:
            if "accounts" in state:
                self.set_accounts(state["accounts"])
            if "address" in state:
                self.set_address(address)
            if "offer" in state:
                self.set_offer(state["offer"])
            if "upgrade" in state:
                self.set_upgrade(state["upgrade"])
            if "faults" in state:
                self.clear_faults()
                for spec in state["faults"]:
                    self.set_fault(spec)

    def reload_state(self):
        if not self.state_file:
            raise ValueError("no state file was given")
        with open(self.state_file, encoding="utf-8") as fh:
            self.apply_state(json.load(fh))

    def state(self):
        with self._lock:
            return {"address": self._address, "faults": self.faults(),
                    "offer": dict(self._offer),
                    "upgrade": copy.deepcopy(self._upgrade),
                    "host": self.host, "port": self.port,
                    "udp_port": self.udp_port,
                    "update_port": self.update_port,
                    "control_port": self.control_port}

    # -- records

    def records(self, since=0, transport=None, path=None):
        with self._lock:
            return [dict(r) for r in self._records if r["seq"] > since
                    and (transport is None or r["transport"] == transport)
                    and (path is None or r["path"] == path)]

    def wait_records(self, count, timeout=5.0, since=0, path=None):
        """Wait until at least count records (after since, of path when
        given) exist; returns them (possibly fewer after the time-out)."""
        deadline = time.monotonic() + timeout
        with self._records_changed:
            while True:
                found = self.records(since, path=path)
                left = deadline - time.monotonic()
                if len(found) >= count or left <= 0:
                    return found
                self._records_changed.wait(left)

    def clear_records(self):
        with self._lock:
            self._records = []

    def saved(self):
        with self._lock:
            return copy.deepcopy(self._saved)

    def _record(self, transport, server, data, src, dst, phase, conn=None,
                req=None, form=None, fault=None, params=None):
        entry = {"seq": None, "time": time.time(), "transport": transport,
                 "server": server, "conn": conn, "phase": phase,
                 "src": "%s:%d" % src, "dst": "%s:%d" % dst,
                 "form": form or (req.form if req else "unparsed"),
                 "method": req.method if req else None,
                 "path": req.path if req else None,
                 "params": params, "fault": fault, "length": len(data),
                 "b64": base64.b64encode(data).decode("ascii"),
                 "text": data.decode("latin-1")}
        with self._records_changed:
            entry["seq"] = next(self._seq)
            self._records.append(entry)
            del self._records[:-MAX_RECORDS]
            if self._record_fh:
                self._record_fh.write(json.dumps(entry) + "\n")
                self._record_fh.flush()
            self._records_changed.notify_all()

    # -- fault look-up

    def _take_fault(self, server, path, at_accept=False):
        with self._lock:
            table = self._faults.get(server, {})
            key = "*" if at_accept else (path if path in table else "*")
            fault = table.get(key)
            if fault is None or (at_accept
                                 and fault.mode not in ("close", "reset")):
                return None
            return self._consume(fault, lambda: table.pop(key, None))

    def _take_udp_fault(self):
        with self._lock:
            if self._udp_fault is None:
                return None
            return self._consume(self._udp_fault,
                                 lambda: setattr(self, "_udp_fault", None))

    @staticmethod
    def _consume(fault, remove):
        if fault.times is not None:
            fault.times -= 1
            if fault.times <= 0:
                remove()
        return copy.copy(fault)

    # -- TCP

    def _accept_loop(self, sock, server):
        while not self._stop.is_set():
            try:
                ready, _, _ = select.select([sock], [], [], POLL)
                if not ready:
                    continue
                conn, peer = sock.accept()
            except (OSError, ValueError):
                if self._stop.is_set():
                    return
                continue
            with self._lock:
                busy = len(self._conns) >= MAX_CONNECTIONS
                if not busy:
                    self._conns.add(conn)
            if busy:
                conn.close()
                continue
            threading.Thread(target=self._serve_connection,
                             args=(conn, peer, server), daemon=True).start()

    def _serve_connection(self, conn, peer, server):
        try:
            local = conn.getsockname()
            if server == "control":
                self._serve_control(conn, peer)
            else:
                self._serve_provider(conn, peer, local, server)
        except OSError:
            pass
        finally:
            with self._lock:
                self._conns.discard(conn)
            conn.close()

    def _read_request(self, conn):
        """Read one request.  Returns (bytes, Request or None, status) with
        status "ok", "eof", "timeout", "too-large" or "bad"."""
        buf = b""
        deadline = time.monotonic() + self.read_timeout
        while True:
            try:
                req = parse_request(buf)
            except RequestTooLarge:
                return buf, None, "too-large"
            except ValueError:
                return buf, None, "bad"
            if req is not None:
                break
            if len(buf) >= MAX_REQUEST:
                return buf, None, "too-large"
            data = self._recv(conn, deadline, MAX_REQUEST - len(buf))
            if data is None:
                return buf, None, "timeout"
            if not data:
                return buf, None, "eof"
            buf += data
        if req.body and len(buf) == req.length:
            # The client's POST body is followed by a line feed that its
            # Content-Length does not count; take it in so that the record
            # holds it and closing does not reset the connection.  The
            # hand-built form (bare line feeds) always sends it, so it is
            # awaited as long as the rest of the request; an HTTP library
            # sends none, so for it a short look is enough.
            if not req.bare_lf:
                deadline = min(deadline, time.monotonic() + 0.1)
            extra = self._recv(conn, deadline, 64)
            if extra:
                buf += extra
        return buf, req, "ok"

    def _recv(self, conn, deadline, size):
        """One receive bounded by deadline and the stop flag; None on
        time-out, b"" on end of stream or error."""
        while not self._stop.is_set():
            left = deadline - time.monotonic()
            if left <= 0:
                return None
            conn.settimeout(min(left, POLL))
            try:
                return conn.recv(size)
            except socket.timeout:
                continue
            except OSError:
                return b""
        return b""

    def _send(self, conn, data):
        conn.settimeout(self.read_timeout)
        try:
            conn.sendall(data)
        except OSError:
            pass

    def _trickle(self, conn, data, interval_ms):
        """Send data one byte at a time, interval_ms apart; ends early when
        the client goes away or the simulator stops."""
        # Without TCP_NODELAY the kernel would hold single bytes back and
        # send them in bunches.
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        conn.settimeout(self.read_timeout)
        for i in range(len(data)):
            if i and self._stop.wait(interval_ms / 1000.0):
                return
            try:
                conn.sendall(data[i:i + 1])
            except OSError:
                return

    def _finish(self, conn, hold_s=None):
        """End our side and read what the client still sends until it
        closes, so that closing never resets a connection with unread
        bytes.  Returns those bytes."""
        if hold_s is None:
            try:
                conn.shutdown(socket.SHUT_WR)
            except OSError:
                pass
            hold_s = min(self.read_timeout, self.linger)
        deadline = time.monotonic() + hold_s
        extra = b""
        while len(extra) < MAX_REQUEST:
            data = self._recv(conn, deadline, 4096)
            if not data:
                break
            extra += data
        return extra

    def _pause(self, ms):
        if ms > 0:
            self._stop.wait(ms / 1000.0)

    def _serve_provider(self, conn, peer, local, server):
        conn_id = next(self._conn_ids)
        fault = self._take_fault(server, None, at_accept=True)
        if fault:
            self._pause(fault.ms)
            self._record("tcp", server, b"", peer, local, "request", conn_id,
                         form="none", fault=fault.mode)
            self._abort(conn, fault.mode)
            return
        buf, req, status = self._read_request(conn)
        if status != "ok":
            # A connection closed without a byte is the client's
            # connectivity check; a request line that is no request is
            # kept as it came.
            phase = ("request" if status == "bad" or not buf
                     else "incomplete")
            self._record("tcp", server, buf, peer, local, phase, conn_id,
                         form="none" if not buf else "unparsed")
            if status in ("too-large", "bad"):
                self._send(conn, http_response(
                    "HTTP/1.1", 413 if status == "too-large" else 400, b""))
                self._finish(conn)
            return
        params = req.params(self.encoding)
        fault = self._take_fault(server, req.path)
        mode = fault.mode if fault else None
        self._record("tcp", server, buf, peer, local, "request", conn_id,
                     req=req, params=params, fault=mode)
        if fault:
            self._pause(fault.ms)
        if mode in ("close", "reset"):
            self._abort(conn, mode)
            return
        if mode == "silent":
            extra = self._finish(conn, hold_s=fault.hold_ms / 1000.0)
        else:
            answer = self._answer(req, params, peer, fault)
            if mode == "trickle":
                self._trickle(conn, answer, fault.interval_ms)
            else:
                self._send(conn, answer)
            extra = self._finish(conn)
        if extra:
            self._record("tcp", server, extra, peer, local, "after-reply",
                         conn_id, form="unparsed")

    def _abort(self, conn, mode):
        if mode == "reset":
            conn.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER,
                            struct.pack("ii", 1, 0))

    def _answer(self, req, params, peer, fault):
        """The bytes sent back for a request, with a fault applied."""
        mode = fault.mode if fault else None
        if mode == "status":
            return http_response(req.version or "HTTP/1.1", fault.status,
                                 b"%d" % fault.status)
        if mode == "code":
            status, body = 200, fault.code + (fault.text or "")
        elif mode == "empty":
            status, body = 200, ""
        elif mode == "nonnumeric":
            status, body = 200, fault.text or "Service unavailable"
        elif mode == "text":
            status, body = 200, fault.text or ""
        else:
            status, body = self._route(req, params, peer[0])
        data = body if isinstance(body, bytes) else _encode(body,
                                                             self.encoding)
        if req.version is None and status == 200:
            out = data
        else:
            out = http_response(req.version or "HTTP/1.1", status, data)
        if mode == "cut":
            out = out[:fault.bytes]
        return out

    # -- the provider's answers

    def _route(self, req, params, peer_ip):
        path = req.path
        if path == LOGIN_PATH:
            return 200, self._login(params)
        if path == DOMAIN_LIST_PATH:
            return 200, self._domain_list(params)
        if path == SAVE_DOMAIN_LIST_PATH:
            return 200, self._save_domain_list(params)
        if path == GET_IP_PATH:
            return 200, self._get_ip(params, peer_ip)
        if path == UPGRADE_INFO_PATH:
            return 200, self._upgrade_info(params)
        if path == VERSION_PATH:
            with self._lock:
                return 200, format_offer(self._offer)
        if path.startswith(FILES_PATH) and self.files_dir:
            data = self._file(path[len(FILES_PATH):])
            if data is not None:
                return 200, data
        return 404, "Not Found"

    def _file(self, relative):
        """The bytes of a file below --files, or None for a path that
        would leave it or names no file."""
        parts = urllib.parse.unquote(relative).split("/")
        if any(part in ("", ".", "..") or "\\" in part or ":" in part
               for part in parts):
            return None
        path = os.path.join(self.files_dir, *parts)
        try:
            with open(path, "rb") as fh:
                return fh.read()
        except OSError:
            return None

    def _account_key(self, name, account):
        key = account.get("key")
        if key is None:
            key = "000%s-%s" % (self.host, name)
        rand = account.get("randText")
        if rand is None:
            rand = hashlib.md5(name.encode("utf-8")).hexdigest()[:8]
        return key, rand

    def _zone_text(self, account):
        if account.get("zone_text") is not None:
            return account["zone_text"]
        return format_zone_list(account.get("zones", []),
                                bool(account.get("expired")))

    def _login(self, params):
        name, password = params.get("user_name"), params.get("passwd")
        if name is None or password is None:
            return CODE_BAD_REQUEST
        with self._lock:
            account = self._users.get(name)
            if account is None:
                return CODE_UNKNOWN_USER
            if str(account.get("password", "")) != password:
                return CODE_BAD_PASSWORD
            if account.get("disabled"):
                return CODE_DISABLED
            key, rand = self._account_key(name, account)
            return "%skey=%s&randText=%s&%%%s" % (
                CODE_OK, key, rand, self._zone_text(account))

    def _session(self, params, user_param="user_name"):
        """The account named by a request that carries key and randText,
        or the reply code that refuses it."""
        name = params.get(user_param)
        if name is None or "key" not in params or "randText" not in params:
            return None, CODE_BAD_REQUEST
        account = self._users.get(name)
        if account is None:
            return None, CODE_UNKNOWN_USER
        if account.get("disabled"):
            return None, CODE_DISABLED
        if self._account_key(name, account) != (params["key"],
                                                 params["randText"]):
            return None, CODE_BAD_SESSION
        return account, CODE_OK

    def _domain_list(self, params):
        with self._lock:
            account, code = self._session(params)
            return code if account is None else code + self._zone_text(account)

    def _save_domain_list(self, params):
        with self._lock:
            account, code = self._session(params)
            if account is None:
                return code
            if "domain" not in params:
                return CODE_BAD_REQUEST
            saved = parse_zone_list(params["domain"])
            if account.get("zone_text") is not None:
                account["zones"] = parse_zone_list(account.pop("zone_text"))
            merge_saved_zones(account.setdefault("zones", []), saved)
            self._saved.append({"time": time.time(),
                                "user": params["user_name"],
                                "domain": params["domain"],
                                "zones": saved})
            return CODE_OK

    def _get_ip(self, params, peer_ip):
        with self._lock:
            account, code = self._session(params)
            if account is None:
                return code
            return code + (self._address if self._address is not None
                           else peer_ip)

    def _upgrade_info(self, params):
        with self._lock:
            account, code = self._session(params, "userName")
            if account is None:
                return code
            return code + format_upgrade(self._upgrade)

    # -- UDP

    def _udp_loop(self, sock):
        sock.settimeout(POLL)
        while not self._stop.is_set():
            try:
                data, peer = sock.recvfrom(65535)
            except socket.timeout:
                continue
            except OSError:
                if self._stop.is_set():
                    return
                continue
            fields = data.split(b"\0", 1)[0].split(b";")
            params = dict(zip(("user_name", "key", "randText"),
                              (_decode(f, self.encoding) for f in fields)))
            fault = self._take_udp_fault()
            self._record("udp", "udp", data, peer, sock.getsockname(),
                         "datagram", form="datagram", params=params,
                         fault=fault.mode if fault else None)
            with self._lock:
                address = self._address if self._address is not None \
                    else peer[0]
            reply = _encode(address, self.encoding)
            if fault is None:
                self._udp_send(sock, reply, peer)
                continue
            if fault.mode == "silent":
                continue
            if fault.mode == "empty":
                reply = b""
            elif fault.mode == "text":
                reply = _encode(fault.text or "not-an-address", self.encoding)
            timer = threading.Timer(fault.ms / 1000.0, self._udp_send,
                                    (sock, reply, peer,
                                     self._udp_source(fault)))
            timer.daemon = True
            timer.start()

    def _udp_source(self, fault):
        """Where a faulty answer comes from: (host, port, port_given) of a
        second socket, or None for the service's own socket."""
        if fault.mode == "other_port":
            return self.host, 0, False
        if fault.mode == "other_address":
            host = fault.source_host or _neighbour_address(self.host)
            if fault.source_port is None:
                return host, self.udp_port, False
            return host, fault.source_port, True
        return None

    def _udp_send(self, sock, data, peer, source=None):
        if self._stop.is_set():
            return
        try:
            if source is None:
                sock.sendto(data, peer)
                return
            host, port, port_given = source
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as other:
                other.settimeout(self.read_timeout)
                try:
                    other.bind((host, port))
                except OSError:
                    # Another simulator may hold that port on the other
                    # address; the address alone still differs.
                    if port_given:
                        raise
                    other.bind((host, 0))
                other.sendto(data, peer)
        except OSError:
            pass

    # -- control channel

    def _serve_control(self, conn, peer):
        buf, req, status = self._read_request(conn)
        if status != "ok":
            if status != "eof":
                self._send(conn, http_response("HTTP/1.1", 400, b""))
                self._finish(conn)
            return
        try:
            code, answer = self._control(req)
        except (ValueError, OSError) as exc:
            code, answer = 400, {"error": str(exc)}
        body = json.dumps(answer).encode("utf-8")
        self._send(conn, http_response("HTTP/1.1", code, body,
                                       "application/json"))
        self._finish(conn)
        if answer.get("stopping"):
            self._stop.set()
            threading.Thread(target=self.stop, daemon=True).start()

    def _control(self, req):
        path, method = req.path, req.method
        query = {k: v[-1] for k, v in
                 urllib.parse.parse_qs(req.query).items()}

        def body():
            text = req.body.decode("utf-8").strip()
            try:
                return json.loads(text) if text else {}
            except json.JSONDecodeError as exc:
                raise ValueError("bad JSON: %s" % exc) from None

        if method == "GET":
            if path == "/control/state":
                return 200, self.state()
            if path == "/control/records":
                since = int(query.get("since", 0))
                found = self.wait_records(
                    int(query.get("min", 0)),
                    min(int(query.get("wait_ms", 0)), 30000) / 1000.0, since)
                return 200, {"records": found}
            if path == "/control/saved":
                return 200, {"saved": self.saved()}
            if path == "/control/accounts":
                return 200, self.accounts()
            if path == "/control/router" and self.router is not None:
                return 200, self.router.state()
        elif method == "POST":
            if path == "/control/state":
                self.apply_state(body())
                return 200, {"ok": True}
            if path == "/control/address":
                raw = req.body.decode("utf-8").strip()
                if raw.startswith("{"):
                    address = body().get("address")
                else:
                    address = raw or None
                self.set_address(address)
                return 200, {"ok": True, "address": address}
            if path == "/control/fault":
                self.set_fault(body())
                return 200, {"ok": True, "faults": self.faults()}
            if path == "/control/fault/clear":
                self.clear_faults()
                return 200, {"ok": True}
            if path == "/control/records/clear":
                self.clear_records()
                return 200, {"ok": True}
            if path == "/control/accounts":
                self.set_accounts(body())
                return 200, {"ok": True}
            if path == "/control/offer":
                self.set_offer(body())
                return 200, {"ok": True}
            if path == "/control/upgrade":
                self.set_upgrade(body())
                return 200, {"ok": True}
            if path == "/control/reload":
                self.reload_state()
                return 200, {"ok": True}
            if path == "/control/shutdown":
                return 200, {"ok": True, "stopping": True}
            if path == "/control/router" and self.router is not None:
                return 200, self.router.apply(body())
        return 404, {"error": "no such control endpoint: %s %s"
                     % (method, path)}


def http_response(version, status, body, content_type="text/html"):
    try:
        reason = http.HTTPStatus(status).phrase
    except ValueError:
        reason = "Status"
    head = ("%s %d %s\r\nContent-Type: %s\r\nContent-Length: %d\r\n"
            "Connection: close\r\n\r\n"
            % (version, status, reason, content_type, len(body)))
    return head.encode("ascii") + body


# ---------------------------------------------------------------- command line

def _json_arg(text):
    try:
        return json.loads(text)
    except json.JSONDecodeError as exc:
        raise argparse.ArgumentTypeError("bad JSON: %s" % exc) from None


def build_parser():
    parser = argparse.ArgumentParser(
        prog="provider_sim.py",
        description="Play the provider's login server (TCP), address "
                    "service (UDP) and update service on a loopback "
                    "address.",
        epilog=USAGE_EPILOG,
        formatter_class=argparse.RawDescriptionHelpFormatter)
    add = parser.add_argument
    add("--host", default="127.0.0.1",
        help="loopback address to bind (default 127.0.0.1)")
    add("--port", type=int, default=DEFAULT_PORT,
        help="TCP login port and UDP address port (default 5353; 0 picks "
             "a free one)")
    add("--update-port", type=int, default=None,
        help="also serve the update service on this port (0 picks one)")
    add("--control-port", type=int, default=None,
        help="HTTP control channel port (0 picks one; default off)")
    add("--accounts", metavar="FILE", help="account table (JSON)")
    add("--state", metavar="FILE",
        help="state document (JSON), read at start and on SIGHUP")
    add("--address", help="public address to report (default: the "
                          "requester's own address)")
    add("--fault", type=_json_arg, action="append", default=[],
        metavar="JSON", help="a fault switch, e.g. "
        '\'{"server":"login","path":"*","mode":"delay","ms":3000}\' '
        "(repeatable)")
    add("--offer", type=_json_arg, metavar="JSON",
        help='update offer, e.g. \'{"CurrentVersion":"2.1.0",'
             '"URL":"/files/a.exe"}\'')
    add("--upgrade", type=_json_arg, metavar="JSON",
        help='upgrade information, e.g. \'{"version":"4.3.0",'
             '"base":"http://127.0.0.1/u","items":[["a.exe",100]]}\'')
    add("--files", metavar="DIR",
        help='serve the files below DIR as "/files/<path>"')
    add("--record", metavar="FILE", help="append every request as a JSON "
                                         "line to FILE")
    add("--ready-file", metavar="PATH", help="written (JSON with the ports) "
                                             "once every socket is bound")
    add("--read-timeout", type=float, default=5.0,
        help="seconds a client may take to send its request (default 5)")
    add("--gateway", metavar="ADDRESS",
        help="also play a home router's LAN side on this private address "
             "(NAT-PMP, PCP ANNOUNCE, SSDP, UPnP IGD); for network "
             "namespaces made for a test")
    add("--router-wan", metavar="ADDRESS", default="11.1.0.2",
        help="the router's external address (default 11.1.0.2)")
    add("--no-natpmp", action="store_true",
        help="the router stays silent on NAT-PMP: only UPnP answers")
    add("--control-host", metavar="ADDRESS",
        help="address of the control channel: --host (the default) or the "
             "--gateway address")
    add("--encoding", default="latin-1",
        help="code page of the texts on the wire (default latin-1, "
             "byte-transparent; cp936 for a Chinese system)")
    return parser


def main(argv=None):
    args = build_parser().parse_args(argv)
    try:
        accounts = {}
        if args.accounts:
            with open(args.accounts, encoding="utf-8") as fh:
                accounts = json.load(fh)
        router = None
        if args.gateway:
            router = router_sim.RouterSim(
                args.gateway, args.router_wan, natpmp=not args.no_natpmp,
                log=lambda text: print("router: %s" % text, flush=True))
        sim = ProviderSim(
            host=args.host, port=args.port, update_port=args.update_port,
            control_port=args.control_port, accounts=accounts,
            address=args.address, offer=args.offer, upgrade=args.upgrade,
            faults=args.fault, record_file=args.record,
            ready_file=args.ready_file, state_file=args.state,
            read_timeout=args.read_timeout, encoding=args.encoding,
            files_dir=args.files, router=router,
            control_host=args.control_host)
        sim.start()
    except (OSError, ValueError) as exc:
        print("provider_sim: %s" % exc, file=sys.stderr)
        return 1

    def on_stop(signum, frame):
        sim._stop.set()

    def on_hup(signum, frame):
        try:
            sim.reload_state()
        except (OSError, ValueError) as exc:
            print("provider_sim: reload failed: %s" % exc, file=sys.stderr)

    signal.signal(signal.SIGTERM, on_stop)
    signal.signal(signal.SIGINT, on_stop)
    if hasattr(signal, "SIGHUP"):
        signal.signal(signal.SIGHUP, on_hup)
    while not sim.wait(0.5):
        pass
    sim.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
