// SPDX-License-Identifier: Apache-2.0
// Which datagrams on the probe socket count as answers to the run's STUN requests.
#include "probes/stun_answer_check.h"
#include "probes/stun_message.h"

#include <QtTest>

using probes::StunRunRequests;

namespace {

const QString kServer = QStringLiteral("203.0.113.10");
const QString kOther = QStringLiteral("203.0.113.11");
const QString kThird = QStringLiteral("192.0.2.66");

// A Binding Response for test byte `test`, 44 bytes as the server lays it
// out: MAPPED-ADDRESS 198.51.100.7:40000, CHANGED-ADDRESS 203.0.113.11:3479.
QByteArray Response(uint8_t test, uint8_t typeLow = 0x01, int idByte = -1)
{
    QByteArray d(44, '\0');
    d[0] = 0x01;
    d[1] = char(typeLow);
    d[3] = 24;
    d[19] = char(test);
    const char attributes[] = {0x00, 0x01, 0x00, 0x08, 0x00, 0x01, char(0x9C), 0x40, char(198), 51, 100, 7,
                               0x00, 0x05, 0x00, 0x08, 0x00, 0x01, 0x0D, char(0x97), char(203), 0, 113, 11};
    d.replace(20, 24, QByteArray(attributes, 24));
    if (idByte >= 0)
        d[idByte] = 0x5A;
    return d;
}

StunRunRequests Run(bool alternativeSent)
{
    StunRunRequests run;
    run.serverAddress = kServer;
    run.serverPort = 3478;
    run.markSent(probes::kStunPlainTest);
    run.markSent(probes::kStunChangeIpTest);
    run.markSent(probes::kStunChangePortTest);
    if (alternativeSent) {
        run.alternativeAddress = kOther;
        run.alternativePort = 3479;
        run.markSent(probes::kStunAlternativeTest);
    }
    return run;
}

}  // namespace

class TestStunAnswerCheck : public QObject {
    Q_OBJECT
private slots:
    void accepted_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("from");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("alternativeSent");
        QTest::addColumn<int>("expected");  // test byte, -1 ignored

        QTest::newRow("0x08 from the server") << Response(0x08) << kServer << 3478 << false << 0x08;
        QTest::newRow("0x08 from a third host") << Response(0x08) << kThird << 3478 << false << -1;
        QTest::newRow("0x08 from the server's other port") << Response(0x08) << kServer << 3479 << false << -1;
        QTest::newRow("0x09 from the other address") << Response(0x09) << kOther << 3479 << false << 0x09;
        QTest::newRow("0x09 from the server (change IP ignored)") << Response(0x09) << kServer << 3478 << false
                                                                  << -1;
        QTest::newRow("0x09 from the server's address, other port") << Response(0x09) << kServer << 3479 << false
                                                                    << -1;
        QTest::newRow("0x0A from the server's other port") << Response(0x0A) << kServer << 3479 << false << 0x0A;
        QTest::newRow("0x0A from the server's port (change port ignored)")
            << Response(0x0A) << kServer << 3478 << false << -1;
        QTest::newRow("0x0A from another address") << Response(0x0A) << kOther << 3479 << false << -1;
        QTest::newRow("0x0B from where it went") << Response(0x0B) << kOther << 3479 << true << 0x0B;
        QTest::newRow("0x0B from the alternative address, other port") << Response(0x0B) << kOther << 3478 << true
                                                                        << -1;
        QTest::newRow("0x0B from the server") << Response(0x0B) << kServer << 3478 << true << -1;
        QTest::newRow("0x0B before any was sent") << Response(0x0B) << kOther << 3479 << false << -1;
        QTest::newRow("error response") << Response(0x08, 0x11) << kServer << 3478 << false << -1;
        QTest::newRow("a request, not a response") << Response(0x08, 0x01).replace(0, 2, QByteArray("\x00\x01", 2))
                                                   << kServer << 3478 << false << -1;
        QTest::newRow("transaction ID not ours (byte 4)") << Response(0x08, 0x01, 4) << kServer << 3478 << false
                                                          << -1;
        QTest::newRow("transaction ID not ours (byte 18)") << Response(0x08, 0x01, 18) << kServer << 3478 << false
                                                           << -1;
        QTest::newRow("test byte never sent") << Response(0x0C) << kServer << 3478 << true << -1;
        // Only a reply that names a mapping answers anything.
        QTest::newRow("bare header, change IP, from a third host") << Response(0x09).left(20) << kThird << 3478
                                                                   << false << -1;
        QTest::newRow("bare header from the server") << Response(0x08).left(20) << kServer << 3478 << false << -1;
        QTest::newRow("an unknown attribute where MAPPED-ADDRESS usually is")
            << Response(0x08).replace(21, 1, QByteArray("\x77", 1)) << kServer << 3478 << false << -1;
        // Once the server has named its alternative address, change IP comes from there.
        QTest::newRow("0x09 from a third host once the alternative is known") << Response(0x09) << kThird << 3479
                                                                              << true << -1;
        QTest::newRow("0x09 from the named alternative") << Response(0x09) << kOther << 3479 << true << 0x09;
        QTest::newRow("shorter than a header") << Response(0x08).left(19) << kServer << 3478 << false << -1;
    }
    void accepted()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, from);
        QFETCH(int, port);
        QFETCH(bool, alternativeSent);
        QFETCH(int, expected);
        const std::optional<uint8_t> test = probes::AcceptedStunAnswer(datagram, from, port, Run(alternativeSent));
        QCOMPARE(test.has_value() ? int(*test) : -1, expected);
    }

    void nothingCountsBeforeTheRunSends()
    {
        StunRunRequests run;
        run.serverAddress = kServer;
        run.serverPort = 3478;
        QVERIFY(!probes::AcceptedStunAnswer(Response(0x08), kServer, 3478, run));
    }
};

QTEST_APPLESS_MAIN(TestStunAnswerCheck)
#include "test_stun_answer_check.moc"
