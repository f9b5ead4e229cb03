#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Classic (RFC 3489) STUN probe used to check the lab's NAT behaviours.

Sends from one UDP socket: a plain Binding Request (test byte 0x08), one with
CHANGE-REQUEST change-IP (0x09), one with change-port (0x0A) to SERVER:3478,
then a plain request (0x0B) to the CHANGED-ADDRESS of the 0x08 answer.
Prints one line per test byte: "08 yes 192.0.2.2:40000" or "09 no".
Also prints "local <port>" and "order <attribute types of the 0x08 answer>".
"""
import socket
import struct
import sys
import time


def request(test_byte, change_flags=None):
    attrs = b""
    if change_flags is not None:
        attrs = struct.pack("!HHI", 0x0003, 4, change_flags)
    return struct.pack("!HH", 0x0001, len(attrs)) + bytes(15) + bytes([test_byte]) + attrs


def parse(data):
    if len(data) < 20:
        return None
    attrs = []
    pos = 20
    while pos + 4 <= len(data):
        t, length = struct.unpack("!HH", data[pos:pos + 4])
        value = data[pos + 4:pos + 4 + length]
        attrs.append((t, value))
        pos += 4 + length
    return data[19], attrs


def addr_of(value):
    port = struct.unpack("!H", value[2:4])[0]
    return socket.inet_ntoa(value[4:8]), port


def main():
    server = sys.argv[1] if len(sys.argv) > 1 else "203.0.113.10"
    wait = float(sys.argv[2]) if len(sys.argv) > 2 else 1.5
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("0.0.0.0", 0))
    s.settimeout(0.05)
    print("local", s.getsockname()[1])
    # Like the program: a burst of each request, then the next one.
    for req in (request(0x08), request(0x09, 4), request(0x0A, 2)):
        for _ in range(7):
            s.sendto(req, (server, 3478))
    got = {}
    changed = None
    sent_0b = False
    end = time.time() + wait
    while time.time() < end:
        try:
            data, sender = s.recvfrom(2048)
        except socket.timeout:
            continue
        parsed = parse(data)
        if parsed is None:
            continue
        tb, attrs = parsed
        mapped = next((addr_of(v) for t, v in attrs if t == 0x0001), None)
        if tb not in got:
            got[tb] = (mapped, sender)
        if tb == 0x08 and not sent_0b:
            print("order", " ".join("%04x" % t for t, _ in attrs))
            changed = next((addr_of(v) for t, v in attrs if t == 0x0005), None)
            if changed and not sent_0b:
                sent_0b = True
                for _ in range(7):
                    s.sendto(request(0x0B), changed)
    for tb in (0x08, 0x09, 0x0A, 0x0B):
        if tb in got:
            (mapped, sender) = got[tb]
            print("%02x yes %s:%d from %s:%d" % (tb, mapped[0], mapped[1], sender[0], sender[1]))
        else:
            print("%02x no" % tb)


if __name__ == "__main__":
    main()
