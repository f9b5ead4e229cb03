#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""A plain RFC 5389 STUN server that knows only what RFC 5389 defines.

Usage: strict_stun.py ADDRESS PORT

Answers a Binding Request with XOR-MAPPED-ADDRESS. A request carrying an
attribute it does not know from the comprehension-required range
(0x0000-0x7FFF) gets a Binding Error Response 420 (Unknown Attribute) with
UNKNOWN-ATTRIBUTES listing them (RFC 5389 sections 7.3.1 and 15.9);
unknown comprehension-optional attributes (0x8000-0xFFFF) are ignored.
Counts answers by kind on stderr when it ends."""
import signal
import socket
import struct
import sys

MAGIC = 0x2112A442
# The comprehension-required attributes of RFC 5389 section 18.2.
KNOWN = {0x0001, 0x0006, 0x0008, 0x0009, 0x000A, 0x0014, 0x0015, 0x0020}


def attributes(body):
    pos = 0
    while pos + 4 <= len(body):
        kind, length = struct.unpack("!HH", body[pos:pos + 4])
        yield kind
        pos += 4 + ((length + 3) & ~3)


def answer(data, source):
    if len(data) < 20:
        return None, None
    kind, length, cookie = struct.unpack("!HHI", data[:8])
    if kind != 0x0001 or cookie != MAGIC or 20 + length != len(data):
        return None, None
    tid = data[8:20]
    unknown = [a for a in attributes(data[20:]) if a < 0x8000 and a not in KNOWN]
    if unknown:
        reason = b"Unknown Attribute"
        code = struct.pack("!HBB", 0, 4, 20) + reason
        code += bytes(-len(code) % 4)
        listed = b"".join(struct.pack("!H", a) for a in unknown)
        listed_len = len(listed)
        listed += bytes(-len(listed) % 4)
        attrs = struct.pack("!HH", 0x0009, 4 + len(reason)) + code
        attrs += struct.pack("!HH", 0x000A, listed_len) + listed
        return struct.pack("!HHI", 0x0111, len(attrs), MAGIC) + tid + attrs, "420"
    address, port = source
    xport = port ^ (MAGIC >> 16)
    xaddr = struct.unpack("!I", socket.inet_aton(address))[0] ^ MAGIC
    attrs = struct.pack("!HHBBHI", 0x0020, 8, 0, 1, xport, xaddr)
    return struct.pack("!HHI", 0x0101, len(attrs), MAGIC) + tid + attrs, "success"


def main():
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind((sys.argv[1], int(sys.argv[2])))
    counts = {"success": 0, "420": 0}

    def report(*_):
        sys.stderr.write("answers: %r\n" % counts)
        sys.exit(0)

    signal.signal(signal.SIGTERM, report)
    while True:
        data, source = sock.recvfrom(2048)
        reply, kind = answer(data, source)
        if reply:
            counts[kind] += 1
            sock.sendto(reply, source)


if __name__ == "__main__":
    main()
