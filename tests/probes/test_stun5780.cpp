// SPDX-License-Identifier: Apache-2.0
// STUN messages with the magic cookie: requests as built, responses as read.
#include <QTest>

#include "probes/stun5780.h"

using namespace probes::stun5780;

namespace {

const TransactionId kId{0xb7, 0xe7, 0xa7, 0x01, 0xbc, 0x34, 0xd6, 0x86, 0xfa, 0x87, 0xdf, 0xae};

QByteArray header(const char* typeHex, const QByteArray& attributes)
{
    QByteArray h = QByteArray::fromHex(typeHex);
    h.append(static_cast<char>(attributes.size() >> 8));
    h.append(static_cast<char>(attributes.size() & 0xFF));
    h.append(QByteArray::fromHex("2112a442"));
    h.append(reinterpret_cast<const char*>(kId.data()), 12);
    return h + attributes;
}

// Address attribute, IPv4 (family 1): port and address given in hex as on the wire.
QByteArray addressAttr(const char* typeHex, const char* portHex, const char* addressHex)
{
    return QByteArray::fromHex(typeHex) + QByteArray::fromHex("00080001") + QByteArray::fromHex(portHex)
           + QByteArray::fromHex(addressHex);
}

// XOR-MAPPED-ADDRESS 192.0.2.1:32853 as encoded in the sample response of RFC 5769 section 2.2.
const QByteArray kXorMapped = addressAttr("0020", "a147", "e112a643");

}  // namespace

Q_DECLARE_METATYPE(std::optional<probes::stun5780::Endpoint>)

class TestStun5780 : public QObject {
    Q_OBJECT
private slots:
    void build_data();
    void build();
    void parse_data();
    void parse();
    void rejected_data();
    void rejected();
    void sampleResponse();
};

void TestStun5780::build_data()
{
    QTest::addColumn<bool>("changeIp");
    QTest::addColumn<bool>("changePort");
    QTest::addColumn<int>("responsePort");  // -1: none
    QTest::addColumn<int>("padding");
    QTest::addColumn<QByteArray>("attributes");

    QTest::newRow("plain") << false << false << -1 << 0 << QByteArray();
    QTest::newRow("change IP and port") << true << true << -1 << 0 << QByteArray::fromHex("0003000400000006");
    QTest::newRow("change port") << false << true << -1 << 0 << QByteArray::fromHex("0003000400000002");
    QTest::newRow("change IP") << true << false << -1 << 0 << QByteArray::fromHex("0003000400000004");
    QTest::newRow("response port 40001") << false << false << 40001 << 0 << QByteArray::fromHex("002700049c410000");
    QTest::newRow("padding 5, to a multiple of four") << false << false << -1 << 5
                                                      << QByteArray::fromHex("002600050000000000000000");
    QTest::newRow("change port and response port")
        << false << true << 65535 << 0 << QByteArray::fromHex("0003000400000002" "00270004ffff0000");
}

void TestStun5780::build()
{
    QFETCH(bool, changeIp);
    QFETCH(bool, changePort);
    QFETCH(int, responsePort);
    QFETCH(int, padding);
    QFETCH(QByteArray, attributes);

    BindingRequest request;
    request.id = kId;
    request.changeIp = changeIp;
    request.changePort = changePort;
    if (responsePort >= 0)
        request.responsePort = responsePort;
    request.paddingBytes = padding;
    QCOMPARE(BuildBindingRequest(request).toHex(), header("0001", attributes).toHex());
}

void TestStun5780::parse_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<bool>("success");
    QTest::addColumn<int>("errorCode");
    QTest::addColumn<std::optional<Endpoint>>("mapped");
    QTest::addColumn<std::optional<Endpoint>>("origin");
    QTest::addColumn<std::optional<Endpoint>>("other");

    const std::optional<Endpoint> none;
    const Endpoint xorMapped{QStringLiteral("192.0.2.1"), 32853};
    const QByteArray plainMapped = addressAttr("0001", "1f90", "0a000001");  // 10.0.0.1:8080
    const QByteArray origin = addressAttr("802b", "0d96", "cb00710a");       // 203.0.113.10:3478
    const QByteArray other = addressAttr("802c", "0d97", "cb00710b");        // 203.0.113.11:3479

    QTest::newRow("XOR-MAPPED-ADDRESS wins over an earlier MAPPED-ADDRESS")
        << header("0101", plainMapped + kXorMapped) << true << 0 << std::optional(xorMapped) << none << none;
    QTest::newRow("MAPPED-ADDRESS alone")
        << header("0101", plainMapped) << true << 0 << std::optional(Endpoint{QStringLiteral("10.0.0.1"), 8080})
        << none << none;
    QTest::newRow("RESPONSE-ORIGIN and OTHER-ADDRESS")
        << header("0101", kXorMapped + origin + other) << true << 0 << std::optional(xorMapped)
        << std::optional(Endpoint{QStringLiteral("203.0.113.10"), 3478})
        << std::optional(Endpoint{QStringLiteral("203.0.113.11"), 3479});
    QTest::newRow("unknown attribute of odd length skipped with its padding")
        << header("0101", QByteArray::fromHex("80220005") + "abcde" + QByteArray(3, '\0') + other) << true << 0
        << none << none << std::optional(Endpoint{QStringLiteral("203.0.113.11"), 3479});
    // RFC 8489 section 14.2: the last twelve bytes of an IPv6 address are
    // xored with the transaction ID, not with the cookie.
    QTest::newRow("IPv6 XOR-MAPPED-ADDRESS xored with cookie and transaction ID")
        << header("0101", QByteArray::fromHex("00200014000201") + QByteArray(17, '\x01')) << true << 0
        << std::optional(Endpoint{QStringLiteral("2013:a543:b6e6:a600:bd35:d787:fb86:deaf"), 8211}) << none << none;
    // The IPv6 sample response of RFC 5769 section 2.3 (same transaction ID).
    QTest::newRow("IPv6 sample of RFC 5769")
        << header("0101", QByteArray::fromHex("002000140002a1470113a9faa5d3f179bc25f4b5bed2b9d9")) << true << 0
        << std::optional(Endpoint{QStringLiteral("2001:db8:1234:5678:11:2233:4455:6677"), 32853}) << none << none;
    QTest::newRow("IPv6 OTHER-ADDRESS and RESPONSE-ORIGIN, not xored")
        << header("0101", kXorMapped + QByteArray::fromHex("802b001400020d9620010db8000100000000000000000010")
                              + QByteArray::fromHex("802c001400020d9720010db8000100000000000000000011"))
        << true << 0 << std::optional(xorMapped) << std::optional(Endpoint{QStringLiteral("2001:db8:1::10"), 3478})
        << std::optional(Endpoint{QStringLiteral("2001:db8:1::11"), 3479});
    QTest::newRow("IPv6 family in an 8-byte value skipped")
        << header("0101", QByteArray::fromHex("002000080002a1470113a9fa")) << true << 0 << none << none << none;
    QTest::newRow("error response 420")
        << header("0111", QByteArray::fromHex("000900080000041455") + QByteArray("nkn", 3)) << false << 420 << none
        << none << none;
    // RFC 5389 section 15.6: class 3 to 6, number below 100; anything else is no code.
    QTest::newRow("ERROR-CODE number 150") << header("0111", QByteArray::fromHex("0009000400000496")) << false << 0
                                           << none << none << none;
    QTest::newRow("ERROR-CODE class 7") << header("0111", QByteArray::fromHex("0009000400000701")) << false << 0
                                        << none << none << none;
}

void TestStun5780::parse()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, success);
    QFETCH(int, errorCode);
    QFETCH(std::optional<Endpoint>, mapped);
    QFETCH(std::optional<Endpoint>, origin);
    QFETCH(std::optional<Endpoint>, other);

    const std::optional<BindingResponse> r = ParseBindingResponse(datagram);
    QVERIFY(r);
    QVERIFY(r->id == kId);
    QCOMPARE(r->success, success);
    QCOMPARE(r->errorCode, errorCode);
    QCOMPARE(r->mapped, mapped);
    QCOMPARE(r->responseOrigin, origin);
    QCOMPARE(r->otherAddress, other);
}

void TestStun5780::rejected_data()
{
    QTest::addColumn<QByteArray>("datagram");
    const QByteArray good = header("0101", kXorMapped);
    QByteArray noCookie = good;
    noCookie[4] = 0;
    QByteArray topBits = good;
    topBits[0] = static_cast<char>(0x40);
    QByteArray longer = good + QByteArray(4, '\0');
    QByteArray overrun = header("0101", QByteArray::fromHex("0020000c0001a147e112a643"));
    overrun.chop(4);
    overrun[3] = static_cast<char>(overrun.size() - 20);

    QTest::newRow("shorter than a header") << good.left(19);
    QTest::newRow("no magic cookie (classic STUN)") << noCookie;
    QTest::newRow("top bits set") << topBits;
    QTest::newRow("length field short of the datagram") << longer;
    QTest::newRow("attribute running past the end") << overrun;
    QTest::newRow("a request, not a response") << header("0001", QByteArray());
}

void TestStun5780::rejected()
{
    QFETCH(QByteArray, datagram);
    QVERIFY(!ParseBindingResponse(datagram));
}

// The IPv4 sample response of RFC 5769 section 2.2, with its integrity and
// fingerprint attributes, which this reader skips.
void TestStun5780::sampleResponse()
{
    const QByteArray sample = QByteArray::fromHex(
        "0101003c2112a442b7e7a701bc34d686fa87dfae8022000b7465737420766563746f7220"
        "00200008" "0001a147e112a643"
        "000800142b91f599fd9e90c38c7489f92af9ba53f06be7d7"
        "80280004c07d4c96");
    const std::optional<BindingResponse> r = ParseBindingResponse(sample);
    QVERIFY(r);
    QVERIFY(r->success);
    QVERIFY(r->id == kId);
    QCOMPARE(r->mapped, std::optional(Endpoint{QStringLiteral("192.0.2.1"), 32853}));
    QCOMPARE(MessageTransactionId(sample), std::optional(kId));
}

QTEST_GUILESS_MAIN(TestStun5780)
#include "test_stun5780.moc"
