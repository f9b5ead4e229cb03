#!/usr/bin/env python3
# SPDX-License-Identifier: Apache-2.0
"""Writes the seed corpora of the fuzz harnesses (fuzz/corpus/<harness>/):
small valid messages laid out as RFC 3489/5389/5780 (STUN), RFC 3261 (SIP),
UPnP Device Architecture 1.1 (SSDP, HTTP, device description, SOAP),
RFC 1035/2782/3403 (DNS), RFC 6886/6887 (NAT-PMP, PCP) and RFC 792 (ICMP).
Run it again after changing it; the files are committed."""
import os
import shutil
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


def write(harness, name, data):
    d = os.path.join(CORPUS, harness)
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, name), "wb") as f:
        f.write(data)


def datagrams(*items):
    """Several datagrams in one input: a length byte before each."""
    out = b""
    for item in items:
        assert len(item) < 256
        out += bytes([len(item)]) + item
    return out


def ip4(text):
    return bytes(int(p) for p in text.split("."))


# --- STUN -------------------------------------------------------------------
MAGIC = 0x2112A442


def attr(t, value):
    pad = (4 - len(value) % 4) % 4
    return struct.pack("!HH", t, len(value)) + value + b"\0" * pad


def address_attr(t, address, port):
    return attr(t, struct.pack("!BBH", 0, 1, port) + ip4(address))


def xor_address_attr(t, address, port):
    a = struct.unpack("!I", ip4(address))[0] ^ MAGIC
    return attr(t, struct.pack("!BBHI", 0, 1, port ^ (MAGIC >> 16), a))


def stun(msg_type, txid, attrs, cookie=False):
    body = b"".join(attrs)
    tid = (struct.pack("!I", MAGIC) + txid[4:]) if cookie else txid
    return struct.pack("!HH", msg_type, len(body)) + tid + body


def tid(test_byte, index=0):
    t = bytearray(16)
    t[15] = test_byte
    t[10] = index  # byte 14 of the message
    return bytes(t)


MAPPED, SOURCE, CHANGED, XOR_MAPPED, OTHER, ERROR_CODE = 0x0001, 0x0004, 0x0005, 0x0020, 0x802C, 0x0009
SERVER_ATTR = 0x8022


def rfc3489_reply(test_byte, mapped=("192.0.2.2", 40000), order="msc"):
    parts = {"m": address_attr(MAPPED, *mapped),
             "s": address_attr(SOURCE, "203.0.113.10", 3478),
             "c": address_attr(CHANGED, "203.0.113.11", 3479)}
    return stun(0x0101, tid(test_byte), [parts[k] for k in order])


def rfc5780_reply(test_byte, mapped=("192.0.2.2", 40000)):
    return stun(0x0101, tid(test_byte), [
        address_attr(MAPPED, *mapped), xor_address_attr(XOR_MAPPED, *mapped),
        address_attr(0x802B, "203.0.113.10", 3478),  # RESPONSE-ORIGIN
        address_attr(OTHER, "203.0.113.11", 3479),
        attr(SERVER_ATTR, b"fuzz seed")], cookie=True)


def error_reply(test_byte):
    return stun(0x0111, tid(test_byte), [attr(ERROR_CODE, struct.pack("!HBB", 0, 4, 20) + b"Unknown Attribute")])


write("stun_reply", "rfc3489_all_four", datagrams(
    rfc3489_reply(0x08), rfc3489_reply(0x09), rfc3489_reply(0x0A), rfc3489_reply(0x0B)))
write("stun_reply", "rfc3489_changed_first", datagrams(rfc3489_reply(0x08, order="cms"), rfc3489_reply(0x0B)))
write("stun_reply", "rfc3489_no_changed", datagrams(rfc3489_reply(0x08, order="ms")))
write("stun_reply", "symmetric_new_mapping", datagrams(
    rfc3489_reply(0x08), rfc3489_reply(0x0B, mapped=("192.0.2.2", 40001))))
write("stun_reply", "rfc5780_other_address", datagrams(rfc5780_reply(0x08), rfc5780_reply(0x0B)))
write("stun_reply", "error_response", datagrams(error_reply(0x08), error_reply(0x09)))
write("stun_reply", "header_only", datagrams(stun(0x0101, tid(0x09), [])))

# Survey answers: byte 14 the server's index, byte 19 the cycle; a datagram of
# length 0 starts a polling cycle.
def survey_answer(index, sequence, mapped=("192.0.2.2", 40000)):
    return stun(0x0101, tid(sequence, index), [address_attr(MAPPED, *mapped),
                                               address_attr(SOURCE, "203.0.113.10", 3478)])


write("survey_reply", "one_cycle_three_servers",
      datagrams(b"", survey_answer(0, 1), survey_answer(1, 1), survey_answer(2, 1)))
write("survey_reply", "two_cycles_duplicate",
      datagrams(b"", survey_answer(0, 1), survey_answer(0, 1), b"", survey_answer(0, 2), survey_answer(1, 1)))
write("survey_reply", "error_and_header_only",
      datagrams(b"", stun(0x0111, tid(1, 0), [attr(ERROR_CODE, struct.pack("!HBB", 0, 4, 0) + b"Bad Request")]),
                stun(0x0101, tid(1, 1), [])))
write("survey_reply", "rfc5389_xor_mapped",
      datagrams(b"", stun(0x0101, tid(1, 2), [xor_address_attr(XOR_MAPPED, "192.0.2.2", 40000)], cookie=True)))

# --- SIP (RFC 3261 section 8.2.6, 18.2.1) ------------------------------------
def sip_answer(status, via_params, extra=b"", body=b""):
    lines = [b"SIP/2.0 " + status,
             b"Via: SIP/2.0/UDP 192.168.1.2:5060;branch=z9hG4bK776asdhds" + via_params,
             b"From: <sip:test@203.0.113.10>;tag=1928301774",
             b"To: <sip:test@203.0.113.10>;tag=a6c85cf",
             b"Call-ID: 1234567tarvolin",
             b"CSeq: 1 REGISTER"] + ([extra] if extra else []) + [b"Content-Length: %d" % len(body)]
    return b"\r\n".join(lines) + b"\r\n\r\n" + body


write("sip_answer", "received_behind_nat", sip_answer(b"401 Unauthorized", b";received=192.0.2.2"))
write("sip_answer", "received_then_rport", sip_answer(b"200 OK", b";received=192.0.2.2;rport=40000"))
write("sip_answer", "received_equal", sip_answer(b"200 OK", b";received=192.168.1.2"))
write("sip_answer", "no_received", sip_answer(b"403 Forbidden", b""))
write("sip_answer", "case_and_blanks", sip_answer(b"200 OK", b" ; Received = 192.0.2.2 ;rport"))
write("sip_answer", "two_vias", sip_answer(b"200 OK", b";received=192.0.2.2",
                                          extra=b"Via: SIP/2.0/UDP 10.0.0.1;received=198.51.100.7"))
write("sip_answer", "compact_via_bare_lf",
      b"SIP/2.0 200 OK\nv: SIP/2.0/UDP 192.168.1.2:5060;received=192.0.2.2,SIP/2.0/UDP 10.0.0.1\n\n")
write("sip_answer", "received_in_body",
      sip_answer(b"200 OK", b"", extra=b"Content-Type: text/plain", body=b"x;received=198.51.100.9\r\n"))
write("sip_answer", "request_not_answer", b"OPTIONS sip:test@192.168.1.2 SIP/2.0\r\nVia: SIP/2.0/UDP 203.0.113.10\r\n\r\n")

# --- SSDP: the sender's port (2 bytes) then the datagram ----------------------
def ssdp(port, data):
    return struct.pack("!H", port) + data


OK = (b"HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=1800\r\nDATE: Tue, 08 Dec 2026 07:00:00 GMT\r\nEXT:\r\n"
      b"LOCATION: http://192.168.1.1:5000/rootDesc.xml\r\nSERVER: Linux/6.1 UPnP/1.1 router/1.0\r\n"
      b"ST: urn:schemas-upnp-org:service:WANIPConnection:1\r\n"
      b"USN: uuid:2fac1234-31f8-11b4-a222-08002b34c003::urn:schemas-upnp-org:service:WANIPConnection:1\r\n\r\n")
write("ssdp_answer", "ok_wanip", ssdp(1900, OK))
write("ssdp_answer", "ok_other_port", ssdp(49152, OK))
write("ssdp_answer", "not_found", ssdp(1900, b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n"))
write("ssdp_answer", "empty_from_1900", ssdp(1900, b""))
write("ssdp_answer", "notify", ssdp(1900, b"NOTIFY * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nNTS: ssdp:alive\r\n\r\n"))

# --- DNS (RFC 1035 section 4, RFC 2782): the queried type (2 bytes), then the answer
def name(text):
    out = b""
    for label in text.rstrip(".").split("."):
        out += bytes([len(label)]) + label.encode()
    return out + b"\0"


def rr(owner, rtype, rdata, ttl=300):
    return owner + struct.pack("!HHIH", rtype, 1, ttl, len(rdata)) + rdata


def dns(qname, qtype, answers=(), authority=(), additional=(), rcode=0):
    header = struct.pack("!HHHHHH", 0x1234, 0x8180 | rcode, 1, len(answers), len(authority), len(additional))
    question = name(qname) + struct.pack("!HH", qtype, 1)
    return header + question + b"".join(answers) + b"".join(authority) + b"".join(additional)


PTR_Q = b"\xc0\x0c"  # compression pointer to the question's name
SRV_NAME = "_sip._udp.tarvolin.test"
A, NS, CNAME, SOA, PTR, MX, TXT, AAAA, SRV = 1, 2, 5, 6, 12, 15, 16, 28, 33


def soa():
    return name("ns1.tarvolin.test") + name("hostmaster.tarvolin.test") + struct.pack("!IIIII", 2026120801, 7200, 3600, 1209600, 300)


def dns_seed(qtype, message):
    return struct.pack("!H", qtype) + message


write("dns_answer", "srv_two_targets", dns_seed(SRV, dns(SRV_NAME, SRV, answers=[
    rr(PTR_Q, SRV, struct.pack("!HHH", 10, 60, 5060) + name("sip1.tarvolin.test")),
    rr(PTR_Q, SRV, struct.pack("!HHH", 20, 40, 5060) + name("sip2.tarvolin.test"))],
    additional=[rr(name("sip1.tarvolin.test"), A, ip4("203.0.113.10"))])))
write("dns_answer", "srv_query_cname_only", dns_seed(SRV, dns(SRV_NAME, SRV, answers=[
    rr(PTR_Q, CNAME, name("sip.tarvolin.test"))])))
write("dns_answer", "srv_query_a_only", dns_seed(SRV, dns(SRV_NAME, SRV, answers=[rr(PTR_Q, A, ip4("203.0.113.10"))])))
write("dns_answer", "nodata_soa", dns_seed(SRV, dns(SRV_NAME, SRV, authority=[rr(name("tarvolin.test"), SOA, soa())])))
write("dns_answer", "nxdomain", dns_seed(A, dns("nope.tarvolin.test", A, rcode=3)))
write("dns_answer", "a_and_aaaa", dns_seed(A, dns("tarvolin.test", A, answers=[
    rr(PTR_Q, A, ip4("203.0.113.10")), rr(PTR_Q, AAAA, bytes(15) + b"\x01")])))
write("dns_answer", "mx_ns_soa", dns_seed(MX, dns("tarvolin.test", MX, answers=[
    rr(PTR_Q, MX, struct.pack("!H", 10) + name("mail.tarvolin.test"))],
    authority=[rr(PTR_Q, NS, name("ns1.tarvolin.test")), rr(PTR_Q, SOA, soa())])))
write("dns_answer", "txt_with_line_end", dns_seed(TXT, dns("tarvolin.test", TXT, answers=[
    rr(PTR_Q, TXT, b"\x0dv=spf1 -all\r\nX" + b"\x03two")])))
write("dns_answer", "ptr", dns_seed(PTR, dns("10.113.0.203.in-addr.arpa", PTR, answers=[rr(PTR_Q, PTR, name("sip.tarvolin.test"))])))
write("dns_answer", "high_type", dns_seed(0xFF00, dns("tarvolin.test", 0xFF00, answers=[rr(PTR_Q, 0xFF00, b"\x01\x02")])))

# --- ICMP (RFC 792) -------------------------------------------------------------
def checksum(data):
    if len(data) % 2:
        data += b"\0"
    s = sum(struct.unpack("!%dH" % (len(data) // 2), data))
    while s >> 16:
        s = (s & 0xFFFF) + (s >> 16)
    return (~s) & 0xFFFF


def icmp(t, code, rest, payload):
    head = struct.pack("!BBH", t, code, 0) + rest + payload
    return struct.pack("!BBH", t, code, checksum(head)) + rest + payload


def ipv4(src, dst, payload, ttl=64, proto=1):
    h = struct.pack("!BBHHHBBH4s4s", 0x45, 0, 20 + len(payload), 0x1c46, 0, ttl, proto, 0, ip4(src), ip4(dst))
    h = h[:10] + struct.pack("!H", checksum(h)) + h[12:]
    return h + payload


ECHO_ID, ECHO_SEQ = 0x1234, 1
request = icmp(8, 0, struct.pack("!HH", ECHO_ID, ECHO_SEQ), b"kikoo")
reply = icmp(0, 0, struct.pack("!HH", ECHO_ID, ECHO_SEQ), b"kikoo")
quoted = ipv4("192.168.1.2", "203.0.113.10", request, ttl=1)[:28]
time_exceeded = icmp(11, 0, b"\0\0\0\0", quoted)
unreachable = icmp(3, 1, b"\0\0\0\0", quoted)
# Raw form: the whole IP packet as a raw ICMP socket delivers it.
write("icmp_raw", "echo_reply", ipv4("203.0.113.10", "192.168.1.2", reply))
write("icmp_raw", "echo_reply_other_source", ipv4("198.51.100.99", "192.168.1.2", reply))
write("icmp_raw", "ttl_expired", ipv4("192.168.1.1", "192.168.1.2", time_exceeded))
write("icmp_raw", "host_unreachable", ipv4("192.168.1.1", "192.168.1.2", unreachable))
# Datagram form, normal queue: 0x00, the sender's address, the ICMP message
# without the IP header.
write("icmp_datagram", "echo_reply", b"\0" + ip4("203.0.113.10") + reply)
write("icmp_datagram", "echo_reply_other_sender", b"\0" + ip4("198.51.100.99") + reply)
# Error queue: 0x01, the payload's length, the payload (our request's ICMP
# header) and one IP_RECVERR control message (struct cmsghdr on 64-bit Linux,
# struct sock_extended_err with origin ICMP, then the offender's sockaddr_in).
def recverr(icmp_type, code, offender):
    err = struct.pack("=IBBBBII", 113, 2, icmp_type, code, 0, 0, 0)
    sin = struct.pack("=H", 2) + b"\0\0" + ip4(offender) + bytes(8)
    body = err + sin
    return struct.pack("=Qii", 16 + len(body), 0, 11) + body  # IPPROTO_IP, IP_RECVERR


payload = request[:8]
write("icmp_datagram", "error_ttl_expired", b"\x01" + bytes([len(payload)]) + payload + recverr(11, 0, "192.168.1.1"))
write("icmp_datagram", "error_unreachable", b"\x01" + bytes([len(payload)]) + payload + recverr(3, 1, "192.168.1.1"))

# --- Interface listing (the system's "ip address" output) ----------------------
LISTING = (b"1: lo: <LOOPBACK,UP,LOWER_UP> mtu 65536 qdisc noqueue state UNKNOWN group default qlen 1000\n"
           b"    link/loopback 00:00:00:00:00:00 brd 00:00:00:00:00:00\n"
           b"    inet 127.0.0.1/8 scope host lo\n"
           b"       valid_lft forever preferred_lft forever\n"
           b"2: eth0: <BROADCAST,MULTICAST,UP,LOWER_UP> mtu 1500 qdisc fq_codel state UP group default qlen 1000\n"
           b"    link/ether 52:54:00:12:34:56 brd ff:ff:ff:ff:ff:ff\n"
           b"    inet 192.168.1.2/24 brd 192.168.1.255 scope global dynamic eth0\n"
           b"       valid_lft 86235sec preferred_lft 86235sec\n")
write("interface_listing", "ip_address", LISTING)
write("interface_listing", "crlf_short_lines", b"abc\r\n\r\nabcd\r\nx\rlonger line\r\n")
write("interface_listing", "cyrillic", "Интерфейс eth0: адрес 192.168.1.2\n".encode())

# --- Typed numbers ----------------------------------------------------------------
for i, text in enumerate(["5060", " 5060.5", "\t65535", "65536", "0", "-1", "1e5", "5060,5", "192.168.1.1",
                          "999999999999999999999", "5060 abc", "."]):
    write("typed_number", "n%02d" % i, text.encode())

# --- RFC 5780 Binding responses (extended NAT test) -----------------------------
XOR_MAPPED, MAPPED, ERROR_CODE, RESPONSE_ORIGIN, OTHER_ADDRESS, SOFTWARE = 0x0020, 0x0001, 0x0009, 0x802B, 0x802C, 0x8022


def stun5780(msg_type, txid12, attrs):
    body = b"".join(attrs)
    return struct.pack("!HHI", msg_type, len(body), MAGIC) + txid12 + body


def answer5780(mapped=("192.0.2.2", 10001), origin=("203.0.113.10", 3478), other=("203.0.113.11", 3479), txid12=bytes(12)):
    attrs = [xor_address_attr(XOR_MAPPED, *mapped)]
    if origin:
        attrs.append(address_attr(RESPONSE_ORIGIN, *origin))
    if other:
        attrs.append(address_attr(OTHER_ADDRESS, *other))
    return stun5780(0x0101, txid12, attrs)


TX1 = bytes(8) + struct.pack("!I", 1)
write("stun5780", "success_all", answer5780(txid12=TX1))
write("stun5780", "plain_mapped_only", stun5780(0x0101, TX1, [address_attr(MAPPED, "192.0.2.2", 10001)]))
write("stun5780", "error_420", stun5780(0x0111, TX1, [attr(ERROR_CODE, b"\0\0\x04\x14" + b"Unknown Attribute")]))
write("stun5780", "ipv6_and_software", stun5780(0x0101, TX1, [
    attr(XOR_MAPPED, struct.pack("!BBH", 0, 2, 10001) + bytes(16)), attr(SOFTWARE, b"srv"),
    address_attr(MAPPED, "192.0.2.2", 10001)]))
write("stun5780", "request", stun5780(0x0001, TX1, []))


# Extended NAT test events: a pick byte, then the datagram (fuzz_extended_nat.cpp).
def event(pick, data=b""):
    return bytes([pick]) + data


TICK = b""
ANSWER_LAST = 0x80  # ID of the last request, on its socket; sender 0 (primary)
clean_run = [event(ANSWER_LAST, answer5780()), event(ANSWER_LAST | 3, answer5780(origin=("203.0.113.11", 3478))),
             event(ANSWER_LAST | 1, answer5780(origin=("203.0.113.11", 3479)))]
clean_run += [event(ANSWER_LAST | (i % 2) << 3, answer5780(mapped=("192.0.2.2", 10001 + i))) for i in range(12)]
write("extended_nat", "server_answers", datagrams(*clean_run))
write("extended_nat", "stranger_first", datagrams(
    event(ANSWER_LAST | 5, answer5780(mapped=("198.51.100.9", 4000), origin=None, other=("198.51.100.9", 4001))),
    event(ANSWER_LAST, answer5780()), event(0x40 | ANSWER_LAST | 6, answer5780(mapped=("198.51.100.9", 4000))),
    event(ANSWER_LAST | 3, answer5780(origin=("203.0.113.11", 3478)))))
write("extended_nat", "timeouts", datagrams(TICK, TICK, TICK, event(ANSWER_LAST, answer5780()), TICK, TICK))
write("extended_nat", "hairpin_request", datagrams(
    event(ANSWER_LAST, answer5780()), event(ANSWER_LAST | 8, answer5780(mapped=("192.0.2.2", 10002))),
    event(ANSWER_LAST | 4, stun5780(0x0001, bytes(12), []))))


# Voice stream: a pick byte, then the datagram (fuzz_voice_stream.cpp).
def voice_answer(session, index, mapped=("192.0.2.2", 10001)):
    return stun5780(0x0101, b"TVLV" + struct.pack("!II", session, index), [xor_address_attr(XOR_MAPPED, *mapped)])


SESSION = 0x5EC0FFEE
write("voice_answer", "answer", voice_answer(0xA1B2C3D4, 42))
write("voice_answer", "plain_mapped", stun5780(0x0101, b"TVLV" + struct.pack("!II", 0xA1B2C3D4, 7),
                                               [address_attr(MAPPED, "192.0.2.2", 10001)]))
write("voice_answer", "error", stun5780(0x0111, b"TVLV" + struct.pack("!II", 0xA1B2C3D4, 3),
                                        [attr(ERROR_CODE, b"\0\0\x04\x14")]))
write("voice_stream", "in_order", datagrams(*[event(0x04, voice_answer(SESSION, i)) for i in range(12)]))
write("voice_stream", "late_duplicate_stranger", datagrams(
    event(0x1C), event(0x80 | 0x04, voice_answer(SESSION, 0)), event(0x80 | 0x08, voice_answer(SESSION, 0)),
    event(0x81, voice_answer(SESSION, 1, mapped=("198.51.100.9", 4000))), event(0x20, voice_answer(SESSION, 2)),
    event(0x00, voice_answer(SESSION + 1, 3))))

# --- NAT-PMP (RFC 6886 section 3.2) and PCP (RFC 6887 section 7.2): the request it answers, then the answer
write("port_mapping", "natpmp_address", b"\0" + struct.pack("!BBHI", 0, 128, 0, 1200) + ip4("192.0.2.2"))
write("port_mapping", "natpmp_refused", b"\0" + struct.pack("!BBHI", 0, 128, 3, 1200) + bytes(4))
write("port_mapping", "natpmp_to_pcp", b"\x01" + struct.pack("!BBHI", 0, 128, 1, 1200))
write("port_mapping", "pcp_announce", b"\x01" + struct.pack("!BBBBII", 2, 0x80, 0, 0, 0, 1200) + bytes(12))
write("port_mapping", "pcp_unsupp_version", b"\0" + struct.pack("!BBBBII", 2, 0x80, 0, 1, 0, 1200) + bytes(12))

# --- UPnP IGD over HTTP (UDA 1.1 sections 2 and 3): a flags byte (bit 0 closed, bit 1 description), then the answer
DESCRIPTION = (b'<?xml version="1.0"?><root xmlns="urn:schemas-upnp-org:device-1-0"><URLBase>http://192.168.1.1:5000/'
               b'</URLBase><device><deviceType>urn:schemas-upnp-org:device:InternetGatewayDevice:2</deviceType>'
               b'<friendlyName>Router</friendlyName><deviceList><device><deviceList><device><serviceList><service>'
               b'<serviceType>urn:schemas-upnp-org:service:WANIPConnection:2</serviceType>'
               b'<controlURL>/ctl/IPConn</controlURL></service><service>'
               b'<serviceType>urn:schemas-upnp-org:service:WANPPPConnection:1</serviceType>'
               b'<controlURL>/ctl/PPPConn</controlURL></service></serviceList></device></deviceList></device>'
               b'</deviceList></device></root>')
SOAP = (b'<?xml version="1.0"?><s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body>'
        b'<u:GetExternalIPAddressResponse xmlns:u="urn:schemas-upnp-org:service:WANIPConnection:2">'
        b'<NewExternalIPAddress>192.0.2.2</NewExternalIPAddress></u:GetExternalIPAddressResponse></s:Body></s:Envelope>')
FAULT = (b'<s:Envelope xmlns:s="http://schemas.xmlsoap.org/soap/envelope/"><s:Body><s:Fault><faultcode>s:Client'
         b'</faultcode><detail><UPnPError><errorCode>501</errorCode></UPnPError></detail></s:Fault></s:Body></s:Envelope>')


# Byte 0: bit 0 the answer was whole, bit 1 it answers the description GET,
# bits 2-4 its status (0: 200, 3: 500, 4: 301); then the body as received.
write("igd_answer", "description", b"\x03" + DESCRIPTION)
write("igd_answer", "description_cut", b"\x02" + DESCRIPTION[:len(DESCRIPTION) // 2])
write("igd_answer", "description_moved", b"\x13" + DESCRIPTION)
write("igd_answer", "soap_address", b"\x01" + SOAP)
write("igd_answer", "soap_fault", b"\x0d" + FAULT)
write("igd_answer", "soap_cut", b"\x00" + SOAP)
write("igd_answer", "ssdp_headers", b"\x01HTTP/1.1 200 OK\r\nServer: Linux UPnP/1.1\r\nLOCATION: "
      b"http://192.168.1.1:5000/rootDesc.xml\r\n\r\n")

# --- NAPTR and SRV (RFC 3403, RFC 2782): the type picked (byte 0, low two bits: NAPTR, SRV, A, AAAA), a seed, the answer
NAPTR = 35
DOMAIN = "tarvolin.test"


def naptr(order, pref, flags, service, replacement):
    return struct.pack("!HH", order, pref) + bytes([len(flags)]) + flags + bytes([len(service)]) + service + b"\0" + name(replacement)


write("dns_records", "naptr_three", b"\x00\x07" + dns(DOMAIN, NAPTR, answers=[
    rr(PTR_Q, NAPTR, naptr(10, 10, b"s", b"SIPS+D2T", "_sips._tcp." + DOMAIN)),
    rr(PTR_Q, NAPTR, naptr(20, 10, b"S", b"SIP+D2T", "_sip._tcp." + DOMAIN)),
    rr(PTR_Q, NAPTR, naptr(30, 10, b"s", b"SIP+D2U", "_sip._udp." + DOMAIN))]))
write("dns_records", "srv_weighted", b"\x01\x2a" + dns(SRV_NAME, SRV, answers=[
    rr(PTR_Q, SRV, struct.pack("!HHH", 10, 60, 5060) + name("sip1." + DOMAIN)),
    rr(PTR_Q, SRV, struct.pack("!HHH", 10, 0, 5060) + name("sip2." + DOMAIN)),
    rr(PTR_Q, SRV, struct.pack("!HHH", 5, 40, 5080) + name("sip3." + DOMAIN))]))
write("dns_records", "a_two", b"\x02\x00" + dns(DOMAIN, A, answers=[rr(PTR_Q, A, ip4("203.0.113.10")),
                                                                   rr(PTR_Q, A, ip4("203.0.113.11"))]))
write("dns_records", "aaaa_after_cname", b"\x03\x00" + dns(DOMAIN, AAAA, answers=[
    rr(PTR_Q, CNAME, name("sip." + DOMAIN)), rr(name("sip." + DOMAIN), AAAA, bytes(15) + b"\x01")]))
write("dns_records", "srv_servfail", b"\x01\x00" + dns(SRV_NAME, SRV, rcode=2))

# --- SIP OPTIONS answers (RFC 3261 section 11): the tag of the harness's request
TAG = b"tvl0123abcd"


def options_answer(status, tag=TAG, branch=TAG, cseq=b"1 OPTIONS"):
    return (b"SIP/2.0 " + status + b"\r\nVia: SIP/2.0/UDP 192.168.1.10:40000;branch=z9hG4bK" + branch +
            b";rport=40000;received=192.0.2.2\r\nFrom: <sip:tarvolin@" + DOMAIN.encode() + b">;tag=" + tag +
            b"\r\nTo: <sip:" + DOMAIN.encode() + b">;tag=as1\r\nCall-ID: " + tag + b"@192.168.1.10:40000\r\nCSeq: " +
            cseq + b"\r\nContent-Length: 0\r\n\r\n")


write("sip_options", "ok", options_answer(b"200 OK"))
write("sip_options", "other_branch", options_answer(b"200 OK", branch=b"tvlffffffff"))
write("sip_options", "other_call", options_answer(b"404 Not Found", tag=b"tvl99999999"))
write("sip_options", "compact_bare_lf", options_answer(b"483 Too Many Hops").replace(b"\r\n", b"\n")
      .replace(b"Call-ID:", b"i:").replace(b"Via:", b"v:"))

# --- Routing table (/proc/net/route) ------------------------------------------------
ROUTES_HEADER = b"Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
write("route_table", "home_router", ROUTES_HEADER
      + b"eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
      + b"eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n")
write("route_table", "two_defaults", ROUTES_HEADER
      + b"wlan0\t00000000\t0100000A\t0003\t0\t0\t600\t00000000\t0\t0\t0\n"
      + b"eth0\t00000000\tFE0110AC\t0003\t0\t0\t100\t00000000\t0\t0\t0\n")
write("route_table", "point_to_point", ROUTES_HEADER + b"ppp0\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n")

# --- SIP mirror answers ---------------------------------------------------------------
write("sip_mirror", "answer", b"SIP/2.0 200 OK\r\n"
      b"Via: SIP/2.0/UDP 192.168.1.10:5060;branch=z9hG4bKfuzz;rport=5060;received=192.0.2.2\r\n"
      b"Call-ID: c0ffee@tarvolin\r\nCSeq: 7 INVITE\r\nTarvolin-Source: udp 192.0.2.2 5060\r\n"
      b"Content-Type: message/sip\r\nContent-Length: 12\r\n\r\nSU5WSVRFIHNp")

# --- The user's languages (colon-separated, as LANGUAGE) and --lang values ------------
for i, text in enumerate(["en-US:en", "ru-RU:ru", "C", "de:en:ru", "fr:ru:en-GB", "en_GB", "EN-us", "eo:enq", "ru", "en", ""]):
    write("ui_languages", "l%02d" % i, text.encode())

# --- IPv6 netlink dumps (RTM_NEWADDR, RTM_NEWROUTE, host byte order) -----------------
import ipaddress


def nlattr(t, value):
    pad = (4 - len(value) % 4) % 4
    return struct.pack("=HH", 4 + len(value), t) + value + b"\0" * pad


def nlmsg(t, body):
    return struct.pack("=IHHII", 16 + len(body), t, 2, 1, 0) + body


def ip6(text):
    return ipaddress.IPv6Address(text).packed


def newaddr(index, address, flags=0, prefix=64, scope=0):
    body = struct.pack("=BBBBI", 10, prefix, flags & 0xFF, scope, index) + nlattr(1, ip6(address))
    return nlmsg(20, body + nlattr(8, struct.pack("=I", flags)))


def newroute(dst_len, attrs):
    return nlmsg(24, struct.pack("=BBBBBBBBI", 10, dst_len, 0, 0, 254, 3, 0, 1, 0) + b"".join(attrs))


NLMSG_DONE = nlmsg(3, struct.pack("=i", 0))
write("ipv6_netlink", "home_addresses", newaddr(2, "2001:db8:1::5") + newaddr(2, "2001:db8:1::abcd", 0x01)
      + newaddr(2, "fd00::5") + newaddr(2, "fe80::1", 0x80, scope=253) + NLMSG_DONE)
write("ipv6_netlink", "routes", newroute(64, [nlattr(1, ip6("2001:db8:1::")), nlattr(4, struct.pack("=I", 2))])
      + newroute(0, [nlattr(5, ip6("fe80::1")), nlattr(4, struct.pack("=I", 2)), nlattr(15, struct.pack("=I", 254))])
      + NLMSG_DONE)


def xor_address6_attr(t, address, port, txid12):
    mask = struct.pack("!I", MAGIC) + txid12
    a = bytes(x ^ y for x, y in zip(ip6(address), mask))
    return attr(t, struct.pack("!BBH", 0, 2, port ^ (MAGIC >> 16)) + a)


TX6 = bytes(range(1, 13))
write("stun5780", "ipv6_answer", stun5780(0x0101, TX6, [
    xor_address6_attr(0x0020, "2001:db8:1::5", 40000, TX6),
    attr(0x802B, struct.pack("!BBH", 0, 2, 3478) + ip6("2001:db8:1::10")),
    attr(0x802C, struct.pack("!BBH", 0, 2, 3479) + ip6("2001:db8:1::11"))]))

# --- ICMPv6 echo replies (first byte picks the sender) --------------------------------
write("icmp6_reply", "reply", b"\x00" + bytes([129, 0, 0, 0, 0x12, 0x34, 0, 1]) + b"tarvolin-ipv6")
write("icmp6_reply", "unreachable", b"\x00" + bytes([1, 4, 0, 0, 0, 0, 0, 0]) + bytes(40))
