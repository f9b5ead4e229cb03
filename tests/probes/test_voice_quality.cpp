// SPDX-License-Identifier: Apache-2.0
// Voice path figures, the E-model against published values, and the stream's messages.
#include <QTest>

#include "probes/voice_quality.h"

using namespace probes;

namespace {

// Samples 20 ms apart; rtt < 0 marks a lost request.
QVector<VoiceSample> Stream(const QVector<double>& rtts)
{
    QVector<VoiceSample> s;
    for (int i = 0; i < rtts.size(); ++i) {
        VoiceSample v;
        v.sentMs = 20.0 * i;
        if (rtts[i] >= 0)
            v.arrivedMs = v.sentMs + rtts[i];
        s.append(v);
    }
    return s;
}

}  // namespace

class TestVoiceQuality : public QObject {
    Q_OBJECT
private slots:
    void defaultEModel();
    void mosFromR_data();
    void mosFromR();
    void lossImpairment_data();
    void lossImpairment();
    void pathFigures_data();
    void pathFigures();
    void listener_data();
    void listener();
    void rating_data();
    void rating();
    void messages();
};

// G.107 with every parameter at its default: Ro 94.77, Is 1.41, Id 0.15, R 93.2, MOS 4.41.
void TestVoiceQuality::defaultEModel()
{
    const EModelResult m = ComputeEModel(0, 0, 1);
    QVERIFY2(qAbs(m.Ro - 94.77) < 0.005, qPrintable(QString::number(m.Ro)));
    QVERIFY2(qAbs(m.Is - 1.41) < 0.01, qPrintable(QString::number(m.Is)));
    QVERIFY2(qAbs(m.Id - 0.15) < 0.01, qPrintable(QString::number(m.Id)));
    QCOMPARE(m.IeEff, 0.0);
    QVERIFY2(qAbs(m.R - 93.2) < 0.05, qPrintable(QString::number(m.R)));
    QVERIFY2(qAbs(m.Mos - 4.41) < 0.005, qPrintable(QString::number(m.Mos)));
}

void TestVoiceQuality::mosFromR_data()
{
    QTest::addColumn<double>("r");
    QTest::addColumn<double>("mos");
    // G.107 Annex B, the values usually tabulated with it.
    QTest::newRow("90") << 90.0 << 4.34;
    QTest::newRow("80") << 80.0 << 4.02;
    QTest::newRow("70") << 70.0 << 3.60;
    QTest::newRow("60") << 60.0 << 3.10;
    QTest::newRow("50") << 50.0 << 2.58;
    QTest::newRow("below 0") << -5.0 << 1.0;
    QTest::newRow("2: the cubic would dip below 1") << 2.0 << 1.0;
    QTest::newRow("above 100") << 105.0 << 4.5;
}

void TestVoiceQuality::mosFromR()
{
    QFETCH(double, r);
    QFETCH(double, mos);
    QVERIFY2(qAbs(MosFromR(r) - mos) < 0.006, qPrintable(QString::number(MosFromR(r))));
}

void TestVoiceQuality::lossImpairment_data()
{
    QTest::addColumn<double>("ppl");
    QTest::addColumn<double>("burstR");
    QTest::addColumn<double>("ieEff");
    // G.711 with PLC (Bpl 25.1): Ie,eff = 95 Ppl / (Ppl / BurstR + 25.1).
    QTest::newRow("2 % random") << 2.0 << 1.0 << 7.01;
    QTest::newRow("5 % random") << 5.0 << 1.0 << 15.78;
    QTest::newRow("5 % bursty (BurstR 2)") << 5.0 << 2.0 << 17.21;
    QTest::newRow("all lost") << 100.0 << 1.0 << 75.94;
}

void TestVoiceQuality::lossImpairment()
{
    QFETCH(double, ppl);
    QFETCH(double, burstR);
    QFETCH(double, ieEff);
    const EModelResult m = ComputeEModel(0, ppl, burstR);
    QVERIFY2(qAbs(m.IeEff - ieEff) < 0.01, qPrintable(QString::number(m.IeEff)));
    QVERIFY(qAbs(m.R - (ComputeEModel(0, 0, 1).R - ieEff)) < 0.01);
}

void TestVoiceQuality::pathFigures_data()
{
    QTest::addColumn<QVector<double>>("rtts");
    QTest::addColumn<double>("loss");
    QTest::addColumn<int>("burst");
    QTest::addColumn<double>("median");
    QTest::addColumn<double>("p95");
    QTest::addColumn<double>("jitter");
    QTest::addColumn<double>("burstR");

    QVector<double> ramp;
    for (int i = 1; i <= 20; ++i)
        ramp << i;
    // Jitter of a steady ramp: each D is 1, J after 19 steps = 1 - (15/16)^19.
    QTest::newRow("ramp 1..20") << ramp << 0.0 << 0 << 10.5 << 19.0 << 1 - std::pow(15.0 / 16, 19) << 1.0;
    QTest::newRow("steady") << QVector<double>{30, 30, 30, 30} << 0.0 << 0 << 30.0 << 30.0 << 0.0 << 1.0;
    // BurstR = Ppl / p, p = loss runs / answers: 0.375 / 0.2, wherever the burst lies.
    QTest::newRow("one burst of three") << QVector<double>{10, -1, -1, -1, 10, 10, 10, 10} << 37.5 << 3 << 10.0
                                        << 10.0 << 0.0 << 1.875;
    QTest::newRow("the same burst at the end") << QVector<double>{10, 10, 10, 10, 10, -1, -1, -1} << 37.5 << 3
                                               << 10.0 << 10.0 << 0.0 << 1.875;
    QTest::newRow("the same burst at the start") << QVector<double>{-1, -1, -1, 10, 10, 10, 10, 10} << 37.5 << 3
                                                 << 10.0 << 10.0 << 0.0 << 1.875;
    // Alternating: every answered packet is followed by a loss and vice versa (p = q = 1).
    QTest::newRow("alternating") << QVector<double>{10, -1, 10, -1, 10, -1} << 50.0 << 1 << 10.0 << 10.0 << 0.0
                                 << 0.5;
    // Two answers whose round trips differ by 10 ms: J = 10/16.
    QTest::newRow("two answers") << QVector<double>{10, 20} << 0.0 << 0 << 15.0 << 20.0 << 0.625 << 1.0;
    // Sent second, arrived first: the jitter follows the order of arrival
    // (transits 10, 50, 50: J = 40/16, then 2.5 - 2.5/16).
    QTest::newRow("reordered") << QVector<double>{50, 10, 50} << 0.0 << 0 << 50.0 << 50.0
                               << 2.34375 << 1.0;
    QTest::newRow("nothing back") << QVector<double>{-1, -1} << 100.0 << 2 << 0.0 << 0.0 << 0.0 << 1.0;
}

void TestVoiceQuality::pathFigures()
{
    QFETCH(QVector<double>, rtts);
    QFETCH(double, loss);
    QFETCH(int, burst);
    QFETCH(double, median);
    QFETCH(double, p95);
    QFETCH(double, jitter);
    QFETCH(double, burstR);
    const VoicePathStats s = ComputeVoicePathStats(Stream(rtts));
    QCOMPARE(s.sent, rtts.size());
    QCOMPARE(s.lossPercent, loss);
    QCOMPARE(s.longestLossBurst, burst);
    QCOMPARE(s.rttMedianMs, median);
    QCOMPARE(s.rttP95Ms, p95);
    QVERIFY2(qAbs(s.jitterMs - jitter) < 1e-9, qPrintable(QString::number(s.jitterMs)));
    QVERIFY2(qAbs(s.burstR - burstR) < 1e-9, qPrintable(QString::number(s.burstR)));
}

void TestVoiceQuality::listener_data()
{
    QTest::addColumn<QVector<double>>("rtts");
    QTest::addColumn<int>("late");
    QTest::addColumn<double>("listenerLoss");

    // 20 answers at 40 ms, one every 20 packets lost or late.
    QVector<double> lost(20, 40), late(20, 40), both(40, 40);
    lost[10] = -1;
    late[10] = 440;
    both[10] = -1;
    both[30] = 440;
    // 5 % round trip: 1 - sqrt(0.95) one way.
    QTest::newRow("5 % lost") << lost << 0 << 100 * (1 - std::sqrt(0.95));
    // Far beyond the buffer: lost to the listener, all of it.
    QTest::newRow("5 % late") << late << 1 << 5.0;
    QTest::newRow("2.5 % lost, 2.5 % late") << both << 1 << 100 * (1 - std::sqrt(0.975)) + 2.5;
    QTest::newRow("clean") << QVector<double>(20, 40) << 0 << 0.0;
}

// The E-model gets what a listener hears, not the round-trip figures.
void TestVoiceQuality::listener()
{
    QFETCH(QVector<double>, rtts);
    QFETCH(int, late);
    QFETCH(double, listenerLoss);
    const VoiceAssessment a = AssessVoicePath(Stream(rtts));
    QVERIFY(a.rated);
    QCOMPARE(a.listener.late, late);
    QVERIFY2(qAbs(a.listener.lossPercent - listenerLoss) < 1e-9, qPrintable(QString::number(a.listener.lossPercent)));
    QVERIFY(a.listener.deadlineMs >= 40 + 20 && a.listener.deadlineMs < 440);
    const EModelResult expected = ComputeEModel(a.delayMs, listenerLoss, a.listener.burstR);
    QCOMPARE(a.model.R, expected.R);
}

void TestVoiceQuality::rating_data()
{
    QTest::addColumn<int>("answered");
    QTest::addColumn<bool>("rated");
    QTest::newRow("all back") << 10 << true;
    QTest::newRow("exactly half") << 5 << true;
    QTest::newRow("fewer than half") << 4 << false;
    QTest::newRow("none") << 0 << false;
}

void TestVoiceQuality::rating()
{
    QFETCH(int, answered);
    QFETCH(bool, rated);
    QVector<double> rtts(10, -1);
    for (int i = 0; i < answered; ++i)
        rtts[i * 10 / qMax(answered, 1)] = 5;
    const VoiceAssessment a = AssessVoicePath(Stream(rtts));
    QCOMPARE(a.rated, rated);
    const QString text = VoiceFindingText(a);
    QCOMPARE(text.contains(QStringLiteral("MOS: неизвестно")), !rated);
    if (rated)
        QVERIFY(a.model.R > 0 && a.model.R < 93.2);
}

void TestVoiceQuality::messages()
{
    const QByteArray request = BuildVoiceRequest(0xA1B2C3D4, 42);
    QCOMPARE(request.size(), kVoicePacketSize);
    QCOMPARE(request.left(8), QByteArray::fromHex("000100982112a442"));
    // SOFTWARE (comprehension-optional) fills the request: UTF-8, under 128 characters.
    QCOMPARE(request.mid(20, 4), QByteArray::fromHex("80220094"));
    const QString software = QString::fromUtf8(request.mid(24));
    QVERIFY(software.size() < 128);
    QCOMPARE(software.toUtf8(), request.mid(24));

    // The server's answer: same transaction ID, XOR-MAPPED-ADDRESS 192.0.2.2:40000.
    QByteArray answer = QByteArray::fromHex("0101000c2112a442") + request.mid(8, 12)
        + QByteArray::fromHex("002000080001") + QByteArray::fromHex("bc52")  // 40000 ^ 0x2112
        + QByteArray::fromHex("e1 12 a6 40");                                 // 192.0.2.2 ^ cookie
    QCOMPARE(ReadVoiceAnswerIndex(answer, 0xA1B2C3D4), 42);
    QCOMPARE(ReadVoiceAnswerIndex(answer, 0xA1B2C3D5), -1);
    QCOMPARE(ReadStunMappedAddress(answer), QStringLiteral("192.0.2.2"));
    QByteArray error = answer;
    error[1] = 0x11;  // Binding Error Response
    QCOMPARE(ReadVoiceAnswerIndex(error, 0xA1B2C3D4), -1);
    QCOMPARE(ReadStunMappedAddress(error), QString());
    QCOMPARE(ReadVoiceAnswerIndex(request, 0xA1B2C3D4), -1);
}

QTEST_APPLESS_MAIN(TestVoiceQuality)
#include "test_voice_quality.moc"
