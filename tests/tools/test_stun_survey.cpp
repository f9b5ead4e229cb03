// SPDX-License-Identifier: Apache-2.0
#include "platform/socket_set.h"
#include "platform/user_message.h"
#include "support/loopback_peer.h"
#include "tools/leading_number.h"
#include "tools/stun_survey.h"
#include "tools/stun_survey_window.h"

#include <QHostAddress>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

using tools::StunSurvey;
using tools::SurveyServer;

namespace {

SurveyServer server(const QString& name, const QString& address = QString(), int port = 3478)
{
    SurveyServer s;
    s.ServerName = name;
    s.ServerAddress = address;
    s.ServerPort = port;
    return s;
}

// Binding Response to a request: header with the request's transaction ID,
// then MAPPED-ADDRESS with the given address and port.
QByteArray answerTo(const QByteArray& request, const QString& mapped, quint16 mappedPort)
{
    QByteArray reply;
    reply.append('\x01').append('\x01').append('\x00').append('\x0c');
    reply.append(request.mid(4, 16));
    reply.append('\x00').append('\x01').append('\x00').append('\x08');
    reply.append('\x00').append('\x01');
    reply.append(static_cast<char>(mappedPort >> 8)).append(static_cast<char>(mappedPort & 0xFF));
    const quint32 address = QHostAddress(mapped).toIPv4Address();
    for (int shift = 24; shift >= 0; shift -= 8)
        reply.append(static_cast<char>((address >> shift) & 0xFF));
    return reply;
}

// Hands an answer to the survey as if it came from the server its index names.
std::optional<QString> fromItsServer(StunSurvey& survey, const QByteArray& datagram, qint64 now,
                                     const QLocale& locale = QLocale::system())
{
    const int index = datagram.size() > 14 ? static_cast<uint8_t>(datagram[14]) : 0;
    const SurveyServer s = index < survey.servers().size() ? survey.servers()[index] : SurveyServer();
    return survey.HandleAnswer(datagram, s.ServerAddress, s.ServerPort, now, locale);
}

// Request of cycle `sequence` for list index `index`, as a server receives it.
QByteArray requestFor(int index, int sequence)
{
    QByteArray request(20, '\0');
    request[1] = '\x01';
    request[14] = static_cast<char>(index);
    request[19] = static_cast<char>(sequence);
    return request;
}

// A STUN server stand-in on one loopback address: records the requests and
// answers them at once (automatic) or when the test says so.
class Responder : public QObject {
public:
    struct Request {
        QByteArray data;
        QHostAddress from;
        quint16 fromPort = 0;
    };

    explicit Responder(const QString& address, bool automatic, const QString& mapped = QStringLiteral("198.51.100.1"),
                       quint16 mappedPort = 40000)
        : m_automatic(automatic), m_mapped(mapped), m_mappedPort(mappedPort)
    {
        m_socket.bind(QHostAddress(address), 0, QAbstractSocket::DontShareAddress);
        connect(&m_socket, &QUdpSocket::readyRead, this, [this] {
            while (m_socket.hasPendingDatagrams()) {
                Request r;
                r.data.resize(static_cast<int>(m_socket.pendingDatagramSize()));
                m_socket.readDatagram(r.data.data(), r.data.size(), &r.from, &r.fromPort);
                requests << r;
                if (m_automatic)
                    answer(r);
            }
        });
    }

    bool bound() const { return m_socket.state() == QAbstractSocket::BoundState; }
    int port() const { return m_socket.localPort(); }

    void answer(const Request& r, int copies = 1)
    {
        for (int i = 0; i < copies; ++i)
            m_socket.writeDatagram(answerTo(r.data, m_mapped, m_mappedPort), r.from, r.fromPort);
    }
    void send(const QByteArray& data, const Request& to) { m_socket.writeDatagram(data, to.from, to.fromPort); }

    QList<Request> requests;

private:
    QUdpSocket m_socket;
    bool m_automatic;
    QString m_mapped;
    quint16 m_mappedPort;
};

const QRegularExpression kResultLine(QStringLiteral(
    "^(.*) \\(([0-9.]+):(\\d+)\\) - время ответа (\\d+) \\(среднее ([0-9.,]+) \\) мс\\. - потерь (\\d+) - "
    "внешний адрес и порт ([0-9.]+):(\\d+)$"));

}  // namespace

class TestStunSurvey : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    // The survey without its window.
    void builtInList();
    void resolutionListing_data();
    void resolutionListing();
    void requestsNameServerAndCycle();
    void firstCycleCountsNoLoss();
    void lateAnswerIsIgnored();
    void answerAcceptance_data();
    void answerAcceptance();
    void totalsBeyond32Bits();
    void answerBeforeAnyCycleIsIgnored();
    void resultLine_data();
    void resultLine();
    void sequenceWrapsPast255();
    void addServer_data();
    void addServer();
    void typedPort_data();
    void typedPort();
    void addServerRefusesEntry257();

    // The window against loopback servers.
    void windowResolutionPhase();
    void windowCyclesAndAnswers();
    void windowCountsOnlyTheServersFirstAnswer();
    void windowAddsServer();
    void windowClosesTheSet();

private:
    std::unique_ptr<tools::Form2> openWindow(QList<SurveyServer> servers);
    QStringList m_messages;
};

void TestStunSurvey::init()
{
    QVERIFY2(testsupport::WaitForFreeUdpPort(5060), "UDP port 5060 stays taken by another program");
    m_messages.clear();
    platform::SetMessageHandler([this](const platform::UserMessage& m) { m_messages << m.text; });
}

void TestStunSurvey::cleanup()
{
    platform::CloseSockets();
    platform::SetMessageHandler({});
}

void TestStunSurvey::builtInList()
{
    const QList<SurveyServer> list = StunSurvey::BuiltInServers();
    QCOMPARE(list.size(), 28);
    QCOMPARE(list.first().ServerName, QStringLiteral("stun.ekiga.net"));
    QCOMPARE(list.last().ServerName, QStringLiteral("stun.callwithus.com"));
    for (int i = 0; i < list.size(); ++i) {
        QCOMPARE(list[i].ServerPort, i == 4 ? 10000 : 3478);
        QVERIFY(list[i].ServerAddress.isEmpty());
        QCOMPARE(list[i].Sequence, 0);
        QCOMPARE(list[i].LastReplyTime, 0);
    }
    QCOMPARE(list[4].ServerName, QStringLiteral("stun.sipgate.net"));
    QCOMPARE(list[23].ServerName, QStringLiteral("stun.counterpath.net      "));
}

void TestStunSurvey::resolutionListing_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("presetAddress");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("lookedUp");

    QTest::newRow("added by address") << QString() << QStringLiteral("10.1.1.1")
                                      << QStringLiteral("\t\t\t10.1.1.1\r\n") << QString();
    QTest::newRow("1 character") << QStringLiteral("a") << QString() << QStringLiteral("a\t\t\t192.0.2.1\r\n")
                                 << QStringLiteral("a");
    QTest::newRow("2 characters") << QStringLiteral("ab") << QString() << QStringLiteral("ab\t\t192.0.2.1\r\n")
                                  << QStringLiteral("ab");
    QTest::newRow("18 characters") << QStringLiteral("stun.abcdefghi.de") + QStringLiteral("x") << QString()
                                   << QStringLiteral("stun.abcdefghi.dex\t\t192.0.2.1\r\n")
                                   << QStringLiteral("stun.abcdefghi.dex");
    QTest::newRow("19 characters") << QStringLiteral("stun.abcdefghij.dex") << QString()
                                   << QStringLiteral("stun.abcdefghij.dex\t192.0.2.1\r\n")
                                   << QStringLiteral("stun.abcdefghij.dex");
    QTest::newRow("trailing blanks kept, trimmed for lookup")
        << QStringLiteral("stun.counterpath.net      ") << QString()
        << QStringLiteral("stun.counterpath.net      \t192.0.2.1\r\n") << QStringLiteral("stun.counterpath.net");
    QTest::newRow("short name with blank counts the blank")
        << QStringLiteral("b ") << QString() << QStringLiteral("b \t\t192.0.2.1\r\n") << QStringLiteral("b");
    QTest::newRow("unresolvable") << QStringLiteral("stun.nowhere.invalid") << QString()
                                  << QStringLiteral("stun.nowhere.invalid\t255.255.255.255\r\n")
                                  << QStringLiteral("stun.nowhere.invalid");
}

void TestStunSurvey::resolutionListing()
{
    QFETCH(QString, name);
    QFETCH(QString, presetAddress);
    QFETCH(QString, line);
    QFETCH(QString, lookedUp);

    QStringList lookups;
    StunSurvey survey({server(name, presetAddress), server(QString(), QString())});
    const QString listing = survey.ResolveAll([&](const QString& n) {
        lookups << n;
        return n.contains(QStringLiteral("nowhere")) ? QStringLiteral("255.255.255.255") : QStringLiteral("192.0.2.1");
    });
    // The second entry has neither name nor address: no line for it.
    QCOMPARE(listing, line);
    QCOMPARE(lookups, lookedUp.isEmpty() ? QStringList() : QStringList{lookedUp});
    QCOMPARE(survey.servers()[0].ServerName, name);
}

void TestStunSurvey::requestsNameServerAndCycle()
{
    StunSurvey survey({server(QStringLiteral("a1"), QStringLiteral("127.0.0.2"), 3478),
                       server(QStringLiteral("a2"), QStringLiteral("127.0.0.3"), 10000)});
    struct Sent {
        QString address;
        int port;
        QByteArray data;
    };
    QList<Sent> sent;
    auto send = [&](const QString& a, int p, const QByteArray& d) { sent.append({a, p, d}); };
    survey.RunCycle(send, [] { return qint64(1000); });
    survey.RunCycle(send, [] { return qint64(6000); });
    QCOMPARE(sent.size(), 4);
    QCOMPARE(sent[0].address, QStringLiteral("127.0.0.2"));
    QCOMPARE(sent[0].port, 3478);
    QCOMPARE(sent[1].address, QStringLiteral("127.0.0.3"));
    QCOMPARE(sent[1].port, 10000);
    QCOMPARE(sent[0].data, requestFor(0, 1));
    QCOMPARE(sent[1].data, requestFor(1, 1));
    QCOMPARE(sent[2].data, requestFor(0, 2));
    QCOMPARE(sent[3].data, requestFor(1, 2));
}

void TestStunSurvey::firstCycleCountsNoLoss()
{
    StunSurvey survey({server(QStringLiteral("a1"), QStringLiteral("127.0.0.2")),
                       server(QStringLiteral("a2"), QStringLiteral("127.0.0.3"))});
    auto send = [](const QString&, int, const QByteArray&) {};
    survey.RunCycle(send, [] { return qint64(100); });
    QCOMPARE(survey.servers()[0].LossCount, 0);
    QCOMPARE(survey.servers()[1].LossCount, 0);
    QCOMPARE(survey.servers()[0].LastReplyTime, StunSurvey::kNotAnswered);

    // Server 0 answers cycle 1, server 1 misses it: its loss shows at cycle 2.
    QVERIFY(fromItsServer(survey, answerTo(requestFor(0, 1), QStringLiteral("198.51.100.1"), 1), 130));
    QCOMPARE(survey.servers()[1].LossCount, 0);
    survey.RunCycle(send, [] { return qint64(5100); });
    QCOMPARE(survey.servers()[0].LossCount, 0);
    QCOMPARE(survey.servers()[1].LossCount, 1);
    survey.RunCycle(send, [] { return qint64(10100); });
    QCOMPARE(survey.servers()[0].LossCount, 1);
    QCOMPARE(survey.servers()[1].LossCount, 2);
}

void TestStunSurvey::lateAnswerIsIgnored()
{
    StunSurvey survey({server(QStringLiteral("a1"), QStringLiteral("127.0.0.2"))});
    auto send = [](const QString&, int, const QByteArray&) {};
    survey.RunCycle(send, [] { return qint64(0); });
    survey.RunCycle(send, [] { return qint64(5000); });
    QVERIFY(!fromItsServer(survey, answerTo(requestFor(0, 1), QStringLiteral("198.51.100.1"), 1), 5050));
    QCOMPARE(survey.servers()[0].ReplyCount, 0);
    QCOMPARE(survey.servers()[0].LastReplyTime, StunSurvey::kNotAnswered);
    // Unknown index and short datagrams are dropped as well.
    QVERIFY(!fromItsServer(survey, answerTo(requestFor(1, 2), QStringLiteral("198.51.100.1"), 1), 5050));
    QVERIFY(!fromItsServer(survey, answerTo(requestFor(0, 2), QStringLiteral("198.51.100.1"), 1).left(19), 5050));
    QCOMPARE(survey.servers()[0].ReplyCount, 0);
    // The answer to the current cycle still counts.
    QVERIFY(fromItsServer(survey, answerTo(requestFor(0, 2), QStringLiteral("198.51.100.1"), 1), 5070));
    QCOMPARE(survey.servers()[0].ReplyCount, 1);
    QCOMPARE(survey.servers()[0].LastReplyTime, 70);
    survey.RunCycle(send, [] { return qint64(10000); });
    QCOMPARE(survey.servers()[0].LossCount, 1);
}

void TestStunSurvey::answerAcceptance_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("fromPort");
    QTest::addColumn<bool>("counted");

    const QByteArray good = answerTo(requestFor(0, 1), QStringLiteral("198.51.100.1"), 1);
    QByteArray error = good;
    error[1] = '\x11';  // Binding Error Response
    const QString a = QStringLiteral("127.0.0.2");

    QTest::newRow("from the server") << good << a << 3478 << true;
    QTest::newRow("another port of its address") << good << a << 3479 << false;
    QTest::newRow("another address, same port") << good << QStringLiteral("127.0.0.9") << 3478 << false;
    QTest::newRow("from the other listed server") << good << QStringLiteral("127.0.0.3") << 3478 << false;
    QTest::newRow("error response") << error << a << 3478 << false;
    QTest::newRow("header only") << good.left(20) << a << 3478 << false;
    QTest::newRow("address cut short") << good.left(31) << a << 3478 << false;
}

void TestStunSurvey::answerAcceptance()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, from);
    QFETCH(int, fromPort);
    QFETCH(bool, counted);

    StunSurvey survey({server(QStringLiteral("a1"), QStringLiteral("127.0.0.2")),
                       server(QStringLiteral("a2"), QStringLiteral("127.0.0.3"))});
    survey.RunCycle([](const QString&, int, const QByteArray&) {}, [] { return qint64(1000); });
    const auto line = survey.HandleAnswer(datagram, from, fromPort, 1020);
    QCOMPARE(line.has_value(), counted);
    QCOMPARE(survey.servers()[0].ReplyCount, counted ? 1 : 0);
    QCOMPARE(survey.servers()[0].LastReplyTime, counted ? 20 : StunSurvey::kNotAnswered);
    QCOMPARE(survey.servers()[0].TotalReplyTime, counted ? 20 : 0);
    if (!counted)
        return;
    QVERIFY(line->endsWith(QStringLiteral(" - внешний адрес и порт 198.51.100.1:1\r\n")));
    // A second copy of the answer within the cycle is no second answer.
    QVERIFY(!survey.HandleAnswer(datagram, from, fromPort, 1050));
    QCOMPARE(survey.servers()[0].ReplyCount, 1);
    QCOMPARE(survey.servers()[0].LastReplyTime, 20);
    // The next cycle counts again.
    survey.RunCycle([](const QString&, int, const QByteArray&) {}, [] { return qint64(6000); });
    QVERIFY(survey.HandleAnswer(answerTo(requestFor(0, 2), QStringLiteral("198.51.100.1"), 1), from, fromPort, 6040));
    QCOMPARE(survey.servers()[0].ReplyCount, 2);
    QCOMPARE(survey.servers()[0].TotalReplyTime, 60);
}

void TestStunSurvey::totalsBeyond32Bits()
{
    // Two answers of 2 000 000 000 ms each: the sum does not fit 32 bits.
    StunSurvey survey({server(QStringLiteral("a1"), QStringLiteral("127.0.0.2"))});
    std::optional<QString> line;
    for (int cycle = 1; cycle <= 2; ++cycle) {
        const qint64 sent = cycle * qint64(3000000000);
        survey.RunCycle([](const QString&, int, const QByteArray&) {}, [&] { return sent; });
        line = fromItsServer(survey, answerTo(requestFor(0, cycle), QStringLiteral("198.51.100.1"), 1),
                             sent + 2000000000, QLocale(QStringLiteral("en_US")));
        QVERIFY(line);
    }
    QCOMPARE(survey.servers()[0].TotalReplyTime, qint64(4000000000));
    QVERIFY2(line->contains(QStringLiteral("время ответа 2000000000 (среднее 2000000000 )")), qPrintable(*line));
}

void TestStunSurvey::answerBeforeAnyCycleIsIgnored()
{
    StunSurvey survey({server(QStringLiteral("a1"), QStringLiteral("127.0.0.2"))});
    QVERIFY(!fromItsServer(survey, answerTo(requestFor(0, 0), QStringLiteral("198.51.100.1"), 1), 10));
    QCOMPARE(survey.servers()[0].ReplyCount, 0);
}

void TestStunSurvey::resultLine_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QList<int>>("times");
    QTest::addColumn<QString>("line");

    const QString head = QStringLiteral("stun.counterpath.net       (127.0.0.2:3478) - время ответа ");
    const QString tail = QStringLiteral(" - внешний адрес и порт 203.0.113.200:65000\r\n");
    QTest::newRow("whole average") << QStringLiteral("ru_RU") << QList<int>{40}
                                   << head + QStringLiteral("40 (среднее 40 ) мс. - потерь 0") + tail;
    QTest::newRow("comma separator") << QStringLiteral("ru_RU") << QList<int>{10, 21}
                                     << head + QStringLiteral("21 (среднее 15,5 ) мс. - потерь 0") + tail;
    QTest::newRow("point separator") << QStringLiteral("en_US") << QList<int>{10, 21}
                                     << head + QStringLiteral("21 (среднее 15.5 ) мс. - потерь 0") + tail;
    QTest::newRow("two decimals") << QStringLiteral("ru_RU") << QList<int>{10, 10, 30}
                                  << head + QStringLiteral("30 (среднее 16,67 ) мс. - потерь 0") + tail;
}

void TestStunSurvey::resultLine()
{
    QFETCH(QString, locale);
    QFETCH(QList<int>, times);
    QFETCH(QString, line);

    StunSurvey survey({server(QStringLiteral("stun.counterpath.net      "), QStringLiteral("127.0.0.2"))});
    std::optional<QString> last;
    for (int i = 0; i < times.size(); ++i) {
        const qint64 sendTime = 5000 * i;
        survey.RunCycle([](const QString&, int, const QByteArray&) {}, [&] { return sendTime; });
        last = fromItsServer(survey, answerTo(requestFor(0, i + 1), QStringLiteral("203.0.113.200"), 65000),
                                   sendTime + times[i], QLocale(locale));
        QVERIFY(last);
    }
    QCOMPARE(*last, line);
}

void TestStunSurvey::sequenceWrapsPast255()
{
    StunSurvey survey({server(QStringLiteral("a1"), QStringLiteral("127.0.0.2"))});
    QByteArray lastSent;
    auto send = [&](const QString&, int, const QByteArray& d) { lastSent = d; };
    qint64 now = 0;
    for (int cycle = 1; cycle <= 300; ++cycle) {
        now += 5000;
        survey.RunCycle(send, [&] { return now; });
        QCOMPARE(static_cast<uint8_t>(lastSent[19]), static_cast<uint8_t>(cycle % 256));
        if (cycle == 256) {
            // The answer to cycle 255 arrives late: still an older cycle.
            QVERIFY(!fromItsServer(survey, answerTo(requestFor(0, 255), QStringLiteral("198.51.100.1"), 1), now + 5));
        }
        QVERIFY2(fromItsServer(survey, answerTo(lastSent, QStringLiteral("198.51.100.1"), 1), now + 10),
                 qPrintable(QString::number(cycle)));
    }
    QCOMPARE(survey.servers()[0].ReplyCount, 300);
    QCOMPARE(survey.servers()[0].LossCount, 0);
    QCOMPARE(survey.servers()[0].Sequence, 300);
}

void TestStunSurvey::addServer_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("added");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("storedPort");

    QTest::newRow("dotted, begins with 1") << QStringLiteral("198.51.100.4") << QStringLiteral("3478") << true
                                           << QString() << QStringLiteral("198.51.100.4") << 3478;
    QTest::newRow("dotted, begins with 2, blanks") << QStringLiteral("  203.0.113.9 ") << QStringLiteral(" 80 ")
                                                   << true << QString() << QStringLiteral("203.0.113.9") << 80;
    QTest::newRow("dotted, other digit") << QStringLiteral("3.3.3.3") << QStringLiteral("3478") << true
                                         << QStringLiteral("3.3.3.3") << QStringLiteral("resolved:3.3.3.3") << 3478;
    QTest::newRow("name beginning with 1") << QStringLiteral("1und1.example") << QStringLiteral("3478") << true
                                           << QString() << QStringLiteral("1und1.example") << 3478;
    QTest::newRow("host name") << QStringLiteral("stun.example.test") << QStringLiteral("3479") << true
                               << QStringLiteral("stun.example.test") << QStringLiteral("resolved:stun.example.test")
                               << 3479;
    QTest::newRow("highest port") << QStringLiteral("198.51.100.4") << QStringLiteral("65535") << true << QString()
                                  << QStringLiteral("198.51.100.4") << 65535;
    QTest::newRow("one-character address") << QStringLiteral("x") << QStringLiteral("3478") << false << QString()
                                           << QString() << 0;
    QTest::newRow("one-character port 0") << QStringLiteral("stun.example.test") << QStringLiteral("0") << false
                                          << QString() << QString() << 0;
    QTest::newRow("one-character port 8 with blanks") << QStringLiteral("stun.example.test")
                                                      << QStringLiteral("  8  ") << false << QString() << QString()
                                                      << 0;
    QTest::newRow("empty address") << QString() << QStringLiteral("3478") << false << QString() << QString() << 0;
}

void TestStunSurvey::typedPort_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");  // 0: refused

    QTest::newRow("digits") << QStringLiteral("3478") << 3478;
    QTest::newRow("blanks around") << QStringLiteral(" \t80 ") << 80;
    QTest::newRow("leading zeros") << QStringLiteral("005060") << 5060;
    QTest::newRow("lowest") << QStringLiteral("1") << 1;
    QTest::newRow("highest") << QStringLiteral("65535") << 65535;
    QTest::newRow("zero") << QStringLiteral("00") << 0;
    QTest::newRow("one above") << QStringLiteral("65536") << 0;
    QTest::newRow("wraps to 5060 in 16 bits") << QStringLiteral("70596") << 0;
    QTest::newRow("far beyond 32 bits") << QStringLiteral("99999999999999999999") << 0;
    QTest::newRow("fraction with point") << QStringLiteral("5060.5") << 0;
    QTest::newRow("fraction with comma") << QStringLiteral("5060,5") << 0;
    QTest::newRow("whole with point") << QStringLiteral("5060.0") << 0;
    QTest::newRow("sign") << QStringLiteral("+5060") << 0;
    QTest::newRow("negative") << QStringLiteral("-1") << 0;
    QTest::newRow("trailing letters") << QStringLiteral("5060abc") << 0;
    QTest::newRow("blank inside") << QStringLiteral("50 60") << 0;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("Arabic-Indic digits") << QString::fromUtf8("\u0665\u0660\u0666\u0660") << 0;
}

void TestStunSurvey::typedPort()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    QCOMPARE(tools::TypedPort(text).value_or(0), port);

    // "Добавить" refuses what TypedPort refuses, and says so.
    StunSurvey survey(QList<SurveyServer>{});
    const tools::AddResult result = survey.AddServer(QStringLiteral("198.51.100.4"), text + QStringLiteral("  "),
                                                     [](const QString& n) { return n; });
    // A text of one character is passed over without a word, whatever it says.
    const bool tooShort = text.trimmed().size() <= 1;
    QCOMPARE(result, tooShort ? tools::AddResult::Ignored
                              : (port ? tools::AddResult::Added : tools::AddResult::BadPort));
    QCOMPARE(survey.servers().size(), port && !tooShort ? 1 : 0);
}

void TestStunSurvey::addServer()
{
    QFETCH(QString, address);
    QFETCH(QString, port);
    QFETCH(bool, added);
    QFETCH(QString, name);
    QFETCH(QString, stored);
    QFETCH(int, storedPort);

    StunSurvey survey({server(QStringLiteral("a1"), QStringLiteral("127.0.0.2"))});
    QStringList lookups;
    const tools::AddResult result = survey.AddServer(address, port, [&](const QString& n) {
        lookups << n;
        return QStringLiteral("resolved:") + n;
    });
    QCOMPARE(result, added ? tools::AddResult::Added : tools::AddResult::Ignored);
    QCOMPARE(survey.servers().size(), added ? 2 : 1);
    if (!added) {
        QVERIFY(lookups.isEmpty());
        return;
    }
    const SurveyServer& s = survey.servers().last();
    QCOMPARE(s.ServerName, name);
    QCOMPARE(s.ServerAddress, stored);
    QCOMPARE(s.ServerPort, storedPort);
    QCOMPARE(lookups.size(), name.isEmpty() ? 0 : 1);
    QCOMPARE(s.Sequence, 0);
    QCOMPARE(s.LossCount, 0);
    QCOMPARE(s.LastReplyTime, 0);
}

void TestStunSurvey::addServerRefusesEntry257()
{
    StunSurvey survey(QList<SurveyServer>{});
    auto resolve = [](const QString& n) { return n; };
    for (int i = 0; i < 256; ++i)
        QCOMPARE(survey.AddServer(QStringLiteral("10.0.%1.%2").arg(i / 256).arg(i % 256), QStringLiteral("3478"),
                                  resolve),
                 tools::AddResult::Added);
    QCOMPARE(survey.AddServer(QStringLiteral("10.1.0.0"), QStringLiteral("3478"), resolve), tools::AddResult::Ignored);
    QCOMPARE(survey.servers().size(), 256);

    // The last index still names its server in the request and in the answer.
    QByteArray lastRequest;
    survey.RunCycle([&](const QString&, int, const QByteArray& d) { lastRequest = d; }, [] { return qint64(0); });
    QCOMPARE(static_cast<uint8_t>(lastRequest[14]), uint8_t(255));
    QVERIFY(fromItsServer(survey, answerTo(lastRequest, QStringLiteral("198.51.100.1"), 1), 3));
    QCOMPARE(survey.servers()[255].ReplyCount, 1);
}

std::unique_ptr<tools::Form2> TestStunSurvey::openWindow(QList<SurveyServer> servers)
{
    auto window = std::make_unique<tools::Form2>(probes::ProviderEndpoints::builtIn(), std::move(servers));
    // Cycles only when a test runs one.
    window->setCycleInterval(3600 * 1000);
    window->show();
    return window;
}

void TestStunSurvey::windowResolutionPhase()
{
    auto window = openWindow({server(QStringLiteral("127.0.0.2")), server(QStringLiteral("127.0.0.3") + QString(10, ' ')),
                              server(QString(), QStringLiteral("127.0.0.4"), 1234)});
    QCOMPARE(window->windowTitle(), QStringLiteral("Тест STUN серверов"));
    QCOMPARE(window->outputText(), QStringLiteral("Опрос DNS сервера..."));
    QTRY_VERIFY_WITH_TIMEOUT(window->outputText().contains(QStringLiteral("Опрос STUN")), 2000);
    QVERIFY(platform::SocketsOpen());
    QCOMPARE(platform::FixedLocalPort(), 5060);
    const QString expected = QStringLiteral("127.0.0.2\t\t127.0.0.2\r\n") +
                             QStringLiteral("127.0.0.3          \t127.0.0.3\r\n") +
                             QStringLiteral("\t\t\t127.0.0.4\r\n") + QStringLiteral("Открыт порт - ") +
                             QString::number(platform::ProbeLocalPort()) +
                             QStringLiteral("\r\nОпрос STUN серверов ...\r\n\r\n");
    QCOMPARE(window->outputText(), expected);
    QVERIFY(platform::ProbeLocalPort() > 0);
}

void TestStunSurvey::windowCyclesAndAnswers()
{
    Responder fast(QStringLiteral("127.0.0.2"), true, QStringLiteral("198.51.100.7"), 40007);
    Responder silent(QStringLiteral("127.0.0.3"), false);
    QVERIFY(fast.bound() && silent.bound());
    auto window = openWindow({server(QStringLiteral("127.0.0.2"), QString(), fast.port()),
                              server(QStringLiteral("127.0.0.3"), QString(), silent.port())});
    QTRY_VERIFY_WITH_TIMEOUT(window->outputText().contains(QStringLiteral("Опрос STUN")), 2000);

    window->setCycleInterval(250);
    // The timer drives the cycles now: wait for three of them.
    QTRY_VERIFY_WITH_TIMEOUT(silent.requests.size() >= 3, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(window->survey().servers()[0].ReplyCount >= 3, 2000);

    const SurveyServer& answered = window->survey().servers()[0];
    const SurveyServer& missing = window->survey().servers()[1];
    QCOMPARE(answered.LossCount, 0);
    QVERIFY(missing.LossCount >= 2);
    QCOMPARE(missing.ReplyCount, 0);

    // Each request went out from the probe socket with its index and cycle.
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(fast.requests[i].data, requestFor(0, i + 1));
        QCOMPARE(silent.requests[i].data, requestFor(1, i + 1));
        QCOMPARE(int(fast.requests[i].fromPort), platform::ProbeLocalPort());
    }

    // The output of a cycle holds the answering server's line only.
    QTRY_VERIFY_WITH_TIMEOUT(!window->outputText().isEmpty(), 1000);
    const QString output = window->outputText();
    QVERIFY2(output.endsWith(QStringLiteral("\r\n")), qPrintable(output));
    const QStringList lines = output.chopped(2).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 1);
    const QRegularExpressionMatch m = kResultLine.match(lines[0]);
    QVERIFY2(m.hasMatch(), qPrintable(lines[0]));
    QCOMPARE(m.captured(1), QStringLiteral("127.0.0.2"));
    QCOMPARE(m.captured(2), QStringLiteral("127.0.0.2"));
    QCOMPARE(m.captured(3), QString::number(fast.port()));
    QVERIFY(m.captured(4).toInt() < 250);
    QCOMPARE(m.captured(6), QStringLiteral("0"));
    QCOMPARE(m.captured(7), QStringLiteral("198.51.100.7"));
    QCOMPARE(m.captured(8), QStringLiteral("40007"));
    QVERIFY(m_messages.isEmpty());
}

void TestStunSurvey::windowCountsOnlyTheServersFirstAnswer()
{
    Responder manual(QStringLiteral("127.0.0.2"), false, QStringLiteral("203.0.113.5"), 5060);
    QVERIFY(manual.bound());
    auto window = openWindow({server(QStringLiteral("127.0.0.2"), QString(), manual.port())});
    QTRY_VERIFY_WITH_TIMEOUT(window->outputText().contains(QStringLiteral("Опрос STUN")), 5000);

    window->Timer2_Timer();
    QTRY_COMPARE_WITH_TIMEOUT(manual.requests.size(), 1, 2000);
    window->Timer2_Timer();
    QTRY_COMPARE_WITH_TIMEOUT(manual.requests.size(), 2, 2000);
    QCOMPARE(window->outputText(), QString());

    // The answer to cycle 1 comes after cycle 2 began.
    manual.answer(manual.requests[0]);
    // A datagram that is not an answer at all.
    manual.send(QByteArray("short"), manual.requests[0]);
    QTest::qWait(200);
    QCOMPARE(window->survey().servers()[0].ReplyCount, 0);
    QCOMPARE(window->outputText(), QString());

    // A stranger on another address answers cycle 2 first, naming the server's index.
    Responder stranger(QStringLiteral("127.0.0.9"), false, QStringLiteral("192.0.2.66"), 6666);
    QVERIFY(stranger.bound());
    stranger.answer(manual.requests[1]);
    QTest::qWait(200);
    QCOMPARE(window->survey().servers()[0].ReplyCount, 0);

    // The server's answer to cycle 2 arrives twice: one answer.
    manual.answer(manual.requests[1], 2);
    QTRY_COMPARE_WITH_TIMEOUT(window->survey().servers()[0].ReplyCount, 1, 2000);
    QTest::qWait(200);
    QCOMPARE(window->survey().servers()[0].ReplyCount, 1);
    const QStringList lines = window->outputText().chopped(2).split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 1);
    const QRegularExpressionMatch m = kResultLine.match(lines[0]);
    QVERIFY2(m.hasMatch(), qPrintable(lines[0]));
    QCOMPARE(m.captured(6), QStringLiteral("1"));
    QCOMPARE(m.captured(7) + QLatin1Char(':') + m.captured(8), QStringLiteral("203.0.113.5:5060"));
}

void TestStunSurvey::windowAddsServer()
{
    Responder added(QStringLiteral("127.0.0.4"), true, QStringLiteral("198.51.100.9"), 1024);
    QVERIFY(added.bound());
    auto window = openWindow({});
    QTRY_VERIFY_WITH_TIMEOUT(window->outputText().contains(QStringLiteral("Опрос STUN")), 2000);

    auto* address = window->findChild<QLineEdit*>(QStringLiteral("STUNAdr"));
    auto* port = window->findChild<QLineEdit*>(QStringLiteral("STUN_Port"));
    auto* add = window->findChild<QPushButton*>(QStringLiteral("Command1"));
    QCOMPARE(port->text(), QStringLiteral("3478"));

    address->setText(QStringLiteral("127.0.0.4"));
    port->setText(QStringLiteral("8"));
    add->click();
    QCOMPARE(window->survey().servers().size(), 0);
    QVERIFY(m_messages.isEmpty());
    port->setText(QStringLiteral("3478.5"));
    add->click();
    QCOMPARE(window->survey().servers().size(), 0);
    QCOMPARE(m_messages, QStringList{tools::TypedPortMessage()});

    port->setText(QString::number(added.port()));
    add->click();
    QCOMPARE(window->survey().servers().size(), 1);
    QCOMPARE(address->text(), QStringLiteral("127.0.0.4"));

    window->Timer2_Timer();
    QTRY_COMPARE_WITH_TIMEOUT(window->survey().servers()[0].ReplyCount, 1, 2000);
    QVERIFY2(window->outputText().startsWith(QStringLiteral(" (127.0.0.4:") + QString::number(added.port()) +
                                             QStringLiteral(") - время ответа ")),
             qPrintable(window->outputText()));
    QVERIFY(window->outputText().endsWith(QStringLiteral(" - внешний адрес и порт 198.51.100.9:1024\r\n")));
}

void TestStunSurvey::windowClosesTheSet()
{
    Responder responder(QStringLiteral("127.0.0.2"), true);
    auto window = openWindow({server(QStringLiteral("127.0.0.2"), QString(), responder.port())});
    QTRY_VERIFY_WITH_TIMEOUT(platform::SocketsOpen(), 2000);
    window->setCycleInterval(100);
    QTRY_VERIFY_WITH_TIMEOUT(!responder.requests.isEmpty(), 2000);

    window->findChild<QPushButton*>(QStringLiteral("Command4"))->click();
    QVERIFY(!window->isVisible());
    QVERIFY(!platform::SocketsOpen());
    const qsizetype sent = responder.requests.size();
    QTest::qWait(400);
    QCOMPARE(responder.requests.size(), sent);
}

QTEST_MAIN(TestStunSurvey)
#include "test_stun_survey.moc"
