// SPDX-License-Identifier: Apache-2.0
// The window-owned UDP socket: binding, and datagrams both ways.
#include <QTest>

#include "platform/udp_socket.h"
#include "support/loopback_peer.h"

#include <QSignalSpy>

using platform::UdpSocket;
using testsupport::LoopbackPeer;

class TestUdpSocket : public QObject {
    Q_OBJECT
private slots:
    void bindsAndRefusesATakenPort();
    void datagramsBothWays_data();
    void datagramsBothWays();
};

void TestUdpSocket::bindsAndRefusesATakenPort()
{
    UdpSocket a;
    QVERIFY(a.bind(0));
    QVERIFY(a.localPort() > 0);
    UdpSocket b;
    QVERIFY(!b.bind(a.localPort()));
    QVERIFY(!b.isOpen());
    QCOMPARE(b.localPort(), 0);
    const int port = a.localPort();
    a.close();
    QVERIFY(b.bind(port));
    QCOMPARE(b.localPort(), port);
}

void TestUdpSocket::datagramsBothWays_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<bool>("ipv6");
    QTest::addColumn<QString>("peerAddress");
    QTest::addColumn<QString>("otherFamily");  // refused by this socket
    const QString v4 = QStringLiteral("127.0.0.2"), v6 = QStringLiteral("::1");
    QTest::newRow("empty") << QByteArray() << false << v4 << v6;
    QTest::newRow("binary") << QByteArray("\x00\x01\x80\xff\x21\x12\xa4\x42", 8) << false << v4 << v6;
    QTest::newRow("1500 bytes") << QByteArray(1500, '\xaa') << false << v4 << v6;
    QTest::newRow("IPv6 binary") << QByteArray("\x00\x01\x80\xff\x21\x12\xa4\x42", 8) << true << v6 << v4;
    QTest::newRow("IPv6 1500 bytes") << QByteArray(1500, '\xaa') << true << v6 << QStringLiteral("::ffff:127.0.0.2x");
}

void TestUdpSocket::datagramsBothWays()
{
    QFETCH(QByteArray, payload);
    QFETCH(bool, ipv6);
    QFETCH(QString, peerAddress);
    QFETCH(QString, otherFamily);
    LoopbackPeer peer{QHostAddress(peerAddress)};
    QVERIFY(peer.isBound());
    UdpSocket socket;
    QVERIFY(socket.bind(0, ipv6 ? UdpSocket::Family::Ipv6 : UdpSocket::Family::Ipv4));
    QVERIFY(!socket.sendTo(otherFamily, peer.port(), payload));
    QVERIFY(socket.sendTo(peerAddress, peer.port(), payload));
    const auto got = peer.receive();
    QVERIFY(got);
    QCOMPARE(got->data, payload);
    QCOMPARE(got->senderPort, socket.localPort());

    QSignalSpy ready(&socket, &UdpSocket::readyRead);
    QVERIFY(peer.sendTo(socket.localPort(), payload, QHostAddress(ipv6 ? QStringLiteral("::1") : QStringLiteral("127.0.0.1"))));
    QVERIFY(ready.wait(2000));
    const auto back = socket.receive();
    QVERIFY(back);
    QCOMPARE(back->data, payload);
    QCOMPARE(back->fromAddress, peerAddress);
    QCOMPARE(back->fromPort, peer.port());
    QVERIFY(!socket.receive());
    QVERIFY(!socket.sendTo(QStringLiteral("peer.example"), peer.port(), payload));
}

QTEST_GUILESS_MAIN(TestUdpSocket)
#include "test_udp_socket.moc"
