#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Forged answers for the lab's hostile network: sends, to every UDP port of a
range on the client and to 5060, Binding Responses shaped like the answer to
the plain request (test byte 0x08, CHANGED-ADDRESS naming a third address),
"SIP/2.0 200 OK" answers (a plain one and one shaped like the SIP mirror's,
with a mirrored copy that shows every address rewritten) and SSDP "HTTP/1.1 200 OK" answers, round after round, until the limit is reached.
With --kind extended, what the extended test's sockets could be fooled by
instead: RFC 5389 Binding Responses whose XOR-MAPPED-ADDRESS, MAPPED-ADDRESS
and OTHER-ADDRESS name the third address (random transaction IDs, and IDs
shaped like the voice stream's: its tag and a packet index, the session
guessed), NAT-PMP and PCP answers from port 5351 naming the third address as
the external one, and the SIP 200 answers.
Starts when the go file appears (the program is being started); writes the
number of datagrams sent to the count file as it goes, and stops at the limit
or after --seconds."""
import argparse
import base64
import os
import socket
import struct
import time


MAGIC = 0x2112A442


def xor_address(attr_type, ip, port, txid):
    """An XOR-MAPPED-ADDRESS style attribute (RFC 5389 section 15.2)."""
    xip = bytes(a ^ b for a, b in zip(socket.inet_aton(ip), struct.pack("!I", MAGIC)))
    return struct.pack("!HHBBH", attr_type, 8, 0, 1, port ^ (MAGIC >> 16)) + xip


def plain_address(attr_type, ip, port):
    return struct.pack("!HHBBH4s", attr_type, 8, 0, 1, port, socket.inet_aton(ip))


def stun5389_response(third, txid):
    """A Binding success answer that names the third address everywhere (RFC 5780 section 7)."""
    body = (xor_address(0x0020, third, 40000, txid) + plain_address(0x0001, third, 40000)
            + plain_address(0x802B, "203.0.113.10", 3478) + plain_address(0x802C, third, 3479))
    return struct.pack("!HHI", 0x0101, len(body), MAGIC) + txid + body


def random_txid(_):
    return os.urandom(12)


def voice_txid(n):
    """The voice stream's layout: tag, a session nobody outside knows, the packet index."""
    return b"TVLV" + os.urandom(4) + struct.pack("!I", n % 500)


def natpmp_answer(third):
    """NAT-PMP external address answer (RFC 6886 section 3.2)."""
    return struct.pack("!BBHI4s", 0, 128, 0, int(time.monotonic()) & 0xFFFFFFFF, socket.inet_aton(third))


def pcp_answer(third):
    """PCP ANNOUNCE answer (RFC 6887 section 7.2), and a MAP answer naming the third address."""
    header = struct.pack("!BBBBII", 2, 0x80, 0, 0, 0, int(time.monotonic()) & 0xFFFFFFFF) + bytes(12)
    mapped = b"\0" * 10 + b"\xff\xff" + socket.inet_aton(third)
    body = os.urandom(12) + struct.pack("!B3xHH", 17, 5060, 5060) + mapped
    return header, struct.pack("!BBBBII", 2, 0x81, 0, 0, 3600, 1) + bytes(12) + body


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
    ap.add_argument("--seconds", type=float, default=60)
    ap.add_argument("--kind", choices=("main", "extended"), default="main")
    a = ap.parse_args()
    if a.kind == "extended":
        extended(a)
        return
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


def extended(a):
    """The extended test's spray: each kind from the port its real sender uses."""
    first, last = (int(x) for x in a.ports.split("-"))
    ports = [5060] + list(range(first, last + 1))
    senders = {}
    for port in (3478, 5351, 5060):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.bind((a.source, port))
        s.setblocking(False)
        senders[port] = s
    pcp_announce, pcp_map = pcp_answer(a.third)
    kinds = [(3478, lambda n: stun5389_response(a.third, random_txid(n))),
             (3478, lambda n: stun5389_response(a.third, voice_txid(n))),
             (5351, lambda n: natpmp_answer(a.third)),
             (5351, lambda n: pcp_announce),
             (5351, lambda n: pcp_map),
             (5060, lambda n: SIP),
             (5060, lambda n: SIP_MIRROR)]
    deadline = time.monotonic() + 60
    while not os.path.exists(a.go_file) and time.monotonic() < deadline:
        time.sleep(0.01)
    sent, start = 0, time.monotonic()
    stop = start + a.seconds
    while sent < a.limit and time.monotonic() < stop:
        for port in ports:
            for source, make in kinds:
                if sent >= a.limit:
                    break
                try:
                    senders[source].sendto(make(sent), (a.to, port))
                except OSError:
                    pass  # a full buffer or an ICMP error from the client: the datagram is lost
                sent += 1
                if sent % 1000 == 0:
                    write_count(a.count_file, sent)
                    ahead = sent / a.rate - (time.monotonic() - start)
                    if ahead > 0:
                        time.sleep(ahead)
            if sent >= a.limit or time.monotonic() >= stop:
                break
    write_count(a.count_file, sent)


def write_count(path, sent):
    """Replaces the count file in one step, so a reader never sees it empty."""
    with open(path + ".new", "w") as f:
        f.write(str(sent))
    os.replace(path + ".new", path)


if __name__ == "__main__":
    main()
