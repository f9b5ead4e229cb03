// SPDX-License-Identifier: Apache-2.0
// The SIP mirror: what was sent against the copy the server received, and
// which answers belong to our transaction.
#include <QTest>

#include "probes/sip_mirror.h"

using namespace probes;

namespace {
MirrorRequest Invite()
{
    MirrorRequest r;
    r.domain = QStringLiteral("tarvolin.test");
    r.localAddress = QStringLiteral("192.168.1.10");
    r.localPort = 5060;
    r.rtpPort = 20000;
    r.transaction = {QStringLiteral("callid1"), QStringLiteral("z9hG4bKbranch1"), QStringLiteral("tag1"), 7};
    return r;
}

// "what: sent -> mirrored [ext]" per difference.
QStringList Listed(const QVector<SipDifference>& diffs)
{
    QStringList out;
    for (const SipDifference& d : diffs)
        out << QStringLiteral("%1: %2 -> %3%4").arg(d.what, d.sent, d.mirrored, d.toExternal ? " [ext]" : "");
    return out;
}

QByteArray Answer(const QByteArray& head, const QByteArray& copy)
{
    const QByteArray body = copy.toBase64();
    return head + "Content-Transfer-Encoding: base64\r\nContent-Type: message/sip\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}
}  // namespace

class TestSipMirror : public QObject {
    Q_OBJECT
private slots:
    void compare_data();
    void compare();
    void ownTransactionOnly_data();
    void ownTransactionOnly();
};

void TestSipMirror::compare_data()
{
    QTest::addColumn<QStringList>("from");  // pairs: text in the sent request, text in the copy
    QTest::addColumn<QString>("external");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("untouched") << QStringList{} << "192.0.2.2" << QStringList{};
    QTest::newRow("ALG to the external address")
        << QStringList{"192.168.1.10", "192.0.2.2", "Content-Length: 208", "Content-Length: 202"} << "192.0.2.2"
        << QStringList{"Via: SIP/2.0/UDP 192.168.1.10:5060;branch=z9hG4bKbranch1;rport -> "
                       "SIP/2.0/UDP 192.0.2.2:5060;branch=z9hG4bKbranch1;rport [ext]",
                       "Contact: <sip:tarvolin@192.168.1.10:5060> -> <sip:tarvolin@192.0.2.2:5060> [ext]",
                       "Content-Length: 208 -> 202",
                       "SDP o=: o=- 7 1 IN IP4 192.168.1.10 -> o=- 7 1 IN IP4 192.0.2.2 [ext]",
                       "SDP c=: c=IN IP4 192.168.1.10 -> c=IN IP4 192.0.2.2 [ext]"};
    // 192.0.2.20 is another address, not the external one.
    QTest::newRow("rewritten elsewhere, media port moved")
        << QStringList{"c=IN IP4 192.168.1.10", "c=IN IP4 192.0.2.20", "m=audio 20000", "m=audio 20002"}
        << "192.0.2.2"
        << QStringList{"SDP c=: c=IN IP4 192.168.1.10 -> c=IN IP4 192.0.2.20",
                       "SDP m=: m=audio 20000 RTP/AVP 0 8 101 -> m=audio 20002 RTP/AVP 0 8 101"};
    QTest::newRow("header removed, compact form kept, header added")
        << QStringList{"User-Agent: Tarvolin\r\n", "", "Max-Forwards: 70", "Max-Forwards: 70\r\nRecord-Route: <sip:x>",
                       "Call-ID: callid1", "i: callid1"}
        << "192.0.2.2" << QStringList{"User-Agent: Tarvolin -> ", "Record-Route:  -> <sip:x>"};
    QTest::newRow("SDP line removed")
        << QStringList{"a=sendrecv\r\n", ""} << "192.0.2.2" << QStringList{"SDP a=: a=sendrecv -> "};
}

void TestSipMirror::compare()
{
    QFETCH(QStringList, from);
    QFETCH(QString, external);
    QFETCH(QStringList, expected);
    const QByteArray sent = BuildMirrorRequest(Invite());
    QString copy = QString::fromUtf8(sent);
    for (int i = 0; i + 1 < from.size(); i += 2)
        copy.replace(from[i], from[i + 1]);
    QCOMPARE(Listed(CompareMirror(sent, copy.toUtf8(), external)), expected);
}

void TestSipMirror::ownTransactionOnly_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("status");  // -1: not ours
    QTest::addColumn<bool>("mirrored");
    const QByteArray copy = BuildMirrorRequest(Invite());
    const QByteArray via = "Via: SIP/2.0/UDP 192.168.1.10:5060;branch=z9hG4bKbranch1;rport=5060\r\n";
    const QByteArray ids = "Call-ID: callid1\r\nCSeq: 7 INVITE\r\nTarvolin-Source: udp 192.0.2.2 5060\r\n";
    QTest::newRow("mirror") << Answer("SIP/2.0 200 OK\r\n" + via + ids, copy) << 200 << true;
    QTest::newRow("compact forms") << Answer("SIP/2.0 200 OK\r\nv: SIP/2.0/UDP 192.168.1.10:5060;BRANCH=z9hG4bKbranch1\r\n"
                                             "i: callid1\r\nCSeq: 7 INVITE\r\nTarvolin-Source: udp 192.0.2.2 5060\r\n",
                                             copy)
                                   << 200 << true;
    QTest::newRow("server without mirror") << QByteArray("SIP/2.0 405 Method Not Allowed\r\n" + via + ids
                                                         + "Content-Length: 0\r\n\r\n")
                                           << 405 << false;
    QTest::newRow("200 without source") << Answer("SIP/2.0 200 OK\r\n" + via + "Call-ID: callid1\r\nCSeq: 7 INVITE\r\n", copy)
                                        << 200 << false;
    QTest::newRow("bad base64") << QByteArray("SIP/2.0 200 OK\r\n" + via + ids
                                              + "Content-Transfer-Encoding: base64\r\nContent-Type: message/sip\r\n"
                                                "Content-Length: 4\r\n\r\n!!!!")
                                << 200 << false;
    QTest::newRow("other Call-ID") << Answer("SIP/2.0 200 OK\r\n" + via + QByteArray(ids).replace("callid1", "callid2"), copy)
                                   << -1 << false;
    QTest::newRow("branch prefix only") << Answer("SIP/2.0 200 OK\r\n" + QByteArray(via).replace("branch1", "branch")
                                                      + ids, copy)
                                        << -1 << false;
    QTest::newRow("other CSeq") << Answer("SIP/2.0 200 OK\r\n" + via + QByteArray(ids).replace("7 INVITE", "8 INVITE"), copy)
                                << -1 << false;
    QTest::newRow("a request, not an answer") << copy << -1 << false;
}

void TestSipMirror::ownTransactionOnly()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, status);
    QFETCH(bool, mirrored);
    const std::optional<MirrorAnswer> a = ReadMirrorAnswer(answer, Invite().transaction);
    QCOMPARE(a ? a->status : -1, status);
    QCOMPARE(a && a->mirrored, mirrored);
    if (mirrored) {
        QCOMPARE(a->copy, BuildMirrorRequest(Invite()));
        QCOMPARE(a->sourceAddress + QLatin1Char(':') + QString::number(a->sourcePort), QStringLiteral("192.0.2.2:5060"));
        // A whole message over TCP: header part and Content-Length (RFC 3261 section 18.3).
        QCOMPARE(SipMessageLength(answer + "SIP/2.0"), int(answer.size()));
        QCOMPARE(SipMessageLength(answer.chopped(1)), 0);
    }
}

QTEST_APPLESS_MAIN(TestSipMirror)
#include "test_sip_mirror.moc"
