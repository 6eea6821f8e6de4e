"""A scripted home router for the router watcher's tests: the LAN side of a
gateway that speaks NAT-PMP, PCP announcements and UPnP IGD, served on the
gateway's own address (inside a network namespace the test made up).

* NAT-PMP (RFC 6886) on UDP 5351: the external-address request (the two
  bytes 00 00) gets the 12-byte answer: version 0, opcode 128, result 0,
  seconds since the router's epoch, the WAN address.  Other version-0
  opcodes get the 8-byte "unsupported opcode" refusal (result 5); PCP
  requests (version 2), answers and anything else are not answered.  With
  NAT-PMP switched off the port stays silent, as on a router that speaks
  UPnP only.
* Announcements: on a change of the WAN address the same 12 bytes go from
  the gateway's port 5351 to 224.0.0.1:5350 on the LAN interface (a real
  router sends each once); on request a PCP ANNOUNCE (RFC 6887: version 2,
  opcode 0 with the response bit, result 0, the epoch; 24 bytes), which
  carries no address.  The epoch restarts with every new WAN address.
* SSDP on 239.255.255.250:1900 (joined on the LAN interface): an M-SEARCH
  for ssdp:all, upnp:rootdevice, the InternetGatewayDevice:1, WANDevice:1,
  WANConnectionDevice:1 or WANIPConnection:1 type is answered with a
  LOCATION on the router's HTTP server.
* HTTP on the gateway address (a port of its own): the device description
  (InternetGatewayDevice -> WANDevice with WANCommonInterfaceConfig ->
  WANConnectionDevice -> WANIPConnection) and SOAP on the connection's
  control address: GetExternalIPAddress, GetStatusInfo ("Connected")
  and GetConnectionTypeInfo ("IP_Routed"); other actions get UPnP error 401.

Everything the LAN sends is read with a bound on its size and time.  The
router counts what it answered, so that a test can wait for a client's
question instead of sleeping.
"""

import ipaddress
import re
import socket
import struct
import threading
import time

NATPMP_PORT = 5351
ANNOUNCE_PORT = 5350
ALL_HOSTS = "224.0.0.1"
SSDP_GROUP = "239.255.255.250"
SSDP_PORT = 1900

MAX_DATAGRAM = 1100  # PCP's largest message; NAT-PMP's are far smaller
MAX_HTTP_HEAD = 8 * 1024
MAX_HTTP_BODY = 16 * 1024
HTTP_TIMEOUT = 5.0
MAX_HTTP_CONNECTIONS = 16
POLL = 0.25

NATPMP_RESULT_SUCCESS = 0
NATPMP_RESULT_UNSUPPORTED_OPCODE = 5
PCP_VERSION = 2
PCP_RESPONSE_BIT = 0x80

DEVICE_PATH = "/rootDesc.xml"
CONTROL_PATH = "/ctl/IPConn"
COMMON_CONTROL_PATH = "/ctl/CmnIfCfg"
WAN_IP_CONNECTION = "urn:schemas-upnp-org:service:WANIPConnection:1"
COMMON_INTERFACE = "urn:schemas-upnp-org:service:WANCommonInterfaceConfig:1"
IGD_DEVICE = "urn:schemas-upnp-org:device:InternetGatewayDevice:1"
SEARCH_TARGETS = ("ssdp:all", "upnp:rootdevice", IGD_DEVICE,
                  "urn:schemas-upnp-org:device:WANDevice:1",
                  "urn:schemas-upnp-org:device:WANConnectionDevice:1",
                  WAN_IP_CONNECTION)
UUID = "3f6c1a52-9b0e-4d7a-8e21-5c4b3a291d07"

DEVICE_DESCRIPTION = """<?xml version="1.0"?>
<root xmlns="urn:schemas-upnp-org:device-1-0">
<specVersion><major>1</major><minor>0</minor></specVersion>
<device>
<deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:1</deviceType>
<friendlyName>Test router</friendlyName>
<manufacturer>QuorinFree tests</manufacturer>
<modelName>router_sim</modelName>
<UDN>uuid:{uuid}</UDN>
<serviceList/>
<deviceList>
<device>
<deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType>
<friendlyName>WAN device</friendlyName>
<UDN>uuid:{uuid}-1</UDN>
<serviceList>
<service>
<serviceType>{common}</serviceType>
<serviceId>urn:upnp-org:serviceId:WANCommonIFC1</serviceId>
<SCPDURL>/WANCfg.xml</SCPDURL>
<controlURL>{common_control}</controlURL>
<eventSubURL>/evt/CmnIfCfg</eventSubURL>
</service>
</serviceList>
<deviceList>
<device>
<deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1</deviceType>
<friendlyName>WAN connection</friendlyName>
<UDN>uuid:{uuid}-2</UDN>
<serviceList>
<service>
<serviceType>{connection}</serviceType>
<serviceId>urn:upnp-org:serviceId:WANIPConn1</serviceId>
<SCPDURL>/WANIPCn.xml</SCPDURL>
<controlURL>{control}</controlURL>
<eventSubURL>/evt/IPConn</eventSubURL>
</service>
</serviceList>
</device>
</deviceList>
</device>
</deviceList>
<presentationURL>http://{host}/</presentationURL>
</device>
</root>
"""

SOAP_ENVELOPE = """<?xml version="1.0"?>
<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/" \
s:encodingStyle="http://schemas.xmlsoap.org/soap/encoding/"><s:Body>\
{body}</s:Body></s:Envelope>"""

SOAP_FAULT = """<s:Fault><faultcode>s:Client</faultcode>\
<faultstring>UPnPError</faultstring><detail>\
<UPnPError xmlns="urn:schemas-upnp-org:control-1-0">\
<errorCode>{code}</errorCode><errorDescription>{text}</errorDescription>\
</UPnPError></detail></s:Fault>"""

_SOAP_ACTION = re.compile(r'^"?([^"#]+)#([A-Za-z]+)"?$')


def external_address_answer(epoch_seconds, address):
    """The NAT-PMP answer (and announcement) naming `address`."""
    return struct.pack("!BBHI4s", 0, 128, NATPMP_RESULT_SUCCESS,
                       epoch_seconds & 0xFFFFFFFF,
                       socket.inet_aton(address))


def pcp_announce(epoch_seconds):
    """A PCP ANNOUNCE as a server multicasts it: the 24-byte response
    header with opcode 0, result 0, lifetime 0 and the epoch."""
    return struct.pack("!BBBBII12x", PCP_VERSION, PCP_RESPONSE_BIT | 0, 0, 0,
                       0, epoch_seconds & 0xFFFFFFFF)


def ssdp_search_target(datagram):
    """The ST of an M-SEARCH request, or None when it is none."""
    try:
        text = datagram.decode("ascii")
    except UnicodeDecodeError:
        return None
    lines = text.split("\r\n")
    if not lines or not lines[0].upper().startswith("M-SEARCH * HTTP/1.1"):
        return None
    for line in lines[1:]:
        name, sep, value = line.partition(":")
        if sep and name.strip().upper() == "ST":
            return value.strip()
    return None


class RouterSim:
    """The router's LAN side on `gateway`, reporting `wan` as its external
    address.  start() binds every socket; stop() ends the threads.  Every
    setter is safe to call while it runs."""

    def __init__(self, gateway, wan, natpmp=True, log=None):
        gateway_ip = ipaddress.IPv4Address(gateway)
        # A home router's LAN address; the tests play it in a namespace of
        # their own, never on a network that others share.
        if not gateway_ip.is_private or gateway_ip.is_loopback:
            raise ValueError("the gateway must be a private LAN address, "
                             "not %r" % gateway)
        self.gateway = gateway
        self.http_port = None
        self._log = log or (lambda text: None)
        self._lock = threading.Lock()
        self._stop = threading.Event()
        self._wan = self._checked_address(wan)
        self._natpmp = bool(natpmp)
        self._epoch_start = time.monotonic()
        self._counts = {"natpmp_answers": 0, "ssdp_answers": 0,
                        "descriptions": 0, "soap": 0,
                        "natpmp_announcements": 0, "pcp_announcements": 0}
        self._sockets = []
        self._threads = []
        self._connections = threading.BoundedSemaphore(MAX_HTTP_CONNECTIONS)

    @staticmethod
    def _checked_address(address):
        if not isinstance(address, str):
            raise ValueError("a WAN address is dotted text")
        return str(ipaddress.IPv4Address(address))

    # -- life cycle

    def start(self):
        try:
            self._natpmp_sock = self._udp((self.gateway, NATPMP_PORT))
            self._natpmp_sock.setsockopt(socket.IPPROTO_IP,
                                         socket.IP_MULTICAST_IF,
                                         socket.inet_aton(self.gateway))
            self._natpmp_sock.setsockopt(socket.IPPROTO_IP,
                                         socket.IP_MULTICAST_TTL, 1)
            self._ssdp_sock = self._udp(("", SSDP_PORT), reuse=True)
            self._ssdp_sock.setsockopt(
                socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP,
                socket.inet_aton(SSDP_GROUP) + socket.inet_aton(self.gateway))
            self._http_sock = socket.socket(socket.AF_INET,
                                            socket.SOCK_STREAM)
            self._sockets.append(self._http_sock)
            self._http_sock.setsockopt(socket.SOL_SOCKET,
                                       socket.SO_REUSEADDR, 1)
            self._http_sock.bind((self.gateway, 0))
            self._http_sock.listen(16)
            self._http_sock.settimeout(POLL)
            self.http_port = self._http_sock.getsockname()[1]
        except OSError:
            self.stop()
            raise
        for target in (self._natpmp_loop, self._ssdp_loop, self._http_loop):
            thread = threading.Thread(target=target, daemon=True)
            thread.start()
            self._threads.append(thread)
        return self

    def _udp(self, address, reuse=False):
        sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self._sockets.append(sock)
        if reuse:
            sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        sock.bind(address)
        sock.settimeout(POLL)
        return sock

    def stop(self):
        self._stop.set()
        for thread in self._threads:
            thread.join(timeout=2.0)
        for sock in self._sockets:
            sock.close()

    # -- control

    def set_natpmp(self, enabled):
        with self._lock:
            self._natpmp = bool(enabled)

    def set_wan(self, address, announce=("natpmp",)):
        """A new WAN address: the epoch restarts, and the router announces
        it as `announce` says ("natpmp" and/or "pcp"; none for a change that
        the LAN hears of only when it asks)."""
        address = self._checked_address(address)
        with self._lock:
            self._wan = address
            self._epoch_start = time.monotonic()
        self.announce(announce)

    def announce(self, kinds):
        for kind in kinds:
            if kind not in ("natpmp", "pcp"):
                raise ValueError("announcements are \"natpmp\" or \"pcp\", "
                                 "not %r" % (kind,))
        for kind in kinds:
            with self._lock:
                if kind == "natpmp" and not self._natpmp:
                    continue  # a router without NAT-PMP announces nothing
                epoch = self._epoch_seconds()
                data = (external_address_answer(epoch, self._wan)
                        if kind == "natpmp" else pcp_announce(epoch))
                self._counts[kind + "_announcements"] += 1
            self._natpmp_sock.sendto(data, (ALL_HOSTS, ANNOUNCE_PORT))
            self._log("announced %s" % kind)

    def apply(self, change):
        """A control document: {"natpmp": bool, "wan": "a.b.c.d",
        "announce": ["natpmp", "pcp"]}, each key optional.  A new "wan"
        announces over NAT-PMP unless "announce" says otherwise."""
        if not isinstance(change, dict):
            raise ValueError("the router's control document is an object")
        unknown = set(change) - {"natpmp", "wan", "announce"}
        if unknown:
            raise ValueError("unknown router keys: %s" % sorted(unknown))
        announce = change.get("announce")
        if announce is not None and not isinstance(announce, list):
            raise ValueError("\"announce\" is a list")
        if "natpmp" in change and not isinstance(change["natpmp"], bool):
            raise ValueError("\"natpmp\" is true or false")
        if "natpmp" in change:
            self.set_natpmp(change["natpmp"])
        if "wan" in change:
            self.set_wan(change["wan"], ["natpmp"] if announce is None
                         else announce)
        elif announce:
            self.announce(announce)
        return self.state()

    def state(self):
        with self._lock:
            return {"gateway": self.gateway, "wan": self._wan,
                    "natpmp": self._natpmp, "http_port": self.http_port,
                    "epoch": self._epoch_seconds(),
                    "counts": dict(self._counts)}

    def _epoch_seconds(self):
        return int(time.monotonic() - self._epoch_start)

    # -- NAT-PMP

    def _natpmp_loop(self):
        while not self._stop.is_set():
            try:
                data, peer = self._natpmp_sock.recvfrom(MAX_DATAGRAM)
            except socket.timeout:
                continue
            except OSError:
                return
            answer = self._natpmp_answer(data)
            if answer is not None:
                try:
                    self._natpmp_sock.sendto(answer, peer)
                except OSError:
                    pass

    def _natpmp_answer(self, data):
        with self._lock:
            if not self._natpmp or len(data) < 2 or data[0] != 0:
                return None
            epoch = self._epoch_seconds()
            if data[1] == 0:
                if len(data) != 2:
                    return None
                self._counts["natpmp_answers"] += 1
                return external_address_answer(epoch, self._wan)
            if data[1] >= 128:
                return None  # an answer is never answered
            return struct.pack("!BBHI", 0, 128 + data[1],
                               NATPMP_RESULT_UNSUPPORTED_OPCODE, epoch)

    # -- SSDP

    def _ssdp_loop(self):
        while not self._stop.is_set():
            try:
                data, peer = self._ssdp_sock.recvfrom(MAX_DATAGRAM)
            except socket.timeout:
                continue
            except OSError:
                return
            target = ssdp_search_target(data)
            if target not in SEARCH_TARGETS:
                continue
            answered = IGD_DEVICE if target == "ssdp:all" else target
            usn = "uuid:%s::%s" % (UUID, answered)
            reply = ("HTTP/1.1 200 OK\r\n"
                     "CACHE-CONTROL: max-age=120\r\n"
                     "ST: %s\r\n"
                     "USN: %s\r\n"
                     "EXT:\r\n"
                     "SERVER: Linux UPnP/1.1 router_sim/1.0\r\n"
                     "LOCATION: http://%s:%d%s\r\n"
                     "\r\n" % (answered, usn, self.gateway, self.http_port,
                               DEVICE_PATH))
            try:
                self._ssdp_sock.sendto(reply.encode("ascii"), peer)
            except OSError:
                continue
            with self._lock:
                self._counts["ssdp_answers"] += 1

    # -- HTTP: the device description and SOAP

    def _http_loop(self):
        while not self._stop.is_set():
            try:
                conn, _ = self._http_sock.accept()
            except socket.timeout:
                continue
            except OSError:
                return
            if not self._connections.acquire(blocking=False):
                conn.close()  # too many at once: a client that misbehaves
                continue
            threading.Thread(target=self._serve, args=(conn,),
                             daemon=True).start()

    def _serve(self, conn):
        try:
            conn.settimeout(HTTP_TIMEOUT)
            request = self._read_request(conn)
            status, content_type, body = (
                (400, "text/plain", b"bad request") if request is None
                else self._answer(*request))
            head = ("HTTP/1.1 %d %s\r\nContent-Type: %s\r\n"
                    "Content-Length: %d\r\nServer: Linux UPnP/1.1 "
                    "router_sim/1.0\r\nConnection: close\r\n\r\n"
                    % (status, "OK" if status == 200 else "Error",
                       content_type, len(body)))
            conn.sendall(head.encode("ascii") + body)
        except OSError:
            pass
        finally:
            conn.close()
            self._connections.release()

    @staticmethod
    def _read_request(conn):
        """(method, path, headers, body) of one request, or None when it is
        malformed, too large or too slow (the socket's time-out)."""
        data = b""
        deadline = time.monotonic() + HTTP_TIMEOUT
        while b"\r\n\r\n" not in data:
            if len(data) > MAX_HTTP_HEAD or time.monotonic() > deadline:
                return None
            chunk = conn.recv(4096)
            if not chunk:
                return None
            data += chunk
        head, _, body = data.partition(b"\r\n\r\n")
        try:
            lines = head.decode("ascii").split("\r\n")
        except UnicodeDecodeError:
            return None
        parts = lines[0].split(" ")
        if len(parts) != 3:
            return None
        headers = {}
        for line in lines[1:]:
            name, sep, value = line.partition(":")
            if sep:
                headers[name.strip().lower()] = value.strip()
        try:
            length = int(headers.get("content-length", "0"))
        except ValueError:
            return None
        if length < 0 or length > MAX_HTTP_BODY:
            return None
        while len(body) < length:
            if time.monotonic() > deadline:
                return None
            chunk = conn.recv(min(4096, length - len(body)))
            if not chunk:
                return None
            body += chunk
        return parts[0], parts[1], headers, body[:length]

    def _answer(self, method, path, headers, body):
        if method == "GET" and path == DEVICE_PATH:
            with self._lock:
                self._counts["descriptions"] += 1
            text = DEVICE_DESCRIPTION.format(
                uuid=UUID, common=COMMON_INTERFACE,
                connection=WAN_IP_CONNECTION,
                control=CONTROL_PATH, common_control=COMMON_CONTROL_PATH,
                host="%s:%d" % (self.gateway, self.http_port))
            return 200, 'text/xml; charset="utf-8"', text.encode("ascii")
        if method == "POST" and path in (CONTROL_PATH, COMMON_CONTROL_PATH):
            match = _SOAP_ACTION.match(headers.get("soapaction", ""))
            if match is None:
                return self._soap_fault(401, "Invalid Action")
            return self._soap(path, match.group(1), match.group(2))
        return 404, "text/plain", b"not found"

    def _soap(self, path, service, action):
        with self._lock:
            self._counts["soap"] += 1
            wan = self._wan
        if path == CONTROL_PATH and service == WAN_IP_CONNECTION:
            values = {
                "GetExternalIPAddress": {"NewExternalIPAddress": wan},
                "GetStatusInfo": {"NewConnectionStatus": "Connected",
                                         "NewLastConnectionError":
                                             "ERROR_NONE",
                                         "NewUptime": str(
                                             self._epoch_seconds())},
                "GetConnectionTypeInfo": {
                    "NewConnectionType": "IP_Routed",
                    "NewPossibleConnectionTypes": "IP_Routed"},
            }.get(action)
        elif path == COMMON_CONTROL_PATH and service == COMMON_INTERFACE:
            values = {"GetCommonLinkProperties": {
                "NewWANAccessType": "Ethernet",
                "NewLayer1UpstreamMaxBitRate": "100000000",
                "NewLayer1DownstreamMaxBitRate": "100000000",
                "NewPhysicalLinkStatus": "Up"}}.get(action)
        else:
            values = None
        if values is None:
            return self._soap_fault(401, "Invalid Action")
        arguments = "".join("<%s>%s</%s>" % (name, value, name)
                            for name, value in values.items())
        body = '<u:%sResponse xmlns:u="%s">%s</u:%sResponse>' % (
            action, service, arguments, action)
        return (200, 'text/xml; charset="utf-8"',
                SOAP_ENVELOPE.format(body=body).encode("ascii"))

    @staticmethod
    def _soap_fault(code, text):
        body = SOAP_FAULT.format(code=code, text=text)
        return (500, 'text/xml; charset="utf-8"',
                SOAP_ENVELOPE.format(body=body).encode("ascii"))
