// SPDX-License-Identifier: Apache-2.0
// The voice path stream of the extended test against a loopback STUN responder
// that drops a chosen share of the requests.
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

#include "tools/extended_paths.h"

using namespace tools;

namespace {

// Answers Binding Requests like a STUN server (XOR-MAPPED-ADDRESS 192.0.2.2),
// except those whose stream index the filter refuses.
class Responder : public QObject {
public:
    explicit Responder(std::function<bool(int)> answer) : answer_(std::move(answer))
    {
        socket_.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0);
        connect(&socket_, &QUdpSocket::readyRead, this, [this] {
            while (socket_.hasPendingDatagrams()) {
                QHostAddress from;
                quint16 port = 0;
                QByteArray d(int(socket_.pendingDatagramSize()), '\0');
                socket_.readDatagram(d.data(), d.size(), &from, &port);
                ++requests;
                if (d.size() < 20 || !answer_(int(uint8_t(d[19])) | (int(uint8_t(d[18])) << 8)))
                    continue;
                const QByteArray reply = QByteArray::fromHex("0101000c") + d.mid(4, 16)
                    + QByteArray::fromHex("002000080001bc52e112a640");
                socket_.writeDatagram(reply, from, port);
            }
        });
    }
    int port() const { return socket_.localPort(); }
    int requests = 0;

private:
    QUdpSocket socket_;
    std::function<bool(int)> answer_;
};

}  // namespace

class TestExtendedPaths : public QObject {
    Q_OBJECT
private slots:
    void voiceStream_data();
    void voiceStream();
};

void TestExtendedPaths::voiceStream_data()
{
    QTest::addColumn<int>("keepOneIn");   // every n-th request is answered ... 
    QTest::addColumn<int>("dropOneIn");   // ... or every n-th is dropped (0: none)
    QTest::addColumn<int>("received");
    QTest::addColumn<int>("burst");
    QTest::addColumn<bool>("rated");
    QTest::newRow("all answered") << 1 << 0 << 40 << 0 << true;
    QTest::newRow("every fourth dropped") << 1 << 4 << 30 << 1 << true;
    QTest::newRow("one in three answered") << 3 << 0 << 14 << 2 << false;
}

void TestExtendedPaths::voiceStream()
{
    QFETCH(int, keepOneIn);
    QFETCH(int, dropOneIn);
    QFETCH(int, received);
    QFETCH(int, burst);
    QFETCH(bool, rated);
    Responder responder([=](int i) { return i % keepOneIn == 0 && (dropOneIn == 0 || i % dropOneIn != dropOneIn - 1); });
    ExtendedPathsConfig config;
    config.stunServer = QStringLiteral("127.0.0.1");
    config.stunPort = responder.port();
    config.sections = {PathSection::Voice};
    config.voicePackets = 40;
    ExtendedPathsRun run;
    QSignalSpy done(&run, &ExtendedPathsRun::finished);
    run.start(config);
    QVERIFY(done.wait(5000));
    QCOMPARE(responder.requests, 40);
    const probes::VoiceAssessment& v = run.result().voice;
    QCOMPARE(v.stats.sent, 40);
    QCOMPARE(v.stats.received, received);
    QCOMPARE(v.stats.longestLossBurst, burst);
    QCOMPARE(v.rated, rated);
    QCOMPARE(run.result().evidence.stunMappedAddress, received ? QStringLiteral("192.0.2.2") : QString());
    // Sent 20 ms apart: 40 requests take about 0.8 s.
    QVERIFY(v.stats.rttMaxMs < 500);
    QCOMPARE(run.sections().size(), 1);
    QCOMPARE(run.sections().first().text.contains(QStringLiteral("MOS: неизвестно")), !rated);
}

QTEST_GUILESS_MAIN(TestExtendedPaths)
#include "test_extended_paths.moc"
