"""Tests of the provider simulator, driven over loopback sockets with
requests built byte for byte the way the client builds them."""

import base64
import http.client
import json
import os
import signal
import socket
import subprocess
import sys
import tempfile
import time
import types
import unittest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)),
                     os.pardir, os.pardir, "tools")
sys.path.insert(0, TOOLS)
import provider_sim  # noqa: E402

# Seconds any wait of these tests may take.  Every wait ends as soon as its
# condition holds, so the room costs nothing on an idle machine and keeps a
# loaded one (other builds and tests on the same cores) from failing them.
WAIT = 30.0

KEY, RAND = "010127.0.0.1-a", "R1"
ALICE_SESSION = "user_name=alice&key=%s&randText=%s&" % (KEY, RAND)
ZONE = "example.net,x,y|www,1.2.3.4,z,A|ftp,1.2.3.4,z"
ACCOUNTS = {"users": {
    "alice": {"password": "pw", "key": KEY, "randText": RAND,
              "zones": [{"name": "example.net", "text2": "x", "text3": "y",
                         "hosts": [{"label": "www", "address": "1.2.3.4",
                                    "text3": "z", "kind": "A"},
                                   {"label": "ftp", "address": "1.2.3.4",
                                    "text3": "z"}]}]},
    "bob": {"password": "pw", "key": "000x", "randText": "R2",
            "expired": True,
            "zones": [{"name": "b.org", "hosts": [{"label": "www"}]}]},
    "carol": {"password": "pw", "disabled": True},
    "eve": {"password": "a&b c+d", "key": "K", "randText": "R",
            "zone_text": "raw,1,2|h,5.5.5.5,t,X"},
}}


def get_raw(path, query):
    """The client's hand-built GET: two blanks, no version, one LF."""
    return ("GET  %s?%s\n" % (path, query)).encode("latin-1")


def post(path, params, space=""):
    """The client's HTTP/1.0 POST: bare LF line ends, a Content-Length
    without the final LF that follows the body."""
    return ("POST %s HTTP/1.0\nContent-Type:application/x-www-form-urlencoded"
            "\nContent-Length:%s%d\n\n%s\n"
            % (path, space, len(params), params)).encode("latin-1")


def exchange(sim, data, port=None, timeout=WAIT):
    """Send one request and read until the server closes."""
    with socket.create_connection((sim.host, port or sim.port),
                                  timeout=timeout) as sock:
        sock.sendall(data)
        out = b""
        while True:
            chunk = sock.recv(4096)
            if not chunk:
                return out
            out += chunk


def split_response(raw):
    head, _, body = raw.partition(b"\r\n\r\n")
    lines = head.decode("latin-1").split("\r\n")
    headers = dict(line.split(": ", 1) for line in lines[1:])
    return lines[0], headers, body


class SimTestCase(unittest.TestCase):
    HOST = "127.0.0.1"
    OPTIONS = {}
    READ_TIMEOUT = 2.0

    @classmethod
    def setUpClass(cls):
        cls.sim = provider_sim.ProviderSim(
            host=cls.HOST, port=0, accounts=ACCOUNTS,
            read_timeout=cls.READ_TIMEOUT, **cls.OPTIONS).start()

    @classmethod
    def tearDownClass(cls):
        cls.sim.stop()

    def setUp(self):
        self.sim.clear_faults()
        self.sim.set_accounts(ACCOUNTS)
        self.sim.set_address(None)

    def last_seq(self):
        records = self.sim.records()
        return records[-1]["seq"] if records else 0

    def ask(self, path, query):
        return exchange(self.sim, get_raw(path, query))


class RequestFormsTest(SimTestCase):
    HOST = "127.0.0.61"

    def test_versionless_get_gets_bare_text_without_status_line(self):
        reply = self.ask(provider_sim.LOGIN_PATH,
                         "user_name=alice&passwd=pw&agent=windows&")
        self.assertEqual(reply, ("00key=%s&randText=%s&%%%s"
                                 % (KEY, RAND, ZONE)).encode())

    def test_post_gets_http10_status_line_and_headers(self):
        for space in ("", " "):  # the client writes no blank; accept both
            raw = exchange(self.sim, post(provider_sim.SAVE_DOMAIN_LIST_PATH,
                                          ALICE_SESSION + "domain=" + ZONE
                                          + "&", space))
            status, headers, body = split_response(raw)
            self.assertEqual(status, "HTTP/1.0 200 OK")
            self.assertEqual(body, b"00")
            self.assertEqual(headers["Content-Length"], "2")

    def test_library_get_gets_http11_response(self):
        request = ("GET %s?user_name=alice&passwd=pw&agent=windows& HTTP/1.1"
                   "\r\nAccept: */*\r\nUser-Agent:  Mozilla/4.0 (compatible; "
                   "MSIE 5.00; Windows 98)\r\nHost:   %s\r\n\r\n"
                   % (provider_sim.LOGIN_PATH, self.HOST)).encode()
        status, headers, body = split_response(exchange(self.sim, request))
        self.assertEqual(status, "HTTP/1.1 200 OK")
        self.assertEqual(headers["Connection"], "close")
        self.assertEqual(int(headers["Content-Length"]), len(body))
        self.assertTrue(body.startswith(b"00key=" + KEY.encode()))

    def test_unknown_path_is_404_in_every_form(self):
        self.assertTrue(self.ask("/nothing.php", "a=1&").startswith(
            b"HTTP/1.1 404 "))
        self.assertTrue(exchange(self.sim, post("/nothing.php", "a=1&"))
                        .startswith(b"HTTP/1.0 404 "))


class LoginAndAccountRequestsTest(SimTestCase):
    HOST = "127.0.0.62"

    def login(self, user, password):
        return self.ask(provider_sim.LOGIN_PATH,
                        "user_name=%s&passwd=%s&agent=windows&"
                        % (user, password))

    def test_login_reply_codes(self):
        self.assertEqual(self.login("alice", "bad"), b"02")
        self.assertEqual(self.login("nobody", "pw"), b"01")
        self.assertEqual(self.login("carol", "pw"), b"03")
        self.assertEqual(self.ask(provider_sim.LOGIN_PATH, "user_name=alice&"),
                         b"99")
        # An expired account gets the "expired" host at the end of each zone.
        self.assertEqual(self.login("bob", "pw"),
                         b"00key=000x&randText=R2&%b.org,,|www,,|"
                         b"expired,0.0.0.0,")
        # A raw zone text is sent as it stands.
        self.assertTrue(self.login("eve", "a%26b%20c+d")
                        .endswith(b"%raw,1,2|h,5.5.5.5,t,X"))

    def test_percent_decoding_keeps_plus(self):
        self.assertEqual(self.login("eve", "a%26b%20c%20d"), b"02")
        self.assertEqual(self.login("eve", "a%26b%20c%2bd")[:2], b"00")

    def test_session_is_checked_on_every_account_request(self):
        path = provider_sim.DOMAIN_LIST_PATH
        self.assertEqual(self.ask(path, ALICE_SESSION), ("00" + ZONE).encode())
        self.assertEqual(self.ask(path, "user_name=alice&key=x&randText=R1&"),
                         b"04")
        self.assertEqual(self.ask(path, "user_name=zed&key=x&randText=R1&"),
                         b"01")
        self.assertEqual(self.ask(path, "user_name=alice&key=%s&" % KEY),
                         b"99")
        # The upgrade request names the user "userName", not "user_name".
        self.assertEqual(self.ask(provider_sim.UPGRADE_INFO_PATH,
                                  "userVersion=ver4.2.0&" + ALICE_SESSION),
                         b"99")

    def test_saved_records_come_back_in_the_domain_list(self):
        save = ("#example.net,x,y|www,9.9.9.9,z,A|ftp,9.9.9.9,z,"
                "#new.org,a,b|mail,9.9.9.9,q,M")
        raw = exchange(self.sim, post(provider_sim.SAVE_DOMAIN_LIST_PATH,
                                      ALICE_SESSION + "domain=" + save + "&"))
        self.assertEqual(split_response(raw)[2], b"00")
        self.assertEqual(
            self.ask(provider_sim.DOMAIN_LIST_PATH, ALICE_SESSION),
            b"00example.net,x,y|www,9.9.9.9,z,A|ftp,9.9.9.9,z"
            b"#new.org,a,b|mail,9.9.9.9,q,M")
        saved = self.sim.saved()
        self.assertEqual(len(saved), 1)
        self.assertEqual(saved[0]["domain"], save)
        self.assertEqual([z["name"] for z in saved[0]["zones"]],
                         ["example.net", "new.org"])

    def test_get_ip_and_upgrade_info(self):
        with socket.create_connection((self.HOST, self.sim.port), 3) as sock:
            own = sock.getsockname()[0]
            sock.sendall(get_raw(provider_sim.GET_IP_PATH, ALICE_SESSION))
            self.assertEqual(sock.recv(1024), b"00" + own.encode())
        self.sim.set_address("203.0.113.7")
        self.assertEqual(self.ask(provider_sim.GET_IP_PATH, ALICE_SESSION),
                         b"00203.0.113.7")
        query = "userVersion=ver4.2.0&userName=alice&key=%s&randText=%s&" % (
            KEY, RAND)
        self.sim.set_upgrade({})
        self.assertEqual(self.ask(provider_sim.UPGRADE_INFO_PATH, query),
                         b"00||")
        self.sim.set_upgrade({"version": "t1", "base": "base",
                              "items": [["a.exe", 100], ["b.dll", 200]]})
        self.assertEqual(self.ask(provider_sim.UPGRADE_INFO_PATH, query),
                         b"00t1|base|a.exe,100;b.dll,200")


class LoginFaultsTest(SimTestCase):
    HOST = "127.0.0.63"
    LOGIN = get_raw(provider_sim.LOGIN_PATH, "user_name=alice&passwd=pw&")
    SAVE = post(provider_sim.SAVE_DOMAIN_LIST_PATH, ALICE_SESSION + "domain=&")

    def test_reply_text_faults(self):
        cases = [({"mode": "code", "code": "01"}, b"01"),
                 ({"mode": "empty"}, b""),
                 ({"mode": "nonnumeric"}, b"Service unavailable"),
                 ({"mode": "text", "text": "0"}, b"0")]
        for fault, text in cases:
            with self.subTest(fault=fault):
                self.sim.set_fault(fault)
                self.assertEqual(exchange(self.sim, self.LOGIN), text)
                status, headers, body = split_response(
                    exchange(self.sim, self.SAVE))
                self.assertEqual((status, body), ("HTTP/1.0 200 OK", text))

    def test_status_and_cut(self):
        self.sim.set_fault(mode="status", status=404)
        self.assertTrue(exchange(self.sim, self.LOGIN).startswith(
            b"HTTP/1.1 404 Not Found\r\n"))
        self.assertTrue(exchange(self.sim, self.SAVE).startswith(
            b"HTTP/1.0 404 Not Found\r\n"))
        self.sim.set_fault(mode="cut", bytes=4)
        self.assertEqual(exchange(self.sim, self.LOGIN), b"00ke")
        self.assertEqual(exchange(self.sim, self.SAVE), b"HTTP")

    def test_delay_answers_late(self):
        self.sim.set_fault(mode="delay", ms=300)
        start = time.monotonic()
        self.assertTrue(exchange(self.sim, self.LOGIN).startswith(b"00key="))
        self.assertGreaterEqual(time.monotonic() - start, 0.3)

    def test_silent_keeps_the_connection_open_without_answer(self):
        self.sim.set_fault(mode="silent")
        before = self.last_seq()
        with socket.create_connection((self.HOST, self.sim.port), 3) as sock:
            sock.sendall(self.LOGIN)
            sock.settimeout(0.4)
            self.assertRaises(socket.timeout, sock.recv, 1024)
        found = self.sim.wait_records(1, timeout=WAIT, since=before)
        self.assertEqual([(r["path"], r["fault"]) for r in found],
                         [(provider_sim.LOGIN_PATH, "silent")])

    def test_close_and_reset_send_no_reply(self):
        self.sim.set_fault(mode="close")  # "*": closed right at accept
        before = self.last_seq()
        try:
            self.assertEqual(exchange(self.sim, self.LOGIN), b"")
        except ConnectionResetError:
            pass  # the close raced our request: a reset is no reply too
        found = self.sim.wait_records(1, timeout=WAIT, since=before)
        self.assertEqual([r["form"] for r in found], ["none"])
        self.sim.clear_faults()
        self.sim.set_fault(path=provider_sim.LOGIN_PATH, mode="reset")
        self.assertRaises(ConnectionResetError, exchange, self.sim,
                          self.LOGIN)

    def test_path_switch_beats_global_and_times_runs_out(self):
        self.sim.set_fault(mode="code", code="99")
        self.sim.set_fault(path=provider_sim.LOGIN_PATH, mode="code",
                           code="01", times=1)
        self.assertEqual(exchange(self.sim, self.LOGIN), b"01")
        self.assertEqual(exchange(self.sim, self.LOGIN), b"99")
        self.assertEqual(split_response(exchange(self.sim, self.SAVE))[2],
                         b"99")

    def test_bad_fault_specs_are_refused(self):
        for spec in ({"mode": "bogus"}, {"mode": "cut", "server": "udp"},
                     {"mode": "delay", "ms": -1}, {"mode": "code", "x": 1},
                     {"mode": "empty", "server": "ftp"},
                     {"mode": "empty", "times": 0}):
            with self.subTest(spec=spec):
                self.assertRaises(ValueError, self.sim.set_fault, spec)
        self.assertEqual(self.sim.faults(), [])


class TrickleTest(SimTestCase):
    HOST = "127.0.0.69"
    OPTIONS = {"update_port": 0}
    GET_IP = get_raw(provider_sim.GET_IP_PATH, ALICE_SESSION)
    LIBRARY_LOGIN = ("GET %s?user_name=alice&passwd=pw&agent=windows& "
                     "HTTP/1.1\r\nHost: x\r\n\r\n"
                     % provider_sim.LOGIN_PATH).encode()

    def trickled(self, request, interval_s, port=None):
        """Send a request and read the answer until the server closes,
        checking on every read that no byte came earlier than one interval
        per byte allows.  That bound holds however slowly this side runs
        (a slow reader only sees fewer bytes), so a loaded machine cannot
        break it."""
        start = time.monotonic()
        out = b""
        with socket.create_connection((self.HOST, port or self.sim.port),
                                      WAIT) as sock:
            sock.sendall(request)
            while True:
                chunk = sock.recv(4096)
                elapsed = time.monotonic() - start
                if not chunk:
                    return out
                out += chunk
                # Byte n (counted from 1) leaves n - 1 intervals after the
                # request arrived; one byte of slack for clock granularity.
                self.assertLessEqual(len(out) - 2, elapsed / interval_s,
                                     "byte %d after %.3f s"
                                     % (len(out), elapsed))

    def test_login_server_answers_one_byte_per_interval(self):
        self.sim.set_address("192.0.2.9")
        requests = {"raw get": self.GET_IP,
                    "post": post(provider_sim.SAVE_DOMAIN_LIST_PATH,
                                 ALICE_SESSION + "domain=&"),
                    "library get": self.LIBRARY_LOGIN}
        normal = {form: exchange(self.sim, request)
                  for form, request in requests.items()}
        self.sim.set_fault(mode="trickle", interval_ms=5)
        for form, request in requests.items():
            with self.subTest(form=form):
                start = time.monotonic()
                self.assertEqual(self.trickled(request, 0.005), normal[form],
                                 "the same answer, only slower")
                self.assertGreaterEqual(time.monotonic() - start,
                                        0.005 * (len(normal[form]) - 1))
        record = self.sim.records(path=provider_sim.SAVE_DOMAIN_LIST_PATH)[-1]
        self.assertEqual(record["fault"], "trickle")

    def test_trickle_on_one_path_or_any_path_served(self):
        # A path's switch slows that path only; the next byte here is due
        # long after this test has ended.
        self.sim.set_address("192.0.2.9")
        self.sim.set_fault(path=provider_sim.GET_IP_PATH, mode="trickle",
                           interval_ms=60000, times=1)
        self.assertEqual(self.ask(provider_sim.DOMAIN_LIST_PATH,
                                  ALICE_SESSION), ("00" + ZONE).encode())
        with socket.create_connection((self.HOST, self.sim.port),
                                      WAIT) as sock:
            sock.sendall(self.GET_IP)
            self.assertEqual(sock.recv(4096), b"0", "the first byte alone")
        self.assertEqual(self.ask(provider_sim.GET_IP_PATH, ALICE_SESSION),
                         b"00192.0.2.9", "times=1 used it up")
        # The update service, a file path's 404 page included, trickles too.
        self.sim.set_offer({"CurrentVersion": "2.1.0"})
        self.sim.set_fault(server="update", mode="trickle", interval_ms=5)
        cases = {provider_sim.VERSION_PATH:
                 ("HTTP/1.1 200 OK", b"CurrentVersion=2.1.0\r\n"),
                 "/files/QuorinFree.exe": ("HTTP/1.1 404 Not Found",
                                           b"Not Found")}
        for path, (status, body) in cases.items():
            with self.subTest(path=path):
                request = ("GET %s HTTP/1.1\r\nHost: x\r\n\r\n"
                           % path).encode()
                answer = self.trickled(request, 0.005, self.sim.update_port)
                self.assertEqual(split_response(answer)[::2], (status, body))

    def test_stop_ends_a_trickle(self):
        sim = provider_sim.ProviderSim(host="127.0.0.58", port=0,
                                       accounts=ACCOUNTS).start()
        try:
            sim.set_fault(mode="trickle", interval_ms=600000)
            with socket.create_connection((sim.host, sim.port),
                                          WAIT) as sock:
                sock.sendall(self.GET_IP)
                self.assertEqual(sock.recv(4096), b"0")
                sim.stop()
                # The connection ends now, not when the next byte is due
                # (a read that waited for it would time out instead).
                self.assertEqual(sock.recv(4096), b"")
        finally:
            sim.stop()

    def test_bad_trickle_and_spoof_specs_are_refused(self):
        for spec in ({"mode": "trickle", "interval_ms": -1},
                     {"mode": "trickle", "server": "udp"},
                     {"mode": "other_address", "server": "login"},
                     {"mode": "other_address", "server": "udp",
                      "source_host": "192.0.2.1"},
                     {"mode": "other_address", "server": "udp",
                      "source_host": self.HOST},
                     {"mode": "other_address", "server": "udp",
                      "source_port": 70000}):
            with self.subTest(spec=spec):
                self.assertRaises(ValueError, self.sim.set_fault, spec)
        self.assertEqual(self.sim.faults(), [])


class UdpServiceTest(SimTestCase):
    HOST = "127.0.0.64"
    DATAGRAM = ("alice;%s;%s" % (KEY, RAND)).encode().ljust(1024, b"\0")

    def query(self, timeout=WAIT):
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
            sock.settimeout(timeout)
            sock.sendto(self.DATAGRAM, (self.HOST, self.sim.udp_port))
            return sock.recvfrom(2048)

    def test_answer_and_record(self):
        self.sim.set_address("198.51.100.4")
        data, source = self.query()
        self.assertEqual((data, source), (b"198.51.100.4",
                                          (self.HOST, self.sim.port)))
        record = self.sim.records(transport="udp")[-1]
        self.assertEqual(base64.b64decode(record["b64"]), self.DATAGRAM)
        self.assertEqual(record["params"], {"user_name": "alice", "key": KEY,
                                            "randText": RAND})

    def test_faults(self):
        self.sim.set_fault(server="udp", mode="delay", ms=300)
        start = time.monotonic()
        self.assertEqual(self.query()[0], b"127.0.0.1")
        self.assertGreaterEqual(time.monotonic() - start, 0.3)
        self.sim.set_fault(server="udp", mode="empty")
        self.assertEqual(self.query()[0], b"")
        self.sim.set_fault(server="udp", mode="text")
        self.assertEqual(self.query()[0], b"not-an-address")
        self.sim.set_fault(server="udp", mode="other_port")
        data, (ip, port) = self.query()
        self.assertEqual((data, ip), (b"127.0.0.1", self.HOST))
        self.assertNotEqual(port, self.sim.port)
        self.sim.set_fault(server="udp", mode="silent")
        self.assertRaises(socket.timeout, self.query, 0.4)

    def test_answer_from_another_address(self):
        self.sim.set_address("198.51.100.4")
        # By default only the address differs: the next one up, same port.
        self.sim.set_fault(server="udp", mode="other_address", times=1)
        data, (ip, port) = self.query()
        self.assertEqual((data, ip, port),
                         (b"198.51.100.4", "127.0.0.65", self.sim.port))
        self.assertEqual(self.sim.records(transport="udp")[-1]["fault"],
                         "other_address")
        self.assertEqual(self.query()[1], (self.HOST, self.sim.port),
                         "times=1: the next answer is the service's own")
        # Address and port chosen, for example a port of the client's own.
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
            probe.bind(("127.0.0.59", 0))
            free = probe.getsockname()[1]
        self.sim.set_fault({"server": "udp", "mode": "other_address",
                            "source_host": "127.0.0.59",
                            "source_port": free, "ms": 50})
        self.assertEqual(self.query()[1], ("127.0.0.59", free))
        self.assertEqual(self.sim.faults()[0]["source_host"], "127.0.0.59")


class RecordingTest(SimTestCase):
    HOST = "127.0.0.65"
    # Bytes that arrive late (after the answer, or a line feed behind the
    # body) are awaited this long: the client's close ends the wait.
    READ_TIMEOUT = WAIT

    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.OPTIONS = {"record_file": os.path.join(cls.tmp.name, "r.jsonl"),
                       "linger": WAIT}
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        cls.tmp.cleanup()

    def test_exact_bytes_in_memory_and_file(self):
        # Headers, body and the LF that follows the counted body, each in a
        # segment of its own, and non-ASCII bytes: all belong to the request.
        request = post(provider_sim.SAVE_DOMAIN_LIST_PATH,
                       ALICE_SESSION + "domain=\xb2\xe2.net,x,y|w,1.1.1.1,,&")
        cut = request.index(b"\n\n") + 2
        with socket.create_connection((self.HOST, self.sim.port), 3) as sock:
            for part in (request[:cut], request[cut:-1], request[-1:]):
                sock.sendall(part)
                time.sleep(0.02)
            self.assertTrue(sock.recv(1024).endswith(b"\r\n\r\n00"))
        record = self.sim.records()[-1]
        self.assertEqual(base64.b64decode(record["b64"]), request)
        self.assertEqual(record["text"].encode("latin-1"), request)
        self.assertEqual(record["params"]["domain"],
                         "\xb2\xe2.net,x,y|w,1.1.1.1,,")
        with open(self.OPTIONS["record_file"], encoding="ascii") as fh:
            lines = [json.loads(line) for line in fh]
        self.assertEqual(lines[-1]["seq"], record["seq"])
        self.assertEqual(base64.b64decode(lines[-1]["b64"]), request)

    def test_connection_without_bytes_and_late_bytes(self):
        # The mark is taken before connecting: the simulator may record the
        # connection before this thread runs again.
        before = self.last_seq()
        socket.create_connection((self.HOST, self.sim.port), WAIT).close()
        found = self.sim.wait_records(1, timeout=WAIT, since=before)
        self.assertEqual([(r["form"], r["length"]) for r in found],
                         [("none", 0)])
        before = found[-1]["seq"]
        with socket.create_connection((self.HOST, self.sim.port),
                                      WAIT) as sock:
            sock.sendall(get_raw(provider_sim.GET_IP_PATH, ALICE_SESSION))
            sock.recv(1024)
            sock.sendall(b"late")
        found = self.sim.wait_records(2, timeout=WAIT, since=before)
        self.assertEqual([(r["phase"], r["text"][-4:]) for r in found],
                         [("request", "R1&\n"), ("after-reply", "late")])
        self.assertEqual(found[0]["conn"], found[1]["conn"])


class LimitsTest(SimTestCase):
    HOST = "127.0.0.68"
    # Long enough for the first bytes of a request to arrive on a loaded
    # machine, short enough for the stalled client's test.
    READ_TIMEOUT = 3.0

    def test_stalled_client_is_dropped_and_recorded(self):
        before = self.last_seq()
        start = time.monotonic()
        with socket.create_connection((self.HOST, self.sim.port),
                                      WAIT) as sock:
            sock.sendall(b"GET  /client_getIP.php?user_na")
            # The simulator closes (an empty read, not the socket's own
            # time-out), and not before its read time-out has passed.
            self.assertEqual(sock.recv(1024), b"")
            self.assertGreaterEqual(time.monotonic() - start,
                                    self.READ_TIMEOUT - 0.05)
        record = self.sim.wait_records(1, timeout=WAIT, since=before)[-1]
        self.assertEqual((record["phase"], record["text"]),
                         ("incomplete", "GET  /client_getIP.php?user_na"))

    def test_oversized_requests_get_413(self):
        big = post(provider_sim.SAVE_DOMAIN_LIST_PATH, "d=" + "x" * 70000)
        for request in (big, b"GET  /" + b"x" * 70000):
            with self.subTest(size=len(request)):
                self.assertTrue(exchange(self.sim, request).startswith(
                    b"HTTP/1.1 413 "))


class ControlAndUpdateTest(SimTestCase):
    HOST = "127.0.0.66"
    OPTIONS = {"control_port": 0, "update_port": 0}

    def control(self, method, path, body=None):
        conn = http.client.HTTPConnection(self.HOST, self.sim.control_port,
                                          timeout=WAIT)
        try:
            conn.request(method, path, body=body)
            reply = conn.getresponse()
            return reply.status, json.loads(reply.read())
        finally:
            conn.close()

    def version_query(self, port=None):
        request = ("GET %s?ProductName=QuorinFree&vendor=tilro&CurrVersion="
                   "1.0&Language=en&OSVer=6.1.7601_1.0&HardwareID=ab HTTP/1.1"
                   "\r\nHost: x\r\n\r\n" % provider_sim.VERSION_PATH).encode()
        return split_response(exchange(self.sim, request,
                                       port or self.sim.update_port))

    def test_address_fault_and_records_over_control_channel(self):
        self.assertEqual(self.control("POST", "/control/address",
                                      '{"address": "192.0.2.1"}')[0], 200)
        self.assertEqual(self.ask(provider_sim.GET_IP_PATH, ALICE_SESSION),
                         b"00192.0.2.1")
        self.control("POST", "/control/address", "192.0.2.2")
        self.assertEqual(self.sim.state()["address"], "192.0.2.2")
        status, _ = self.control("POST", "/control/fault", json.dumps(
            {"path": provider_sim.GET_IP_PATH, "mode": "code", "code": "04"}))
        self.assertEqual(status, 200)
        self.assertEqual(self.ask(provider_sim.GET_IP_PATH, ALICE_SESSION),
                         b"04")
        self.control("POST", "/control/fault/clear")
        self.assertEqual(self.control("GET", "/control/state")[1]["faults"],
                         [])
        since = self.sim.records()[-1]["seq"]
        self.ask(provider_sim.DOMAIN_LIST_PATH, ALICE_SESSION)
        _, answer = self.control(
            "GET", "/control/records?since=%d&min=1&wait_ms=%d"
            % (since, WAIT * 1000))
        self.assertEqual([r["path"] for r in answer["records"]],
                         [provider_sim.DOMAIN_LIST_PATH])

    def test_trickle_and_spoof_switches_over_control_channel(self):
        for spec in ({"path": provider_sim.GET_IP_PATH, "mode": "trickle",
                      "interval_ms": 5},
                     {"server": "udp", "mode": "other_address",
                      "source_host": "127.0.0.59", "source_port": 0}):
            self.assertEqual(self.control("POST", "/control/fault",
                                          json.dumps(spec))[0], 200)
        faults = self.control("GET", "/control/state")[1]["faults"]
        self.assertEqual(
            sorted((f["server"], f["mode"], f["interval_ms"],
                    f["source_host"]) for f in faults),
            [("login", "trickle", 5, None),
             ("udp", "other_address", 100, "127.0.0.59")])
        self.control("POST", "/control/address", "192.0.2.3")
        self.assertEqual(self.ask(provider_sim.GET_IP_PATH, ALICE_SESSION),
                         b"00192.0.2.3", "trickled, the answer is whole")
        self.assertEqual(self.sim.records(
            path=provider_sim.GET_IP_PATH)[-1]["fault"], "trickle")

    def test_bad_control_requests(self):
        self.assertEqual(self.control("POST", "/control/fault", "{x")[0], 400)
        self.assertEqual(self.control("POST", "/control/fault",
                                      '{"mode": "bogus"}')[0], 400)
        self.assertEqual(self.control("GET", "/control/nothing")[0], 404)
        self.assertEqual(self.control("POST", "/control/reload")[0], 400)
        # A state document with one bad part changes nothing at all.
        self.control("POST", "/control/state", '{"address": "192.0.2.5"}')
        self.assertEqual(self.control("POST", "/control/state", json.dumps(
            {"address": "192.0.2.6", "faults": [{"mode": "bogus"}]}))[0], 400)
        self.assertEqual(self.control("GET", "/control/state")[1]["address"],
                         "192.0.2.5")

    def test_accounts_and_saved_over_control_channel(self):
        self.control("POST", "/control/accounts", json.dumps(
            {"users": {"zed": {"password": "p", "key": "K", "randText": "R",
                               "zone_text": "z.net,,"}}}))
        self.assertEqual(self.ask(provider_sim.LOGIN_PATH,
                                  "user_name=zed&passwd=p&"),
                         b"00key=K&randText=R&%z.net,,")
        exchange(self.sim, post(provider_sim.SAVE_DOMAIN_LIST_PATH,
                                "user_name=zed&key=K&randText=R&domain="
                                "z.net,,|a,1.2.3.4,,&"))
        self.assertEqual(self.control("GET", "/control/saved")[1]["saved"]
                         [-1]["domain"], "z.net,,|a,1.2.3.4,,")
        users = self.control("GET", "/control/accounts")[1]["users"]
        self.assertEqual(users["zed"]["zones"][0]["hosts"][0]["address"],
                         "1.2.3.4")

    def test_version_offer_lines_and_faults(self):
        self.sim.set_offer({})
        status, headers, body = self.version_query()
        self.assertEqual((status, body), ("HTTP/1.1 200 OK", b""))
        # Lines come in a fixed key order whatever the order given.
        self.control("POST", "/control/offer", json.dumps(
            {"StrictVersion": "false", "ForceUpdate": "true",
             "Description": "fix", "CheckSum": "0" * 32,
             "URL": "/files/a.exe", "CurrentVersion": "2.1.0"}))
        expected = ("CurrentVersion=2.1.0\r\nURL=/files/a.exe\r\nCheckSum=%s"
                    "\r\nDescription=fix\r\nForceUpdate=true\r\n"
                    "StrictVersion=false\r\n" % ("0" * 32)).encode()
        self.assertEqual(self.version_query()[2], expected)
        self.assertEqual(self.version_query(self.sim.port)[2], expected)
        record = self.sim.records(path=provider_sim.VERSION_PATH)[-1]
        self.assertEqual(record["params"]["OSVer"], "6.1.7601_1.0")
        self.sim.set_fault(server="update", mode="status", status=500)
        self.assertEqual(self.version_query()[0],
                         "HTTP/1.1 500 Internal Server Error")
        # Update faults do not touch the login port.
        self.assertEqual(self.version_query(self.sim.port)[2], expected)
        self.sim.set_fault(server="update", mode="empty")
        self.assertEqual(self.version_query()[2], b"")
        self.sim.set_fault(server="update", mode="delay", ms=300)
        start = time.monotonic()
        self.assertEqual(self.version_query()[2], expected)
        self.assertGreaterEqual(time.monotonic() - start, 0.3)


class FilesTest(SimTestCase):
    """The files of the client's self-update, below --files."""
    HOST = "127.0.0.116"

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        os.makedirs(os.path.join(cls.folder.name, "u", "skin"))
        with open(os.path.join(cls.folder.name, "u", "skin", "a.skn"),
                  "wb") as fh:
            fh.write(bytes(range(256)) * 3)
        cls.OPTIONS = {"files_dir": cls.folder.name}
        super().setUpClass()

    @classmethod
    def tearDownClass(cls):
        super().tearDownClass()
        cls.folder.cleanup()

    def fetch(self, path):
        return split_response(exchange(self.sim, (
            "GET %s HTTP/1.1\r\nHost: x\r\n\r\n" % path).encode()))

    def test_serves_bytes_and_refuses_paths_that_leave_the_folder(self):
        status, headers, body = self.fetch("/files/u/skin/a.skn")
        self.assertEqual(status, "HTTP/1.1 200 OK")
        self.assertEqual(body, bytes(range(256)) * 3)
        self.assertEqual(headers["Content-Length"], "768")
        for bad in ("/files/u/../u/skin/a.skn", "/files/u//skin/a.skn",
                    "/files/u%5cskin%5ca.skn", "/files/u/skin/missing",
                    "/files/C:/x", "/files/"):
            self.assertTrue(self.fetch(bad)[0].startswith("HTTP/1.1 404"),
                            bad)
        self.sim.set_fault({"server": "login", "path": "/files/u/skin/a.skn",
                            "mode": "cut", "bytes": 200})
        raw = exchange(self.sim, b"GET /files/u/skin/a.skn HTTP/1.1\r\n"
                                 b"Host: x\r\n\r\n")
        self.assertLess(len(raw), 200 + 1)
        self.assertIn(b"Content-Length: 768", raw)


class CommandLineTest(unittest.TestCase):
    SCRIPT = os.path.join(TOOLS, "provider_sim.py")

    def test_help_and_non_loopback_host(self):
        out = subprocess.run([self.SCRIPT, "--help"], capture_output=True,
                             text=True, timeout=WAIT)
        self.assertEqual(out.returncode, 0)
        for text in ("/control/fault", "trickle", "interval_ms",
                     "other_address", "source_host"):
            self.assertIn(text, out.stdout)
        out = subprocess.run([self.SCRIPT, "--host", "192.0.2.1"],
                             capture_output=True, text=True, timeout=WAIT)
        self.assertEqual(out.returncode, 1)
        self.assertIn("loopback", out.stderr)

    def test_ready_file_sighup_reload_and_sigterm(self):
        with tempfile.TemporaryDirectory() as tmp:
            paths = {n: os.path.join(tmp, n)
                     for n in ("accounts", "state", "ready", "record")}
            with open(paths["accounts"], "w") as fh:
                json.dump(ACCOUNTS, fh)
            with open(paths["state"], "w") as fh:
                json.dump({"address": "192.0.2.10"}, fh)
            proc = subprocess.Popen(
                [sys.executable, self.SCRIPT, "--host", "127.0.0.67",
                 "--port", "0", "--accounts", paths["accounts"], "--state",
                 paths["state"], "--ready-file", paths["ready"], "--record",
                 paths["record"]])
            try:
                deadline = time.monotonic() + WAIT
                while not os.path.exists(paths["ready"]):
                    self.assertLess(time.monotonic(), deadline)
                    time.sleep(0.02)
                with open(paths["ready"]) as fh:
                    ready = json.load(fh)
                sim = types.SimpleNamespace(host=ready["host"],
                                            port=ready["port"])
                request = get_raw(provider_sim.GET_IP_PATH, ALICE_SESSION)
                self.assertEqual(exchange(sim, request), b"00192.0.2.10")
                with open(paths["state"], "w") as fh:
                    json.dump({"address": "192.0.2.11"}, fh)
                proc.send_signal(signal.SIGHUP)
                deadline = time.monotonic() + WAIT
                while exchange(sim, request) != b"00192.0.2.11":
                    self.assertLess(time.monotonic(), deadline)
                    time.sleep(0.05)
                proc.send_signal(signal.SIGTERM)
                self.assertEqual(proc.wait(timeout=WAIT), 0)
            finally:
                if proc.poll() is None:
                    proc.kill()
                    proc.wait()
            self.assertFalse(os.path.exists(paths["ready"]))
            with open(paths["record"]) as fh:
                first = json.loads(fh.readline())
            self.assertEqual(base64.b64decode(first["b64"]), request)


if __name__ == "__main__":
    unittest.main()
