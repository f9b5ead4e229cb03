// SPDX-License-Identifier: Apache-2.0
// Binding Request bytes and the reading of STUN replies.
#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>
#include <array>

#include "probes/stun_message.h"
#include "support/fake_stun_server.h"

using namespace probes;
using testsupport::FakeStunServer;

namespace {

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// 20-byte response header whose transaction ID ends in testByte.
QByteArray ResponseHeader(uint8_t testByte, int length)
{
    QByteArray out = Bytes({0x01, 0x01, length >> 8, length & 0xFF});
    out.append(15, '\0');
    out.append(static_cast<char>(testByte));
    return out;
}

QByteArray AddressAttribute(int type, std::array<int, 4> address, int port)
{
    return Bytes({type >> 8, type & 0xFF, 0, 8, 0, 1, port >> 8, port & 0xFF, address[0], address[1],
                  address[2], address[3]});
}

QByteArray Reply(uint8_t testByte, const QByteArray& attributes)
{
    return ResponseHeader(testByte, static_cast<int>(attributes.size())) + attributes;
}

}  // namespace

class TestStunMessage : public QObject {
    Q_OBJECT
private slots:
    void requestBytes_data();
    void requestBytes();
    void surveyRequestBytes();
    void shortRepliesIgnored_data();
    void shortRepliesIgnored();
    void mappedAddressAndPort();
    void addressesFoundByType_data();
    void addressesFoundByType();
    void surveyReply_data();
    void surveyReply();
    void dottedBytesPastTheEnd();
    void fakeServerRoundTrip_data();
    void fakeServerRoundTrip();
};

void TestStunMessage::requestBytes_data()
{
    QTest::addColumn<int>("testByte");
    QTest::addColumn<uint>("flags");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray id15(15, '\0');
    QTest::newRow("0x08 plain") << 0x08 << 0u
        << Bytes({0x00, 0x01, 0x00, 0x00}) + id15 + Bytes({0x08});
    QTest::newRow("0x09 change IP") << 0x09 << uint(kChangeIp)
        << Bytes({0x00, 0x01, 0x00, 0x08}) + id15
               + Bytes({0x09, 0x00, 0x03, 0x00, 0x04, 0x00, 0x00, 0x00, 0x04});
    QTest::newRow("0x0A change port") << 0x0A << uint(kChangePort)
        << Bytes({0x00, 0x01, 0x00, 0x08}) + id15
               + Bytes({0x0A, 0x00, 0x03, 0x00, 0x04, 0x00, 0x00, 0x00, 0x02});
    QTest::newRow("0x0B plain") << 0x0B << 0u
        << Bytes({0x00, 0x01, 0x00, 0x00}) + id15 + Bytes({0x0B});
}

void TestStunMessage::requestBytes()
{
    QFETCH(int, testByte);
    QFETCH(uint, flags);
    QFETCH(QByteArray, expected);
    const QByteArray request = BuildBindingRequest(static_cast<uint8_t>(testByte), flags);
    QCOMPARE(request.size(), expected.size());
    QCOMPARE(request.toHex(' '), expected.toHex(' '));
}

void TestStunMessage::surveyRequestBytes()
{
    const QByteArray request = BuildSurveyRequest(27, 200);
    QByteArray expected = Bytes({0x00, 0x01, 0x00, 0x00});
    expected.append(10, '\0');
    expected.append(static_cast<char>(27));
    expected.append(4, '\0');
    expected.append(static_cast<char>(200));
    QCOMPARE(request.toHex(' '), expected.toHex(' '));
}

void TestStunMessage::shortRepliesIgnored_data()
{
    QTest::addColumn<int>("testByte");
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("read");

    // A reply with MAPPED-ADDRESS first, cut to size: it is read only while
    // the whole attribute is there, whatever the test byte.
    QTest::newRow("19 bytes") << 0x09 << 19 << false;
    QTest::newRow("empty") << 0x08 << 0 << false;
    QTest::newRow("0x09 header only") << 0x09 << 20 << false;
    QTest::newRow("0x0A header only") << 0x0A << 20 << false;
    QTest::newRow("0x08 attribute cut") << 0x08 << 31 << false;
    QTest::newRow("0x08 whole attribute") << 0x08 << 32 << true;
    QTest::newRow("0x09 whole attribute") << 0x09 << 32 << true;
    QTest::newRow("0x0B attribute cut") << 0x0B << 31 << false;
    QTest::newRow("other byte, whole attribute") << 0x42 << 32 << true;
}

void TestStunMessage::shortRepliesIgnored()
{
    QFETCH(int, testByte);
    QFETCH(int, size);
    QFETCH(bool, read);
    QByteArray datagram = Reply(uint8_t(testByte), AddressAttribute(0x0001, {198, 51, 100, 7}, 40000));
    datagram.truncate(size);
    const QByteArray exact(datagram.constData(), datagram.size());
    const auto fields = ReadStunReply(exact);
    QCOMPARE(fields.has_value(), read);
    if (read)
        QCOMPARE(int(fields->testByte), testByte);
}

void TestStunMessage::mappedAddressAndPort()
{
    const QByteArray reply = Reply(0x08, AddressAttribute(0x0001, {0x0A, 0x00, 0x00, 0x01}, 0x13C4)
                                         + AddressAttribute(0x0005, {203, 0, 113, 99}, 3479));
    const auto fields = ReadStunReply(reply);
    QVERIFY(fields.has_value());
    QCOMPARE(fields->mappedAddress, QStringLiteral("10.0.0.1"));
    QCOMPARE(fields->mappedPort, 5060);

    // High bytes read unsigned.
    const QByteArray high = Reply(0x0B, AddressAttribute(0x0001, {255, 254, 128, 200}, 0xFFFE));
    const auto highFields = ReadStunReply(high);
    QVERIFY(highFields.has_value());
    QCOMPARE(highFields->mappedAddress, QStringLiteral("255.254.128.200"));
    QCOMPARE(highFields->mappedPort, 65534);
}

void TestStunMessage::addressesFoundByType_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<bool>("read");
    QTest::addColumn<QString>("mapped");      // "address:port"
    QTest::addColumn<QString>("alternative"); // "address:port", "" for none

    const QByteArray mapped = AddressAttribute(0x0001, {198, 51, 100, 7}, 40000);
    const QByteArray changed = AddressAttribute(0x0005, {203, 0, 113, 20}, 3479);
    const QByteArray other = AddressAttribute(0x802C, {203, 0, 113, 30}, 3480);
    const QByteArray source = AddressAttribute(0x0004, {203, 0, 113, 10}, 3478);
    const QByteArray software = Bytes({0x80, 0x22, 0x00, 0x05, 'c', 'o', 't', 'u', 'r', 0, 0, 0});
    QByteArray v6Changed = changed;
    v6Changed[5] = 0x02;
    QByteArray v6Mapped = AddressAttribute(0x0001, {0x20, 0x01, 0x0d, 0xb8}, 40001);
    v6Mapped[5] = 0x02;
    const QString m = QStringLiteral("198.51.100.7:40000");
    const QString c = QStringLiteral("203.0.113.20:3479");
    const QString o = QStringLiteral("203.0.113.30:3480");

    QTest::newRow("mapped, changed, source") << Reply(0x08, mapped + changed + source) << true << m << c;
    QTest::newRow("coturn order") << Reply(0x08, mapped + source + changed + software) << true << m << c;
    QTest::newRow("after a padded attribute") << Reply(0x08, mapped + software + source + changed) << true << m << c;
    QTest::newRow("changed first, mapped later") << Reply(0x08, changed + source + mapped) << true << m << c;
    // No CHANGED-ADDRESS: OTHER-ADDRESS, else nothing (SOURCE-ADDRESS is the server itself).
    QTest::newRow("OTHER-ADDRESS") << Reply(0x08, mapped + source + other) << true << m << o;
    QTest::newRow("CHANGED before OTHER") << Reply(0x08, mapped + other + changed) << true << m << c;
    QTest::newRow("source only") << Reply(0x08, mapped + source) << true << m << QString();
    QTest::newRow("mapped only") << Reply(0x08, mapped) << true << m << QString();
    QTest::newRow("IPv6 CHANGED-ADDRESS") << Reply(0x08, mapped + source + v6Changed) << true << m << QString();
    QTest::newRow("IPv6 CHANGED, IPv4 OTHER") << Reply(0x08, mapped + v6Changed + other) << true << m << o;
    // An IPv6 MAPPED-ADDRESS first: the IPv4 one after it counts; alone, there is none.
    QTest::newRow("IPv6 then IPv4 mapped") << Reply(0x08, v6Mapped + mapped + changed) << true << m << c;
    QTest::newRow("IPv6 mapped only") << Reply(0x08, v6Mapped + changed + source) << false << QString() << QString();
    QTest::newRow("0x0B with IPv6 mapped only") << Reply(0x0B, v6Mapped) << false << QString() << QString();
    // No MAPPED-ADDRESS and another address attribute first: nothing at a fixed place.
    QTest::newRow("changed and source only") << Reply(0x08, changed + source) << false << QString() << QString();
    QTest::newRow("0x09 without mapped address") << Reply(0x09, source) << false << QString() << QString();

    // Malformed attribute lists stay inside the datagram.
    QByteArray huge = mapped + changed;
    huge[2] = '\xFF';
    huge[3] = '\xFF';
    QTest::newRow("length past the end: nothing at a fixed place") << Reply(0x08, huge) << false << QString()
                                                                   << QString();
    QByteArray cut = Reply(0x08, mapped + source + changed);
    cut.chop(3);
    QTest::newRow("truncated CHANGED-ADDRESS") << cut << true << m << QString();
    QTest::newRow("CHANGED-ADDRESS of 4 bytes")
        << Reply(0x08, mapped + source + Bytes({0x00, 0x05, 0x00, 0x04, 0, 1, 0x0D, 0x96})) << true << m << QString();
    QTest::newRow("dangling bytes") << Reply(0x08, mapped + changed + Bytes({0x00, 0x05})) << true << m << c;
}

void TestStunMessage::addressesFoundByType()
{
    QFETCH(QByteArray, reply);
    QFETCH(bool, read);
    QFETCH(QString, mapped);
    QFETCH(QString, alternative);
    // Read from an exact-size heap copy so that AddressSanitizer builds catch any overread.
    const QByteArray exact(reply.constData(), reply.size());
    const auto fields = ReadStunReply(exact);
    QCOMPARE(fields.has_value(), read);
    if (!read)
        return;
    QCOMPARE(fields->mappedAddress + QLatin1Char(':') + QString::number(fields->mappedPort), mapped);
    const QString shownAlternative = fields->alternative ? fields->alternative->address + QLatin1Char(':')
                                                               + QString::number(fields->alternative->port)
                                                         : QString();
    QCOMPARE(shownAlternative, alternative);
}

void TestStunMessage::surveyReply_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("external");  // "" when the answer is refused

    const QByteArray mapped = AddressAttribute(0x0001, {198, 51, 100, 7}, 50000);
    const QByteArray source = AddressAttribute(0x0004, {203, 0, 113, 10}, 3478);
    const QString m = QStringLiteral("198.51.100.7:50000");
    QByteArray error = Reply(0x05, Bytes({0x00, 0x09, 0x00, 0x08, 0, 0, 4, 0, 'B', 'a', 'd', ' '}));
    error[1] = 0x11;  // Binding Error Response
    QByteArray request = Reply(0x05, mapped);
    request[1] = 0x01;
    request[0] = 0x00;

    QTest::newRow("binding response") << Reply(0x05, mapped) << m;
    QTest::newRow("mapped after SOURCE-ADDRESS") << Reply(0x05, source + mapped) << m;
    QTest::newRow("header only") << Reply(0x05, QByteArray()) << QString();
    QTest::newRow("address cut off") << Reply(0x05, mapped).left(29) << QString();
    QTest::newRow("error response") << error << QString();
    QTest::newRow("a request, not a response") << request << QString();
    QTest::newRow("19 bytes") << Reply(0x05, mapped).left(19) << QString();
}

void TestStunMessage::surveyReply()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, external);
    reply[14] = 3;
    const auto read = ReadSurveyReply(QByteArray(reply.constData(), reply.size()));
    QCOMPARE(read.has_value(), !external.isEmpty());
    if (!read)
        return;
    QCOMPARE(int(read->index), 3);
    QCOMPARE(int(read->sequence), 5);
    QCOMPARE(read->externalAddress + QLatin1Char(':') + QString::number(read->externalPort), external);
}

void TestStunMessage::dottedBytesPastTheEnd()
{
    QCOMPARE(DottedFromBytes(Bytes({1, 2}), 0), QStringLiteral("1.2.0.0"));
    QCOMPARE(DottedFromBytes(Bytes({1, 2}), 5), QStringLiteral("0.0.0.0"));
    QCOMPARE(PortFromBytes(Bytes({0x13}), 0), 0x1300);
}

void TestStunMessage::fakeServerRoundTrip_data()
{
    QTest::addColumn<int>("order");
    QTest::newRow("CHANGED-ADDRESS second") << int(FakeStunServer::AttributeOrder::ChangedSecond);
    QTest::newRow("coturn order") << int(FakeStunServer::AttributeOrder::Coturn);
}

void TestStunMessage::fakeServerRoundTrip()
{
    QFETCH(int, order);
    FakeStunServer server;
    QVERIFY(server.start());
    server.setAttributeOrder(static_cast<FakeStunServer::AttributeOrder>(order));

    QUdpSocket client;
    QVERIFY(client.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    const auto exchange = [&](const QByteArray& request, const QHostAddress& to, quint16 port) {
        client.writeDatagram(request, to, port);
        QNetworkDatagram answer;
        // The server lives in this thread: run the event loop while waiting.
        if (QTest::qWaitFor([&] { return client.hasPendingDatagrams(); }, 2000))
            answer = client.receiveDatagram();
        return answer;
    };

    // Plain request: mapped = the client's own address, alternative = 127.0.0.3, alternative port.
    QNetworkDatagram answer = exchange(BuildBindingRequest(kStunPlainTest), FakeStunServer::primaryAddress(),
                                       server.port());
    auto fields = ReadStunReply(answer.data());
    QVERIFY(fields.has_value());
    QCOMPARE(int(fields->testByte), int(kStunPlainTest));
    QCOMPARE(fields->mappedAddress, QStringLiteral("127.0.0.1"));
    QCOMPARE(fields->mappedPort, int(client.localPort()));
    QVERIFY(fields->alternative.has_value());
    QCOMPARE(fields->alternative->address, QStringLiteral("127.0.0.3"));
    QCOMPARE(fields->alternative->port, int(server.alternativePort()));
    QCOMPARE(QHostAddress(answer.senderAddress().toIPv4Address()), FakeStunServer::primaryAddress());

    // Change IP comes from 127.0.0.3, same port; change port from 127.0.0.2, alternative port.
    answer = exchange(BuildBindingRequest(kStunChangeIpTest, kChangeIp), FakeStunServer::primaryAddress(),
                      server.port());
    QCOMPARE(QHostAddress(answer.senderAddress().toIPv4Address()), FakeStunServer::alternativeAddress());
    QCOMPARE(answer.senderPort(), int(server.port()));
    answer = exchange(BuildBindingRequest(kStunChangePortTest, kChangePort), FakeStunServer::primaryAddress(),
                      server.port());
    QCOMPARE(QHostAddress(answer.senderAddress().toIPv4Address()), FakeStunServer::primaryAddress());
    QCOMPARE(answer.senderPort(), int(server.alternativePort()));

    // The fourth request goes to the reported alternative address.
    server.setMappedAddressFor(kStunAlternativeTest, QStringLiteral("198.51.100.7"), 4242);
    answer = exchange(BuildBindingRequest(kStunAlternativeTest), QHostAddress(fields->alternative->address),
                      static_cast<quint16>(fields->alternative->port));
    fields = ReadStunReply(answer.data());
    QVERIFY(fields.has_value());
    QCOMPARE(fields->mappedAddress, QStringLiteral("198.51.100.7"));
    QCOMPARE(fields->mappedPort, 4242);

    // Unanswered test bytes are recorded but get nothing back.
    server.setAnsweredTestBytes({kStunPlainTest});
    client.writeDatagram(BuildBindingRequest(kStunChangeIpTest, kChangeIp), FakeStunServer::primaryAddress(),
                         server.port());
    QTest::qWait(300);
    QVERIFY(!client.hasPendingDatagrams());
    QCOMPARE(server.requestCount(kStunChangeIpTest), 2);
    QVERIFY(!server.requests().last().answered);
}

QTEST_GUILESS_MAIN(TestStunMessage)
#include "test_stun_message.moc"
