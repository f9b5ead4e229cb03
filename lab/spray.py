#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Forged answers for the lab's hostile network: sends, to every UDP port of a
range on the client and to 5060, Binding Responses shaped like the answer to
the plain request (test byte 0x08, CHANGED-ADDRESS naming a third address),
"SIP/2.0 200 OK" answers (a plain one and one shaped like the SIP mirror's,
with a mirrored copy that shows every address rewritten) and SSDP "HTTP/1.1 200 OK" answers, round after round, until the limit is reached.
Starts when the go file appears (the program is being started); writes the
number of datagrams sent to the count file as it goes."""
import argparse
import base64
import os
import socket
import struct
import time


def stun_response(third):
    mapped = struct.pack("!HHBBH4s", 0x0001, 8, 0, 1, 40000, socket.inet_aton("10.66.66.66"))
    changed = struct.pack("!HHBBH4s", 0x0005, 8, 0, 1, 3478, socket.inet_aton(third))
    body = mapped + changed
    return struct.pack("!HH", 0x0101, len(body)) + bytes(15) + b"\x08" + body


# An SSDP answer: it must not make a router without UPnP look as if it had it.
SSDP = (b"HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nST: urn:schemas-upnp-org:service:WANIPConnection:1\r\n"
        b"LOCATION: http://203.0.113.77:5000/rootDesc.xml\r\nEXT:\r\n\r\n")

SIP = (b"SIP/2.0 200 OK\r\nVia: SIP/2.0/UDP 198.51.100.10:5060\r\nCall-ID: spray\r\n"
       b"CSeq: 1 REGISTER\r\nContent-Length: 0\r\n\r\n")

# A mirror's answer with a copy in which a router rewrote everything to 10.66.66.66.
_COPY = (b"INVITE sip:tarvolin-mirror@tarvolin.test SIP/2.0\r\nVia: SIP/2.0/UDP 10.66.66.66:5060;branch=z9hG4bKspray\r\n"
         b"Call-ID: spray\r\nCSeq: 1 INVITE\r\nContact: <sip:tarvolin@10.66.66.66:5060>\r\n"
         b"Content-Type: application/sdp\r\nContent-Length: 34\r\n\r\nv=0\r\nc=IN IP4 10.66.66.66\r\nt=0 0\r\n")
SIP_MIRROR = (b"SIP/2.0 200 OK\r\nVia: SIP/2.0/UDP 198.51.100.10:5060;branch=z9hG4bKspray\r\nCall-ID: spray\r\n"
              b"CSeq: 1 INVITE\r\nTarvolin-Source: udp 10.66.66.66 5060\r\nContent-Transfer-Encoding: base64\r\n"
              b"Content-Type: message/sip\r\nContent-Length: " + str(len(base64.b64encode(_COPY))).encode()
              + b"\r\n\r\n" + base64.b64encode(_COPY))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--from", dest="source", required=True)
    ap.add_argument("--to", required=True)
    ap.add_argument("--ports", required=True, help="FIRST-LAST")
    ap.add_argument("--third", required=True)
    ap.add_argument("--count-file", required=True)
    ap.add_argument("--go-file", required=True)
    ap.add_argument("--limit", type=int, default=100000)
    ap.add_argument("--rate", type=int, default=10000)
    a = ap.parse_args()
    first, last = (int(x) for x in a.ports.split("-"))
    ports = [5060] + list(range(first, last + 1))
    payloads = (stun_response(a.third), SIP, SSDP, SIP_MIRROR)
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind((a.source, 0))
    s.setblocking(False)
    deadline = time.monotonic() + 60
    while not os.path.exists(a.go_file) and time.monotonic() < deadline:
        time.sleep(0.01)
    sent, start = 0, time.monotonic()
    while sent < a.limit:
        for port in ports:
            for payload in payloads:
                if sent >= a.limit:
                    break
                # Every 50th datagram is a forged mirror answer to 5060, where a
                # phone's SIP socket sits, so that every moment of a run sees some.
                to = (SIP_MIRROR, 5060) if sent % 50 == 49 else (payload, port)
                try:
                    s.sendto(to[0], (a.to, to[1]))
                except OSError:
                    pass  # a full buffer or an ICMP error from the client: the datagram is lost
                sent += 1
                if sent % 1000 == 0:
                    write_count(a.count_file, sent)
                    ahead = sent / a.rate - (time.monotonic() - start)
                    if ahead > 0:
                        time.sleep(ahead)
    write_count(a.count_file, sent)


def write_count(path, sent):
    """Replaces the count file in one step, so a reader never sees it empty."""
    with open(path + ".new", "w") as f:
        f.write(str(sent))
    os.replace(path + ".new", path)


if __name__ == "__main__":
    main()
