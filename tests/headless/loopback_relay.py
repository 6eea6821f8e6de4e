#!/usr/bin/env python3
"""Carries the provider simulator's ports from a namespace's outer address to its loopback.

The simulator binds only loopback addresses (it refuses others on purpose), but a client in
another network namespace must reach it across a veth pair. Run in the simulator's namespace,
this relay carries TCP connections one to one and answers each UDP datagram from the address
and port it was sent to, which is what the client checks.

  loopback_relay.py LISTEN_ADDRESS TARGET_ADDRESS PORT     (prints "ready" once listening)
"""
import socket, sys, threading
listen_host, target_host, port = sys.argv[1], sys.argv[2], int(sys.argv[3])

def pump(src, dst):
    try:
        while True:
            data = src.recv(65536)
            if not data:
                break
            dst.sendall(data)
    except OSError:
        pass
    try:
        dst.shutdown(socket.SHUT_WR)
    except OSError:
        pass

def carry(client):
    try:
        server = socket.create_connection((target_host, port), timeout=5)
        server.settimeout(None)
    except OSError:
        client.close()
        return
    back = threading.Thread(target=pump, args=(server, client), daemon=True)
    back.start()
    pump(client, server)
    back.join()
    client.close()
    server.close()

def tcp():
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((listen_host, port))
    listener.listen(16)
    while True:
        client, _ = listener.accept()
        threading.Thread(target=carry, args=(client,), daemon=True).start()

def answer(front, data, peer):
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as back:
        back.settimeout(5)
        back.sendto(data, (target_host, port))
        try:
            reply, _ = back.recvfrom(65536)
        except OSError:
            return
    front.sendto(reply, peer)

front = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
front.bind((listen_host, port))
threading.Thread(target=tcp, daemon=True).start()
print("ready", flush=True)
while True:
    data, peer = front.recvfrom(65536)
    threading.Thread(target=answer, args=(front, data, peer), daemon=True).start()
