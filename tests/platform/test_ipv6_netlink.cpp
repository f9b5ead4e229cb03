// SPDX-License-Identifier: Apache-2.0
// The routing netlink dumps read for IPv6 addresses and routes: messages as
// the kernel lays them out, cut and malformed ones, and this machine's own.
#include <QTest>

#include "platform/ipv6_netlink.h"

#include <QHostAddress>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netinet/in.h>

using namespace platform;

namespace {

QByteArray Attr(int type, const QByteArray& value)
{
    rtattr a{};
    a.rta_len = static_cast<unsigned short>(sizeof(rtattr) + value.size());
    a.rta_type = static_cast<unsigned short>(type);
    QByteArray out(reinterpret_cast<const char*>(&a), sizeof(a));
    out += value;
    while (out.size() % 4)
        out += '\0';
    return out;
}

QByteArray Raw(const char* text)
{
    const Q_IPV6ADDR a = QHostAddress(QString::fromLatin1(text)).toIPv6Address();
    return QByteArray(reinterpret_cast<const char*>(a.c), 16);
}

QByteArray U32(uint32_t v)
{
    return QByteArray(reinterpret_cast<const char*>(&v), 4);
}

template <typename Body>
QByteArray Message(int type, const Body& body, const QByteArray& attributes)
{
    nlmsghdr h{};
    h.nlmsg_len = static_cast<uint32_t>(sizeof(h) + sizeof(body) + attributes.size());
    h.nlmsg_type = static_cast<uint16_t>(type);
    return QByteArray(reinterpret_cast<const char*>(&h), sizeof(h))
           + QByteArray(reinterpret_cast<const char*>(&body), sizeof(body)) + attributes;
}

QByteArray Address(int family, int index, int flags, const QByteArray& attributes)
{
    ifaddrmsg m{};
    m.ifa_family = static_cast<uint8_t>(family);
    m.ifa_prefixlen = 64;
    m.ifa_flags = static_cast<uint8_t>(flags);
    m.ifa_index = static_cast<uint32_t>(index);
    return Message(RTM_NEWADDR, m, attributes);
}

QByteArray Route(int dstLength, const QByteArray& attributes)
{
    rtmsg m{};
    m.rtm_family = AF_INET6;
    m.rtm_dst_len = static_cast<uint8_t>(dstLength);
    m.rtm_table = RT_TABLE_MAIN;
    m.rtm_type = RTN_UNICAST;
    return Message(RTM_NEWROUTE, m, attributes);
}

QByteArray Done()
{
    nlmsghdr h{};
    h.nlmsg_len = sizeof(h);
    h.nlmsg_type = NLMSG_DONE;
    return QByteArray(reinterpret_cast<const char*>(&h), sizeof(h));
}

}  // namespace

class TestIpv6Netlink : public QObject {
    Q_OBJECT
private slots:
    void addresses_data();
    void addresses();
    void routes();
    void thisMachine();
};

void TestIpv6Netlink::addresses_data()
{
    QTest::addColumn<QByteArray>("dump");
    QTest::addColumn<QStringList>("expected");  // "index address flags"

    const QByteArray stable = Address(AF_INET6, 2, 0, Attr(IFA_ADDRESS, Raw("2001:db8:1::5")));
    const QByteArray temporary = Address(AF_INET6, 2, 0x01, Attr(IFA_ADDRESS, Raw("2001:db8:1::abcd")));
    QTest::newRow("two addresses then done") << stable + temporary + Done()
                                             << QStringList{"2 2001:db8:1::5 0", "2 2001:db8:1::abcd 1"};
    QTest::newRow("IFA_FLAGS wins over the 8-bit field")
        << Address(AF_INET6, 3, 0, Attr(IFA_ADDRESS, Raw("fd00::1")) + Attr(IFA_FLAGS, U32(0x801)))
        << QStringList{"3 fd00::1 2049"};
    QTest::newRow("IFA_LOCAL is the local end of a point-to-point link")
        << Address(AF_INET6, 4, 0, Attr(IFA_ADDRESS, Raw("2001:db8::2")) + Attr(IFA_LOCAL, Raw("2001:db8::1")))
        << QStringList{"4 2001:db8::1 0"};
    QTest::newRow("IPv4 message skipped")
        << Address(AF_INET, 2, 0, Attr(IFA_ADDRESS, QByteArray("\xc0\x00\x02\x01", 4))) + stable
        << QStringList{"2 2001:db8:1::5 0"};
    QTest::newRow("address of 4 bytes in an IPv6 message ignored")
        << Address(AF_INET6, 2, 0, Attr(IFA_ADDRESS, QByteArray(4, '\1'))) << QStringList{};
    QTest::newRow("nothing read after done") << Done() + stable << QStringList{};
    QTest::newRow("message cut short") << stable.left(stable.size() - 1) << QStringList{};
    QByteArray longAttr = stable;
    longAttr[int(sizeof(nlmsghdr) + sizeof(ifaddrmsg))] = char(60);  // rta_len past the message
    QTest::newRow("attribute longer than its message") << longAttr + temporary
                                                       << QStringList{"2 2001:db8:1::abcd 1"};
    QByteArray zero = stable;
    std::memset(zero.data(), 0, 4);  // nlmsg_len 0
    QTest::newRow("zero message length stops") << zero + temporary << QStringList{};
}

void TestIpv6Netlink::addresses()
{
    QFETCH(QByteArray, dump);
    QFETCH(QStringList, expected);
    QStringList got;
    for (const Ipv6InterfaceAddress& a : ReadIpv6AddressMessages(dump))
        got << QStringLiteral("%1 %2 %3").arg(a.interfaceIndex).arg(a.address).arg(a.flags);
    QCOMPARE(got, expected);
}

void TestIpv6Netlink::routes()
{
    const QByteArray dump = Route(64, Attr(RTA_DST, Raw("2001:db8:1::")) + Attr(RTA_OIF, U32(2)))
                            + Route(0, Attr(RTA_GATEWAY, Raw("fe80::1")) + Attr(RTA_OIF, U32(2))
                                           + Attr(RTA_TABLE, U32(RT_TABLE_MAIN)))
                            + Route(200, Attr(RTA_OIF, U32(9)));  // prefix over 128: skipped
    const QList<Ipv6Route> r = ReadIpv6RouteMessages(dump + Done());
    QCOMPARE(r.size(), 2);
    QCOMPARE(r[0].destination, QStringLiteral("2001:db8:1::"));
    QCOMPARE(r[0].prefixLength, 64);
    QCOMPARE(r[0].gateway, QString());
    QCOMPARE(r[1].destination, QString());
    QCOMPARE(r[1].gateway, QStringLiteral("fe80::1"));
    QCOMPARE(r[1].interfaceIndex, 2);
    QCOMPARE(r[1].table, int(RT_TABLE_MAIN));
}

// This machine's loopback carries ::1 (when IPv6 is on at all).
void TestIpv6Netlink::thisMachine()
{
    const Ipv6SystemFacts facts = ReadIpv6SystemFacts();
    QVERIFY(facts.readable);
    bool loopback = false;
    for (const Ipv6InterfaceAddress& a : facts.addresses)
        loopback = loopback || (a.address == QLatin1String("::1") && a.interfaceIndex == 1 && a.prefixLength == 128);
    QVERIFY(loopback);
    QCOMPARE(facts.hasDefaultRoute, facts.defaultInterface != 0);
}

QTEST_GUILESS_MAIN(TestIpv6Netlink)
#include "test_ipv6_netlink.moc"
