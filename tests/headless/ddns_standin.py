#!/usr/bin/env python3
"""A loopback stand-in for a dyndns2-style provider, for the footprint benchmark's peers
(inadyn, ddclient): "/ip" answers the address as a check-IP page does, "/nic/update" answers
"good ADDRESS". Every request is appended to the log file as "TIME PATH".

    ddns_standin.py HOST PORT ADDRESS LOG_FILE
"""
import http.server
import sys
import time

host, port, address, log_path = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        with open(log_path, "a") as log:
            log.write(f"{time.time():.3f} {self.path.split('?')[0]}\n")
        if self.path.startswith("/nic/update"):
            body = f"good {address}\n"
        else:
            body = f"<html><body>Current IP Address: {address}</body></html>\n"
        data = body.encode()
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer((host, port), Handler)
print("ready", flush=True)
server.serve_forever()
