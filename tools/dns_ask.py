#!/usr/bin/env python3
"""Asks one DNS server for the A records of one name and prints them, one per line.

    dns_ask.py SERVER NAME [PORT]

Exit code 0 with at least one address, 1 otherwise. Standard library only; used by the demo
to show what the account's DNS server answers.
"""
import random
import socket
import struct
import sys


def ask(server, name, port=53, timeout=2.0):
    query_id = random.randrange(0x10000)
    question = b"".join(bytes([len(part)]) + part.encode("ascii") for part in name.split("."))
    question += b"\0" + struct.pack(">HH", 1, 1)
    message = struct.pack(">HHHHHH", query_id, 0x0100, 1, 0, 0, 0) + question
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as sock:
        sock.settimeout(timeout)
        sock.sendto(message, (server, port))
        reply, sender = sock.recvfrom(4096)
    if sender[0] != server or len(reply) < 12 or struct.unpack(">H", reply[:2])[0] != query_id:
        return []
    answers = struct.unpack(">H", reply[6:8])[0]
    offset = 12 + len(question)
    addresses = []
    for _ in range(answers):
        if offset >= len(reply):
            break
        if reply[offset] & 0xC0 == 0xC0:
            offset += 2
        else:
            while offset < len(reply) and reply[offset] != 0:
                offset += reply[offset] + 1
            offset += 1
        if offset + 10 > len(reply):
            break
        rtype, _, _, length = struct.unpack(">HHIH", reply[offset:offset + 10])
        offset += 10
        if rtype == 1 and length == 4:
            addresses.append(socket.inet_ntoa(reply[offset:offset + 4]))
        offset += length
    return addresses


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    port = int(sys.argv[3]) if len(sys.argv) == 4 else 53
    try:
        addresses = ask(sys.argv[1], sys.argv[2], port)
    except OSError as error:
        print(f"no answer: {error}", file=sys.stderr)
        return 1
    for address in addresses:
        print(address)
    return 0 if addresses else 1


if __name__ == "__main__":
    sys.exit(main())
