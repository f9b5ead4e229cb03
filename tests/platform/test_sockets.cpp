// SPDX-License-Identifier: Apache-2.0
#include "platform/socket_set.h"
#include "platform/user_message.h"
#include "support/loopback_peer.h"

#include <QFile>
#include <QTcpServer>
#include <QtTest>

#include <arpa/inet.h>
#include <memory>

using namespace platform;
using testsupport::FreeTcpPort;
using testsupport::FreeUdpPort;
using testsupport::LoopbackPeer;

namespace {

const QString kLoopback = QStringLiteral("127.0.0.1");

uint32_t stored(const char* dotted)
{
    in_addr address{};
    inet_aton(dotted, &address);
    return address.s_addr;
}

QByteArray pattern(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = static_cast<char>((i * 7 + 3) % 256);
    return data;
}

// The lowest port the system hands out for port 0.
int ephemeralMinimum()
{
    QFile range(QStringLiteral("/proc/sys/net/ipv4/ip_local_port_range"));
    if (!range.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> parts = range.readAll().simplified().split(' ');
    return parts.isEmpty() ? -1 : parts.first().toInt();
}

}  // namespace

class TestSockets : public QObject {
    Q_OBJECT
private slots:
    void closeBeforeAnyOpenIsHarmless();
    void init();
    void cleanup();

    void receiveDatagramSizes_data();
    void receiveDatagramSizes();
    void receiveWithNothingQueued();
    void allByteValuesRoundTrip();
    void probePortIsReadBack();
    void senderPortAbove32767();
    void fixedPortGranted();
    void fixedPortTaken_data();
    void fixedPortTaken();
    void closeTwiceThenReopen();
    void sendToNonDottedTextSendsNothing();

    void oneEventPerQueuedDatagram();
    void unreadSocketDoesNotSpin();
    void handlerMayReopenTheSet();
    void nestedLoopHandlerMayCloseTheSet();
    void destroyedSinkIsSkipped();

    void tcpConnectRaisesWritableOnce();
    void tcpRefusedOrUnusedRaisesNothing_data();
    void tcpRefusedOrUnusedRaisesNothing();

    void resolveHost_data();
    void resolveHost();
    void longToAddress_data();
    void longToAddress();

private:
    void openOn(int port);
    QWidget* m_window = nullptr;
    NotificationSink* m_probeSink = nullptr;
    NotificationSink* m_fixedSink = nullptr;
    NotificationSink* m_tcpSink = nullptr;
    int m_probeEvents = 0;
    int m_fixedEvents = 0;
    int m_tcpEvents = 0;
    QList<UserMessage> m_messages;
    MessageHandler m_previousHandler;
};

void TestSockets::closeBeforeAnyOpenIsHarmless()
{
    QList<UserMessage> messages;
    const MessageHandler previous = SetMessageHandler([&](const UserMessage& m) { messages << m; });
    QCOMPARE(ProbeLocalPort(), 0);
    QVERIFY(!SocketsOpen());
    CloseSockets();
    CloseSockets();
    QVERIFY(!SocketsOpen());
    QString from = QStringLiteral("x");
    int fromPort = -1;
    SocketData data("keep");
    SocketReceive(SocketId::Probe, from, fromPort, data);
    QCOMPARE(from, QStringLiteral("0.0.0.0"));
    QCOMPARE(fromPort, 0);
    QCOMPARE(data, SocketData("keep"));
    SetMessageHandler(previous);
    QVERIFY(messages.isEmpty());
}

void TestSockets::init()
{
    m_messages.clear();
    m_previousHandler = SetMessageHandler([this](const UserMessage& m) { m_messages << m; });
    m_window = new QWidget;
    m_probeSink = new NotificationSink(m_window);
    m_fixedSink = new NotificationSink(m_window);
    m_tcpSink = new NotificationSink(m_window);
    m_probeEvents = m_fixedEvents = m_tcpEvents = 0;
    connect(m_probeSink, &NotificationSink::ready, this, [this] { ++m_probeEvents; });
    connect(m_fixedSink, &NotificationSink::ready, this, [this] { ++m_fixedEvents; });
    connect(m_tcpSink, &NotificationSink::ready, this, [this] { ++m_tcpEvents; });
}

void TestSockets::cleanup()
{
    CloseSockets();
    delete m_window;
    m_window = nullptr;
    SetMessageHandler(m_previousHandler);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void TestSockets::openOn(int port)
{
    OpenSockets(port, m_probeSink, m_fixedSink, m_tcpSink);
}

void TestSockets::receiveDatagramSizes_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("whole");
    QTest::newRow("empty") << 0 << true;
    QTest::newRow("1 byte") << 1 << true;
    QTest::newRow("1023 bytes") << 1023 << true;
    QTest::newRow("1024 bytes") << 1024 << true;
    QTest::newRow("1025 bytes") << 1025 << false;
    QTest::newRow("1500 bytes") << 1500 << false;
    QTest::newRow("60000 bytes") << 60000 << false;
}

void TestSockets::receiveDatagramSizes()
{
    QFETCH(int, size);
    QFETCH(bool, whole);
    const int port = FreeUdpPort();
    QVERIFY(port > 0);
    openOn(port);
    QVERIFY(m_messages.isEmpty());

    LoopbackPeer peer;
    QVERIFY(peer.isBound());
    const QByteArray sent = pattern(size);
    QVERIFY(peer.sendTo(port, sent));
    QTRY_COMPARE_WITH_TIMEOUT(m_fixedEvents, 1, 2000);

    QString from;
    int fromPort = -1;
    SocketData data("untouched");
    SocketReceive(SocketId::Fixed, from, fromPort, data);
    QCOMPARE(from, kLoopback);
    QCOMPARE(fromPort, peer.port());
    if (whole)
        QCOMPARE(data, sent);
    else
        QCOMPARE(data, SocketData("untouched"));

    // The datagram is gone either way: the next one is read next.
    QVERIFY(peer.sendTo(port, "next"));
    QTRY_COMPARE_WITH_TIMEOUT(m_fixedEvents, 2, 2000);
    SocketData next;
    SocketReceive(SocketId::Fixed, from, fromPort, next);
    QCOMPARE(next, SocketData("next"));
    QCOMPARE(m_probeEvents, 0);
}

void TestSockets::receiveWithNothingQueued()
{
    openOn(FreeUdpPort());
    for (SocketId id : {SocketId::Probe, SocketId::Fixed}) {
        QString from = QStringLiteral("stale");
        int fromPort = 1234;
        SocketData data;
        SocketReceive(id, from, fromPort, data);
        QCOMPARE(from, QStringLiteral("0.0.0.0"));
        QCOMPARE(fromPort, 0);
        QVERIFY(data.isEmpty());
    }
    QTest::qWait(50);
    QCOMPARE(m_probeEvents + m_fixedEvents, 0);
}

void TestSockets::allByteValuesRoundTrip()
{
    openOn(FreeUdpPort());
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = static_cast<char>(i);

    LoopbackPeer peer;
    QVERIFY(peer.isBound());
    SocketSend(SocketId::Probe, kLoopback, peer.port(), all, false);
    const auto received = peer.receive(2000);
    QVERIFY(received.has_value());
    QCOMPARE(received->data, all);
    QCOMPARE(received->senderPort, ProbeLocalPort());

    QVERIFY(peer.sendTo(ProbeLocalPort(), all));
    QTRY_COMPARE_WITH_TIMEOUT(m_probeEvents, 1, 2000);
    QString from;
    int fromPort = 0;
    SocketData data;
    SocketReceive(SocketId::Probe, from, fromPort, data);
    QCOMPARE(data, all);
    QCOMPARE(data.size(), 256);
}

void TestSockets::probePortIsReadBack()
{
    openOn(FreeUdpPort());
    const int first = ProbeLocalPort();
    QVERIFY(first > 0 && first <= 65535);
    const int minimum = ephemeralMinimum();
    if (minimum > 32767)
        QVERIFY2(first > 32767, qPrintable(QString::number(first)));

    // The port stored is the one the socket really uses.
    LoopbackPeer peer;
    SocketSend(SocketId::Probe, kLoopback, peer.port(), "p", false);
    const auto received = peer.receive(2000);
    QVERIFY(received.has_value());
    QCOMPARE(received->senderPort, first);

    SetProbeLocalPort(0);
    QCOMPARE(ProbeLocalPort(), 0);
    CloseSockets();
    QCOMPARE(ProbeLocalPort(), 0);
    openOn(FreeUdpPort());
    QVERIFY(ProbeLocalPort() > 0);
}

void TestSockets::senderPortAbove32767()
{
    const int port = FreeUdpPort();
    openOn(port);
    const int high = FreeUdpPort(40000);
    QVERIFY(high > 40000);
    LoopbackPeer peer(QHostAddress(kLoopback), static_cast<quint16>(high));
    QVERIFY(peer.isBound());
    QVERIFY(peer.sendTo(port, "from a high port"));
    QTRY_COMPARE_WITH_TIMEOUT(m_fixedEvents, 1, 2000);
    QString from;
    int fromPort = 0;
    SocketData data;
    SocketReceive(SocketId::Fixed, from, fromPort, data);
    QCOMPARE(fromPort, high);
    QCOMPARE(data, SocketData("from a high port"));
}

void TestSockets::fixedPortGranted()
{
    const int port = FreeUdpPort(32767);
    QVERIFY(port > 32767);
    openOn(port);
    QVERIFY(SocketsOpen());
    QCOMPARE(FixedLocalPort(), port);
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
}

void TestSockets::fixedPortTaken_data()
{
    QTest::addColumn<QString>("holderAddress");
    QTest::newRow("held on any address") << QStringLiteral("0.0.0.0");
    QTest::newRow("held on loopback") << kLoopback;
}

void TestSockets::fixedPortTaken()
{
    QFETCH(QString, holderAddress);
    const int port = FreeUdpPort();
    LoopbackPeer holder(QHostAddress(holderAddress), static_cast<quint16>(port));
    QVERIFY(holder.isBound());

    openOn(port);
    QCOMPARE(m_messages.size(), 1);
    QCOMPARE(m_messages.first().text, QStringLiteral("Порт %1 занят другой программой !!!").arg(port));
    QCOMPARE(m_messages.first().title, QStringLiteral("Tarvolin"));

    // Opening went on: the other two sockets work.
    QVERIFY(ProbeLocalPort() > 0);
    QVERIFY(holder.sendTo(ProbeLocalPort(), "still here"));
    QTRY_COMPARE_WITH_TIMEOUT(m_probeEvents, 1, 2000);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress(kLoopback), 0));
    SocketSend(SocketId::Tcp, kLoopback, server.serverPort(), {}, true);
    QTRY_COMPARE_WITH_TIMEOUT(m_tcpEvents, 1, 2000);
}

void TestSockets::closeTwiceThenReopen()
{
    const int port = FreeUdpPort();
    openOn(port);
    for (SocketId id : {SocketId::Probe, SocketId::Fixed, SocketId::Tcp})
        QVERIFY(SocketCreated(id));
    CloseSockets();
    CloseSockets();
    QVERIFY(!SocketsOpen());
    QCOMPARE(FixedLocalPort(), 0);
    for (SocketId id : {SocketId::Probe, SocketId::Fixed, SocketId::Tcp})
        QVERIFY(!SocketCreated(id));

    // The same fixed port is free again for the next opening.
    openOn(port);
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(FixedLocalPort(), port);
    LoopbackPeer peer;
    QVERIFY(peer.sendTo(port, "again"));
    QTRY_COMPARE_WITH_TIMEOUT(m_fixedEvents, 1, 2000);

    // Opening over an open set does not leave the old one holding the port.
    openOn(port);
    QVERIFY2(m_messages.isEmpty(), qPrintable(m_messages.value(0).text));
    QCOMPARE(FixedLocalPort(), port);
}

void TestSockets::sendToNonDottedTextSendsNothing()
{
    openOn(FreeUdpPort());
    LoopbackPeer peer;
    SocketSend(SocketId::Probe, QStringLiteral("localhost"), peer.port(), "named", false);
    SocketSend(SocketId::Probe, QString(), peer.port(), "empty", false);
    SocketSend(SocketId::Probe, kLoopback, peer.port(), "dotted", false);
    const auto received = peer.receive(2000);
    QVERIFY(received.has_value());
    QCOMPARE(received->data, QByteArray("dotted"));
    QVERIFY(!peer.receive(100).has_value());
}

void TestSockets::oneEventPerQueuedDatagram()
{
    const int port = FreeUdpPort();
    QList<QByteArray> read;
    connect(m_fixedSink, &NotificationSink::ready, this, [&read] {
        QString from;
        int fromPort = 0;
        SocketData data;
        SocketReceive(SocketId::Fixed, from, fromPort, data);
        read << data;
    });
    openOn(port);
    LoopbackPeer peer;
    const QList<QByteArray> sent{"one", "two", "three", "four", "five"};
    for (const QByteArray& d : sent)
        QVERIFY(peer.sendTo(port, d));
    QTRY_COMPARE_WITH_TIMEOUT(read.size(), sent.size(), 2000);
    QTest::qWait(100);
    QCOMPARE(read, sent);
    QCOMPARE(m_fixedEvents, sent.size());
}

void TestSockets::unreadSocketDoesNotSpin()
{
    const int port = FreeUdpPort();
    openOn(port);
    LoopbackPeer peer;
    for (int i = 0; i < 3; ++i)
        QVERIFY(peer.sendTo(port, QByteArray::number(i)));
    QTRY_COMPARE_WITH_TIMEOUT(m_fixedEvents, 1, 2000);
    QTest::qWait(200);
    QCOMPARE(m_fixedEvents, 1);

    // Reading one datagram lets the next event through, and only one.
    QString from;
    int fromPort = 0;
    SocketData data;
    SocketReceive(SocketId::Fixed, from, fromPort, data);
    QCOMPARE(data, QByteArray("0"));
    QTRY_COMPARE_WITH_TIMEOUT(m_fixedEvents, 2, 2000);
    QTest::qWait(200);
    QCOMPARE(m_fixedEvents, 2);
    QCOMPARE(m_probeEvents, 0);
}

void TestSockets::handlerMayReopenTheSet()
{
    const int firstPort = FreeUdpPort();
    const int secondPort = FreeUdpPort();
    QVERIFY(firstPort != secondPort);
    int reopened = 0;
    connect(m_fixedSink, &NotificationSink::ready, this, [&] {
        if (reopened++ == 0) {
            CloseSockets();
            OpenSockets(secondPort, m_probeSink, m_fixedSink, m_tcpSink);
        }
    });
    openOn(firstPort);
    LoopbackPeer peer;
    QVERIFY(peer.sendTo(firstPort, "close me"));
    QTRY_COMPARE_WITH_TIMEOUT(m_fixedEvents, 1, 2000);
    QCOMPARE(FixedLocalPort(), secondPort);
    QTest::qWait(50);

    QVERIFY(peer.sendTo(secondPort, "to the new set"));
    QTRY_COMPARE_WITH_TIMEOUT(m_fixedEvents, 2, 2000);
    QString from;
    int fromPort = 0;
    SocketData data;
    SocketReceive(SocketId::Fixed, from, fromPort, data);
    QCOMPARE(data, QByteArray("to the new set"));
    QVERIFY(m_messages.isEmpty());

    // A handler that only closes the set.
    connect(m_probeSink, &NotificationSink::ready, this, [] { CloseSockets(); });
    QVERIFY(peer.sendTo(ProbeLocalPort(), "close"));
    QTRY_VERIFY_WITH_TIMEOUT(!SocketsOpen(), 2000);
    QTest::qWait(50);
    QCOMPARE(m_probeEvents, 1);
}

void TestSockets::nestedLoopHandlerMayCloseTheSet()
{
    // A handler that waits in a nested event loop (as a message box does) while
    // another socket's handler closes the whole set.
    const int port = FreeUdpPort();
    LoopbackPeer peer;
    bool nestedDone = false;
    connect(m_fixedSink, &NotificationSink::ready, this, [&] {
        QVERIFY(peer.sendTo(ProbeLocalPort(), "inner"));
        QEventLoop loop;
        QTimer::singleShot(200, &loop, &QEventLoop::quit);
        loop.exec();
        nestedDone = true;
    });
    connect(m_probeSink, &NotificationSink::ready, this, [] { CloseSockets(); });
    openOn(port);
    QVERIFY(peer.sendTo(port, "outer"));
    QTRY_VERIFY_WITH_TIMEOUT(nestedDone, 2000);
    QCOMPARE(m_fixedEvents, 1);
    QCOMPARE(m_probeEvents, 1);
    QVERIFY(!SocketsOpen());
    QTest::qWait(50);

    openOn(port);
    QVERIFY(m_messages.isEmpty());
    QCOMPARE(FixedLocalPort(), port);
}

void TestSockets::destroyedSinkIsSkipped()
{
    const int port = FreeUdpPort();
    openOn(port);
    delete m_fixedSink;
    m_fixedSink = nullptr;
    LoopbackPeer peer;
    QVERIFY(peer.sendTo(port, "nobody listens"));
    QVERIFY(peer.sendTo(ProbeLocalPort(), "probe"));
    QTRY_COMPARE_WITH_TIMEOUT(m_probeEvents, 1, 2000);
    QTest::qWait(100);
    QCOMPARE(m_fixedEvents, 0);
    // The orphaned socket is still readable by hand.
    QString from;
    int fromPort = 0;
    SocketData data;
    SocketReceive(SocketId::Fixed, from, fromPort, data);
    QCOMPARE(data, QByteArray("nobody listens"));
}

void TestSockets::tcpConnectRaisesWritableOnce()
{
    openOn(FreeUdpPort());
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress(kLoopback), 0));
    QTest::qWait(100);
    QCOMPARE(m_tcpEvents, 0);

    SocketSend(SocketId::Tcp, kLoopback, server.serverPort(), {}, true);
    // Further requests while one is pending or made are ignored.
    SocketSend(SocketId::Tcp, kLoopback, server.serverPort(), {}, true);
    QTRY_COMPARE_WITH_TIMEOUT(m_tcpEvents, 1, 2000);
    SocketSend(SocketId::Tcp, kLoopback, server.serverPort(), {}, true);
    QTest::qWait(200);
    QCOMPARE(m_tcpEvents, 1);

    QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), 2000);
    std::unique_ptr<QTcpSocket> accepted(server.nextPendingConnection());
    QVERIFY(accepted);
    QTest::qWait(100);
    QVERIFY(!server.hasPendingConnections());  // one connection, however often asked

    // On the made connection a send puts the bytes on the stream.
    SocketSend(SocketId::Tcp, kLoopback, 1, "stream", false);
    QTRY_COMPARE_WITH_TIMEOUT(accepted->bytesAvailable(), qint64(6), 2000);
    QCOMPARE(accepted->readAll(), QByteArray("stream"));
    QCOMPARE(m_probeEvents + m_fixedEvents, 0);
}

void TestSockets::tcpRefusedOrUnusedRaisesNothing_data()
{
    QTest::addColumn<bool>("refused");
    QTest::newRow("refused") << true;
    QTest::newRow("never asked") << false;
}

void TestSockets::tcpRefusedOrUnusedRaisesNothing()
{
    QFETCH(bool, refused);
    openOn(FreeUdpPort());
    if (refused) {
        const int closedPort = FreeTcpPort();
        QVERIFY(closedPort > 0);
        SocketSend(SocketId::Tcp, kLoopback, closedPort, {}, true);
    }
    QTest::qWait(300);
    QCOMPARE(m_tcpEvents, 0);

    if (refused) {
        // After the refusal the socket may ask again, and a made connection is announced.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress(kLoopback), 0));
        SocketSend(SocketId::Tcp, kLoopback, server.serverPort(), {}, true);
        QTRY_COMPARE_WITH_TIMEOUT(m_tcpEvents, 1, 2000);
    }
}

void TestSockets::resolveHost_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<quint32>("address");
    QTest::addColumn<QString>("text");
    QTest::newRow("dotted 10.0.0.1") << "10.0.0.1" << quint32(stored("10.0.0.1")) << "10.0.0.1";
    QTest::newRow("dotted high octets") << "192.168.254.200" << quint32(stored("192.168.254.200"))
                                        << "192.168.254.200";
    QTest::newRow("dotted loopback") << "127.0.0.2" << quint32(stored("127.0.0.2")) << "127.0.0.2";
    QTest::newRow("empty text") << "" << quint32(0xFFFFFFFFu) << "255.255.255.255";
    QTest::newRow("localhost from the hosts file") << "localhost" << quint32(stored("127.0.0.1"))
                                                   << "127.0.0.1";
}

void TestSockets::resolveHost()
{
    QFETCH(QString, name);
    QFETCH(quint32, address);
    QFETCH(QString, text);
    if (name == QLatin1String("localhost")) {
        // Only when the hosts file answers, so that no query leaves the machine.
        QFile hosts(QStringLiteral("/etc/hosts"));
        QFile nss(QStringLiteral("/etc/nsswitch.conf"));
        if (!hosts.open(QIODevice::ReadOnly) || !nss.open(QIODevice::ReadOnly))
            QSKIP("no hosts file");
        const QByteArray hostsText = hosts.readAll();
        bool listed = false;
        for (const QByteArray& line : hostsText.split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() >= 2 && fields.first() == "127.0.0.1" && fields.mid(1).contains("localhost"))
                listed = true;
        }
        bool filesFirst = false;
        for (const QByteArray& line : nss.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() >= 2 && fields.first() == "hosts:")
                filesFirst = fields.at(1) == "files";
        }
        if (!listed || !filesFirst)
            QSKIP("localhost is not answered by the hosts file here");
    }
    QCOMPARE(ResolveHost(name), static_cast<uint32_t>(address));
    QCOMPARE(ResolveHostText(name), text);
}

void TestSockets::longToAddress_data()
{
    QTest::addColumn<quint32>("address");
    QTest::addColumn<QString>("text");
    QTest::newRow("10.0.0.1") << quint32(stored("10.0.0.1")) << "10.0.0.1";
    QTest::newRow("all ones") << quint32(0xFFFFFFFFu) << "255.255.255.255";
    QTest::newRow("zero") << quint32(0u) << "0.0.0.0";
    QTest::newRow("first octet first") << quint32(stored("1.2.3.250")) << "1.2.3.250";
}

void TestSockets::longToAddress()
{
    QFETCH(quint32, address);
    QFETCH(QString, text);
    QCOMPARE(LongToAddress(address), text);
}

QTEST_MAIN(TestSockets)
#include "test_sockets.moc"
