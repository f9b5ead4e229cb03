#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Sends a REGISTER like the program's (from UDP port 5060, Via = the given
local address, no branch, no Max-Forwards) and prints the first answer's
status line and Via header, or "no answer"."""
import socket
import sys

server = sys.argv[1] if len(sys.argv) > 1 else "203.0.113.10"
local = sys.argv[2]
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.bind(("0.0.0.0", 5060))
s.settimeout(1.0)
msg = ("REGISTER sip:%s SIP/2.0\r\nVia: SIP/2.0/UDP %s:5060\r\nFrom: <sip:1234@%s>\r\n"
       "To: <sip:lab@%s>\r\nContact: <sip:lab@%s:5060>\r\nCall-ID: 1234A8AC0495EBF0AACA2BA8BC87B@%s\r\n"
       "CSeq: 1 REGISTER\r\nExpires: 500\r\nContent-Length: 0\r\n\r\n") % (server, local, server, server, local, server)
s.sendto(msg.encode(), (server, 5060))
try:
    data, sender = s.recvfrom(4096)
except socket.timeout:
    print("no answer")
    sys.exit(0)
text = data.decode(errors="replace")
lines = text.split("\r\n")
print(lines[0])
print(next((l for l in lines if l.startswith("Via:")), "no Via"))
print("from %s:%d" % sender)
