#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Hostile hosts on the lab's home network.

ssdp-liar: answers every M-SEARCH it hears (the SSDP group or unicast, port
1900) at once, before the router can, with one answer per --location: an
Internet gateway device whose description lies elsewhere. Counts its answers
in --count-file.

endless-http: accepts HTTP connections and answers each with a 200 whose body
never ends (no Content-Length, no chunks), 16 KiB at a time, as fast as the
peer reads. Each connection and the server itself end after --seconds.

Both end by themselves after --seconds."""
import argparse
import os
import select
import socket
import struct
import time

SSDP_GROUP = "239.255.255.250"


def write_count(path, n):
    with open(path + ".new", "w") as f:
        f.write(str(n))
    os.replace(path + ".new", path)


def ssdp_liar(a):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("0.0.0.0", 1900))
    s.setsockopt(socket.IPPROTO_IP, socket.IP_ADD_MEMBERSHIP,
                 struct.pack("4s4s", socket.inet_aton(SSDP_GROUP), socket.inet_aton(a.address)))
    answers = [("HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nEXT:\r\nLOCATION: %s\r\n"
                "SERVER: Linux/6 UPnP/1.1 Lab/1\r\nST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n"
                "USN: uuid:liar-%d::urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n\r\n"
                % (loc, i)).encode() for i, loc in enumerate(a.location)]
    sent, deadline = 0, time.monotonic() + a.seconds
    write_count(a.count_file, 0)
    while time.monotonic() < deadline and sent < 1000:
        ready, _, _ = select.select([s], [], [], 0.2)
        if not ready:
            continue
        data, sender = s.recvfrom(2048)
        if not data.startswith(b"M-SEARCH"):
            continue
        for answer in answers:
            s.sendto(answer, sender)
            sent += 1
        write_count(a.count_file, sent)


def endless_http(a):
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind((a.address, a.port))
    server.listen(8)
    block = b"<x>" + b"y" * (16 * 1024 - 7) + b"</x>"
    peers = {}  # socket -> its end time
    deadline = time.monotonic() + a.seconds
    while time.monotonic() < deadline:
        ready, writable, _ = select.select([server] + list(peers), list(peers), [], 0.2)
        if server in ready:
            peer, _ = server.accept()
            peer.setblocking(False)
            try:
                peer.send(b"HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\nConnection: close\r\n\r\n")
            except OSError:
                pass
            peers[peer] = time.monotonic() + a.seconds
        now = time.monotonic()
        for peer in list(peers):
            gone = False
            if peer in ready:
                try:
                    gone = peer.recv(4096) == b""
                except OSError:
                    gone = True
            if not gone and peer in writable:
                try:
                    peer.send(block)
                except (BlockingIOError, InterruptedError):
                    pass
                except OSError:
                    gone = True
            if gone or now > peers[peer]:
                peer.close()
                del peers[peer]


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("role", choices=("ssdp-liar", "endless-http"))
    ap.add_argument("--address", required=True)
    ap.add_argument("--port", type=int, default=5000)
    ap.add_argument("--location", action="append", default=[])
    ap.add_argument("--count-file")
    ap.add_argument("--seconds", type=float, default=600)
    a = ap.parse_args()
    if a.role == "ssdp-liar":
        ssdp_liar(a)
    else:
        endless_http(a)


if __name__ == "__main__":
    main()
