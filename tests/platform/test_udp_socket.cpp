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
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("binary") << QByteArray("\x00\x01\x80\xff\x21\x12\xa4\x42", 8);
    QTest::newRow("1500 bytes") << QByteArray(1500, '\xaa');
}

void TestUdpSocket::datagramsBothWays()
{
    QFETCH(QByteArray, payload);
    LoopbackPeer peer(QHostAddress(QStringLiteral("127.0.0.2")));
    QVERIFY(peer.isBound());
    UdpSocket socket;
    QVERIFY(socket.bind(0));
    QVERIFY(socket.sendTo(QStringLiteral("127.0.0.2"), peer.port(), payload));
    const auto got = peer.receive();
    QVERIFY(got);
    QCOMPARE(got->data, payload);
    QCOMPARE(got->senderPort, socket.localPort());

    QSignalSpy ready(&socket, &UdpSocket::readyRead);
    QVERIFY(peer.sendTo(socket.localPort(), payload));
    QVERIFY(ready.wait(2000));
    const auto back = socket.receive();
    QVERIFY(back);
    QCOMPARE(back->data, payload);
    QCOMPARE(back->fromAddress, QStringLiteral("127.0.0.2"));
    QCOMPARE(back->fromPort, peer.port());
    QVERIFY(!socket.receive());
    QVERIFY(!socket.sendTo(QStringLiteral("peer.example"), peer.port(), payload));
}

QTEST_GUILESS_MAIN(TestUdpSocket)
#include "test_udp_socket.moc"
