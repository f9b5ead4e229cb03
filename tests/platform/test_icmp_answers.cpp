// SPDX-License-Identifier: Apache-2.0
// Parsing of what the ICMP sockets hand over: which packets answer the echo
// that is waited for, and which belong to somebody else.
#include "platform/icmp_socket.h"

#include <QtTest>

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

using platform::IcmpAnswer;

namespace {

constexpr uint16_t kId = 0x1234;
constexpr uint16_t kSeq = 7;

uint32_t Addr(const char* dotted)
{
    in_addr a{};
    inet_pton(AF_INET, dotted, &a);
    return a.s_addr;
}

QByteArray IpHeader(const char* from, const char* to, int protocol)
{
    QByteArray h(20, '\0');
    h[0] = char(0x45);
    h[9] = char(protocol);
    const uint32_t s = Addr(from), d = Addr(to);
    std::memcpy(h.data() + 12, &s, 4);
    std::memcpy(h.data() + 16, &d, 4);
    return h;
}

QByteArray IcmpHeader(int type, int code, uint16_t id, uint16_t seq)
{
    QByteArray h(8, '\0');
    h[0] = char(type);
    h[1] = char(code);
    h[4] = char(id >> 8);
    h[5] = char(id & 0xFF);
    h[6] = char(seq >> 8);
    h[7] = char(seq & 0xFF);
    return h;
}

// An ICMP error from `from` quoting our echo request to `quotedTo`.
QByteArray ErrorPacket(const char* from, int type, int code, const char* quotedTo, uint16_t seq)
{
    return IpHeader(from, "198.51.100.2", IPPROTO_ICMP) + IcmpHeader(type, code, 0, 0) +
           IpHeader("198.51.100.2", quotedTo, IPPROTO_ICMP) + IcmpHeader(8, 0, kId, seq);
}

const auto* Bytes(const QByteArray& a)
{
    return reinterpret_cast<const unsigned char*>(a.constData());
}

// Control data as recvmsg(MSG_ERRQUEUE) lays it out: one IP_RECVERR message.
QByteArray ErrorControl(int origin, int type, int code, const char* offender)
{
    QByteArray control(int(CMSG_SPACE(sizeof(sock_extended_err) + sizeof(sockaddr_in))), '\0');
    auto* c = reinterpret_cast<cmsghdr*>(control.data());
    c->cmsg_level = IPPROTO_IP;
    c->cmsg_type = IP_RECVERR;
    c->cmsg_len = CMSG_LEN(sizeof(sock_extended_err) + sizeof(sockaddr_in));
    sock_extended_err ee{};
    ee.ee_origin = uint8_t(origin);
    ee.ee_type = uint8_t(type);
    ee.ee_code = uint8_t(code);
    std::memcpy(CMSG_DATA(c), &ee, sizeof ee);
    sockaddr_in sin{};
    sin.sin_family = AF_INET;
    sin.sin_addr.s_addr = Addr(offender);
    std::memcpy(CMSG_DATA(c) + sizeof ee, &sin, sizeof sin);
    return control;
}

}  // namespace

class TestIcmpAnswers : public QObject {
    Q_OBJECT
private slots:
    void rawPacket_data()
    {
        QTest::addColumn<QByteArray>("packet");
        QTest::addColumn<bool>("matched");
        QTest::addColumn<uint>("status");
        QTest::addColumn<QString>("from");

        const QByteArray reply = IpHeader("203.0.113.10", "198.51.100.2", IPPROTO_ICMP) + IcmpHeader(0, 0, kId, kSeq);
        QTest::newRow("echo reply from the destination") << reply << true << 0u << "203.0.113.10";
        QTest::newRow("echo reply from another host") << IpHeader("203.0.113.99", "198.51.100.2", IPPROTO_ICMP) +
                                                             IcmpHeader(0, 0, kId, kSeq)
                                                      << false << 0u << "";
        QTest::newRow("other identifier") << IpHeader("203.0.113.10", "198.51.100.2", IPPROTO_ICMP) +
                                                 IcmpHeader(0, 0, kId + 1, kSeq)
                                          << false << 0u << "";
        QTest::newRow("earlier sequence") << IpHeader("203.0.113.10", "198.51.100.2", IPPROTO_ICMP) +
                                                 IcmpHeader(0, 0, kId, kSeq - 1)
                                          << false << 0u << "";
        QTest::newRow("reply cut inside the ICMP header") << reply.left(27) << false << 0u << "";
        QTest::newRow("time exceeded from a router")
            << ErrorPacket("198.51.100.1", 11, 0, "203.0.113.10", kSeq) << true << 11013u << "198.51.100.1";
        QTest::newRow("port unreachable") << ErrorPacket("203.0.113.10", 3, 3, "203.0.113.10", kSeq) << true
                                          << 11005u << "203.0.113.10";
        QTest::newRow("error about an echo to another address")
            << ErrorPacket("198.51.100.1", 11, 0, "203.0.113.11", kSeq) << false << 0u << "";
        QTest::newRow("error about another sequence")
            << ErrorPacket("198.51.100.1", 11, 0, "203.0.113.10", kSeq + 1) << false << 0u << "";
        QTest::newRow("error with the quote cut short")
            << ErrorPacket("198.51.100.1", 11, 0, "203.0.113.10", kSeq).left(20 + 8 + 20 + 4) << false << 0u << "";
        QByteArray badIhl = ErrorPacket("198.51.100.1", 11, 0, "203.0.113.10", kSeq);
        badIhl[0] = char(0x4F);  // header length 60 bytes, longer than the packet allows
        QTest::newRow("header length past the end") << badIhl << false << 0u << "";
        QTest::newRow("redirect is no answer")
            << ErrorPacket("198.51.100.1", 5, 0, "203.0.113.10", kSeq) << false << 0u << "";
        QTest::newRow("empty") << QByteArray() << false << 0u << "";
    }
    void rawPacket()
    {
        QFETCH(QByteArray, packet);
        QFETCH(bool, matched);
        QFETCH(uint, status);
        QFETCH(QString, from);
        const IcmpAnswer a =
            platform::ParseRawIcmpPacket(Bytes(packet), size_t(packet.size()), kId, kSeq, Addr("203.0.113.10"));
        QCOMPARE(a.matched, matched);
        if (matched) {
            QCOMPARE(a.status, status);
            QCOMPARE(a.from, Addr(from.toLatin1().constData()));
        }
    }

    void datagramReply_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("from");
        QTest::addColumn<bool>("matched");
        QTest::newRow("reply from the destination") << IcmpHeader(0, 0, 0, kSeq) << "203.0.113.10" << true;
        QTest::newRow("reply from another host") << IcmpHeader(0, 0, 0, kSeq) << "203.0.113.99" << false;
        QTest::newRow("other sequence") << IcmpHeader(0, 0, 0, kSeq + 1) << "203.0.113.10" << false;
        QTest::newRow("not an echo reply") << IcmpHeader(8, 0, 0, kSeq) << "203.0.113.10" << false;
        QTest::newRow("shorter than a header") << IcmpHeader(0, 0, 0, kSeq).left(7) << "203.0.113.10" << false;
    }
    void datagramReply()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, from);
        QFETCH(bool, matched);
        const IcmpAnswer a = platform::ParseDatagramReply(Bytes(datagram), size_t(datagram.size()),
                                                          Addr(from.toLatin1().constData()), kSeq,
                                                          Addr("203.0.113.10"));
        QCOMPARE(a.matched, matched);
    }

    void errorQueueRecord_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("control");
        QTest::addColumn<bool>("matched");
        QTest::addColumn<uint>("status");
        const QByteArray request = IcmpHeader(8, 0, 0, kSeq);
        const QByteArray ttl = ErrorControl(SO_EE_ORIGIN_ICMP, 11, 0, "198.51.100.1");
        QTest::newRow("time exceeded") << request << ttl << true << 11013u;
        QTest::newRow("host unreachable") << request << ErrorControl(SO_EE_ORIGIN_ICMP, 3, 1, "198.51.100.1")
                                          << true << 11003u;
        QTest::newRow("other sequence") << IcmpHeader(8, 0, 0, kSeq + 1) << ttl << false << 0u;
        QTest::newRow("payload shorter than a header") << request.left(6) << ttl << false << 0u;
        QTest::newRow("local error, not ICMP") << request << ErrorControl(SO_EE_ORIGIN_LOCAL, 11, 0, "0.0.0.0")
                                               << false << 0u;
        QByteArray overlong = ttl;
        reinterpret_cast<cmsghdr*>(overlong.data())->cmsg_len = size_t(overlong.size()) + 64;
        QTest::newRow("control length past the buffer") << request << overlong << false << 0u;
        QTest::newRow("control cut inside the record") << request << ttl.left(int(CMSG_LEN(4))) << false << 0u;
        QTest::newRow("no control data") << request << QByteArray() << false << 0u;
    }
    void errorQueueRecord()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, control);
        QFETCH(bool, matched);
        QFETCH(uint, status);
        // Control data is handed over aligned, as recvmsg fills it.
        QByteArray aligned(control.size() + 16, '\0');
        const auto offset = (alignof(cmsghdr) - reinterpret_cast<uintptr_t>(aligned.constData()) % alignof(cmsghdr)) %
                            alignof(cmsghdr);
        std::memcpy(aligned.data() + offset, control.constData(), size_t(control.size()));
        const IcmpAnswer a =
            platform::ParseErrorQueueRecord(Bytes(payload), size_t(payload.size()),
                                            Bytes(aligned) + offset, size_t(control.size()), kSeq);
        QCOMPARE(a.matched, matched);
        if (matched) {
            QCOMPARE(a.status, status);
            QCOMPARE(a.from, Addr("198.51.100.1"));
        }
    }
};

QTEST_APPLESS_MAIN(TestIcmpAnswers)
#include "test_icmp_answers.moc"
