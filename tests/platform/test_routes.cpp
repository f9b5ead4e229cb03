// SPDX-License-Identifier: Apache-2.0
// The default gateway read from the kernel's routing table.
#include "platform/routes.h"

#include <QtTest>

namespace {

const char* const kHeader = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

QByteArray Table(const QList<const char*>& rows)
{
    QByteArray t(kHeader);
    for (const char* row : rows)
        t += QByteArray(row) + '\n';
    return t;
}

}  // namespace

class TestRoutes : public QObject {
    Q_OBJECT
private slots:
    void defaultGateway_data()
    {
        QTest::addColumn<QByteArray>("table");
        QTest::addColumn<QString>("gateway");
        QTest::newRow("a home router") << Table({"eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0",
                                                 "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0"})
                                       << "192.168.1.1";
        QTest::newRow("lowest metric wins") << Table({"wlan0\t00000000\t0100000A\t0003\t0\t0\t600\t00000000\t0\t0\t0",
                                                      "eth0\t00000000\t FE0110AC\t0003\t0\t0\t100\t00000000\t0\t0\t0"})
                                            << "172.16.1.254";
        QTest::newRow("a route that is down") << Table({"eth0\t00000000\t0101A8C0\t0002\t0\t0\t0\t00000000\t0\t0\t0"})
                                              << "";
        QTest::newRow("default route without a gateway (point-to-point)")
            << Table({"ppp0\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0"}) << "";
        QTest::newRow("only a network route") << Table({"eth0\t0001A8C0\t0101A8C0\t0003\t0\t0\t0\t00FFFFFF\t0\t0\t0"})
                                              << "";
        QTest::newRow("header only") << Table({}) << "";
        QTest::newRow("a field that is not hex") << Table({"eth0\t00000000\tGATEWAY1\t0003\t0\t0\t0\t00000000\t0\t0\t0"})
                                                 << "";
        QTest::newRow("too few fields") << Table({"eth0\t00000000\t0101A8C0\t0003"}) << "";
        QTest::newRow("no header: the first line is never a route")
            << QByteArray("eth0\t00000000\t0101A8C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n") << "";
    }
    void defaultGateway()
    {
        QFETCH(QByteArray, table);
        QFETCH(QString, gateway);
        QCOMPARE(platform::DefaultGatewayFromRouteTable(table), gateway);
    }
};

QTEST_GUILESS_MAIN(TestRoutes)
#include "test_routes.moc"
