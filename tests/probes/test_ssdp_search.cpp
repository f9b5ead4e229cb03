// SPDX-License-Identifier: Apache-2.0
// SSDP search requests and the reading of the router's answers.
#include <QTest>

#include "probes/ssdp_search.h"

using namespace probes;

Q_DECLARE_METATYPE(probes::SsdpEffect)

class TestSsdpSearch : public QObject {
    Q_OBJECT
private slots:
    void requestBytes_data();
    void requestBytes();
    void answers_data();
    void answers();
    void senderOnOwnNetwork_data();
    void senderOnOwnNetwork();
};

void TestSsdpSearch::requestBytes_data()
{
    QTest::addColumn<int>("request");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("WANIPConnection") << 1
        << QByteArray("M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nMX: 2\r\n"
                      "ST: urn:schemas-upnp-org:service:WANIPConnection:1\r\n\r\n");
    QTest::newRow("WANPPPConnection") << 2
        << QByteArray("M-SEARCH * HTTP/1.1\r\nHOST: 239.255.255.250:1900\r\nMAN: \"ssdp:discover\"\r\nMX: 2\r\n"
                      "ST: urn:schemas-upnp-org:service:WANPPPConnection:1\r\n\r\n");
    QTest::newRow("no such request") << 3 << QByteArray();
}

void TestSsdpSearch::requestBytes()
{
    QFETCH(int, request);
    QFETCH(QByteArray, expected);
    QCOMPARE(BuildSsdpSearch(request), expected);
}

void TestSsdpSearch::answers_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<int>("senderPort");
    QTest::addColumn<SsdpEffect>("effect");

    QTest::newRow("HTTP 200 from the router") << QByteArray("HTTP/1.1 200 OK\r\nST: x\r\n\r\n") << 1900
                                              << SsdpEffect::Found;
    QTest::newRow("HTTP error, other port") << QByteArray("HTTP/1.1 404 Not Found\r\n\r\n") << 40000
                                            << SsdpEffect::None;
    QTest::newRow("other reason phrase") << QByteArray("HTTP/1.1 200 Yes\r\n\r\n") << 1900 << SsdpEffect::Found;
    QTest::newRow("no reason phrase") << QByteArray("HTTP/1.1 200\r\n\r\n") << 1900 << SsdpEffect::Found;
    QTest::newRow("status 2000") << QByteArray("HTTP/1.1 2000 OK\r\n\r\n") << 1900 << SsdpEffect::None;
    QTest::newRow("HTTP/1.0") << QByteArray("HTTP/1.0 200 OK\r\n\r\n") << 1900 << SsdpEffect::None;
    QTest::newRow("status line cut short") << QByteArray("HTTP/1.1 200") << 1900 << SsdpEffect::None;
    QTest::newRow("just HTTP") << QByteArray("HTTP") << 1900 << SsdpEffect::None;
    QTest::newRow("lower-case http") << QByteArray("http/1.1 200 OK\r\n\r\n") << 1900 << SsdpEffect::None;
    QTest::newRow("HTT") << QByteArray("HTT") << 1900 << SsdpEffect::None;
    QTest::newRow("empty from 1900") << QByteArray() << 1900 << SsdpEffect::Cleared;
    QTest::newRow("empty from 1901") << QByteArray() << 1901 << SsdpEffect::None;
    QTest::newRow("SIP answer") << QByteArray("SIP/2.0 200 OK\r\n\r\n") << 1900 << SsdpEffect::None;
    QTest::newRow("SIP answer from 5060") << QByteArray("SIP/2.0 200 OK\r\n\r\n") << 5060 << SsdpEffect::None;
}

void TestSsdpSearch::answers()
{
    QFETCH(QByteArray, data);
    QFETCH(int, senderPort);
    QFETCH(SsdpEffect, effect);
    QCOMPARE(ReadSsdpAnswer(data, senderPort), effect);
}

void TestSsdpSearch::senderOnOwnNetwork_data()
{
    QTest::addColumn<QString>("sender");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("gateway");
    QTest::addColumn<bool>("counts");
    QTest::newRow("the router of a /24") << "192.168.1.1" << "192.168.1.10" << "255.255.255.0" << "" << true;
    QTest::newRow("another device of the /24") << "192.168.1.200" << "192.168.1.10" << "255.255.255.0" << "192.168.1.1" << true;
    QTest::newRow("next network") << "192.168.2.1" << "192.168.1.10" << "255.255.255.0" << "192.168.1.1" << false;
    QTest::newRow("a stranger on the Internet") << "203.0.113.66" << "198.51.100.10" << "255.255.255.0" << "192.168.1.1" << false;
    QTest::newRow("inside a /16") << "10.1.200.1" << "10.1.0.5" << "255.255.0.0" << "192.168.1.1" << true;
    QTest::newRow("point-to-point /32: only itself") << "10.0.0.1" << "10.0.0.2" << "255.255.255.255" << "192.168.1.1" << false;
    QTest::newRow("no main address") << "192.168.1.1" << "" << "" << "" << false;
    QTest::newRow("mask 0.0.0.0 would take everyone") << "203.0.113.66" << "192.168.1.10" << "0.0.0.0" << "192.168.1.1" << false;
    QTest::newRow("mask with a hole") << "192.168.1.1" << "192.168.1.10" << "255.0.255.0" << "" << false;
    QTest::newRow("point-to-point: the first hop itself") << "10.64.0.1" << "100.70.3.4" << "255.255.255.255"
                                                          << "10.64.0.1" << true;
    QTest::newRow("no first hop known") << "203.0.113.66" << "198.51.100.10" << "255.255.255.0"
                                        << "неопределенный" << false;
    QTest::newRow("sender not an address") << "router" << "192.168.1.10" << "255.255.255.0" << "192.168.1.1" << false;
}

void TestSsdpSearch::senderOnOwnNetwork()
{
    QFETCH(QString, sender);
    QFETCH(QString, address);
    QFETCH(QString, mask);
    QFETCH(QString, gateway);
    QFETCH(bool, counts);
    QCOMPARE(SsdpSenderOnOwnNetwork(sender, address, mask, gateway), counts);
}

QTEST_GUILESS_MAIN(TestSsdpSearch)
#include "test_ssdp_search.moc"
