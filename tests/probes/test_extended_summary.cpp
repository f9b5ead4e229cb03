// SPDX-License-Identifier: Apache-2.0
// The summary rules: the mark of each finding and the one action on top.
#include "probes/extended_summary.h"

#include <QJsonDocument>
#include <QtTest>

using probes::Mark;

namespace {

QJsonObject Figures(const char* json)
{
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

}  // namespace

class TestExtendedSummary : public QObject {
    Q_OBJECT
private slots:
    void marksAndAction_data()
    {
        QTest::addColumn<QJsonObject>("figures");
        QTest::addColumn<QString>("marks");  // "key=mark" in row order
        QTest::addColumn<QString>("action");

        QTest::newRow("nothing measured") << QJsonObject() << "" << "Измерить не удалось: см. подробности ниже";
        QTest::newRow("a clean cone NAT")
            << Figures(R"({"mapping":{"behaviour":"endpoint-independent"},"filtering":{"behaviour":"endpoint-independent"},
                          "hairpin":{"result":"supported"},"rtp-pair":{"preserved":true},
                          "lifetime":{"result":"at-least-cap","lastAliveSeconds":300}})")
            << "mapping=green filtering=green hairpin=green rtp-pair=green lifetime=green" << "Всё в порядке";
        QTest::newRow("a 60 s binding asks for keep-alive first")
            << Figures(R"({"mapping":{"behaviour":"address-and-port-dependent"},
                          "lifetime":{"result":"measured","lastAliveSeconds":55,"keepAliveSeconds":25}})")
            << "mapping=yellow lifetime=yellow" << "Настройте keep-alive не реже чем раз в 25 с";
        QTest::newRow("a binding lost within 5 s is red")
            << Figures(R"({"lifetime":{"result":"below-first-step","firstDeadSeconds":5,"keepAliveSeconds":2}})")
            << "lifetime=red" << "Настройте keep-alive не реже чем раз в 2 с";
        QTest::newRow("symmetric NAT, binding kept long")
            << Figures(R"({"mapping":{"behaviour":"address-dependent"},"lifetime":{"result":"at-least-cap"}})")
            << "mapping=yellow lifetime=green" << "Отключите STUN на телефоне и используйте outbound proxy провайдера";
        QTest::newRow("no NAT and no firewall")
            << Figures(R"({"mapping":{"behaviour":"no-nat"},"hairpin":{"result":"no-nat"},"lifetime":{"result":"no-binding"}})")
            << "mapping=green hairpin=green lifetime=green" << "Всё в порядке";
        QTest::newRow("server cannot test: grey, not green")
            << Figures(R"({"mapping":{"behaviour":"unsupported"},"lifetime":{"result":"unsupported"},
                          "rtp-pair":{"result":"no-answer"}})")
            << "mapping=grey rtp-pair=grey lifetime=grey" << "Измерить не удалось: см. подробности ниже";
        QTest::newRow("internal source on hairpin")
            << Figures(R"({"hairpin":{"result":"internal-source"}})") << "hairpin=red"
            << "Для звонков внутри сети используйте SIP-прокси провайдера, а не прямые адреса";
        QTest::newRow("RTP pair split")
            << Figures(R"({"rtp-pair":{"preserved":false,"parityKept":false,"adjacent":false}})") << "rtp-pair=yellow"
            << "Включите rtcp-mux на телефоне";
        QTest::newRow("paths: CGNAT, poor voice, servers silent")
            << Figures(R"({"paths":{"natVerdict":"cgnat","upnpIgd":{"answered":false},"natPmp":false,"pcp":false,
                          "voice":{"sent":500,"received":480,"rated":true,"MOS":2.9},
                          "sipDns":{"targets":[{"checked":true,"answered":false}]}}})")
            << "nat=yellow ports=grey voice=red dns=red"
            << "Серверы провайдера не отвечают: проверьте, не блокирует ли их маршрутизатор или сеть";
        QTest::newRow("paths: poor line comes before a second NAT")
            << Figures(R"({"paths":{"natVerdict":"double","voice":{"sent":500,"received":10,"rated":false}}})")
            << "nat=yellow voice=red"
            << "Линия теряет или задерживает слишком много пакетов: обратитесь к провайдеру Интернета";
        QTest::newRow("paths: fine")
            << Figures(R"({"paths":{"natVerdict":"single","upnpIgd":{"answered":true},"natPmp":true,"pcp":false,
                          "voice":{"sent":500,"received":500,"rated":true,"MOS":4.38},
                          "sipDns":{"targets":[{"checked":true,"answered":true},{"checked":true,"answered":false}]}}})")
            << "nat=green ports=green voice=green dns=green" << "Всё в порядке";
        QTest::newRow("SIP ALG comes first")
            << Figures(R"({"lifetime":{"result":"measured","keepAliveSeconds":25},
                          "sipPath":{"supported":true,"checks":[{"invite":[{"what":"Via","toExternalAddress":true}]}]}})")
            << "lifetime=yellow sip=red" << "Отключите SIP ALG на маршрутизаторе";
        QTest::newRow("SIP rewritten to something else: shown, no ALG claimed")
            << Figures(R"({"sipPath":{"supported":true,"checks":[{"invite":[],"register":[{"what":"Contact"}]}]}})")
            << "sip=yellow" << "Всё в порядке";
        QTest::newRow("SIP untouched; a server without the mirror is grey")
            << Figures(R"({"sipPath":{"supported":true,"checks":[{"invite":[],"register":[]}]}})") << "sip=green"
            << "Всё в порядке";
        QTest::newRow("no mirror on the server") << Figures(R"({"sipPath":{"supported":false}})") << "sip=grey"
                                                 << "Измерить не удалось: см. подробности ниже";
        QTest::newRow("IPv6 works: green")
            << Figures(R"({"ipv6":{"available":true,"family":"ipv6","verdict":"IPv6 работает","stun":{"answered":true}}})")
            << "ipv6=green" << "Всё в порядке";
        QTest::newRow("IPv6 broken: red, turn it off on the phone")
            << Figures(R"({"ipv6":{"available":true,"family":"ipv4","verdict":"IPv6 не работает","stun":{"answered":false}}})")
            << "ipv6=red" << "Отключите IPv6 в телефоне: серверы провайдера по IPv6 недоступны";
        QTest::newRow("a broken RTP pair comes before broken IPv6")
            << Figures(R"({"rtp-pair":{"preserved":false,"parityKept":false,"adjacent":false,"localPort":40000,"mappedPort":1,"mappedNextPort":7},
                          "ipv6":{"available":true,"family":"ipv4","verdict":"IPv6 не работает"}})")
            << "rtp-pair=yellow ipv6=red" << "Включите rtcp-mux на телефоне";
        QTest::newRow("no IPv6 on the computer: grey")
            << Figures(R"({"ipv6":{"available":false,"family":"ipv4","verdict":"IPv6 недоступен"}})") << "ipv6=grey"
            << "Измерить не удалось: см. подробности ниже";
        QTest::newRow("NAT66 answered: yellow")
            << Figures(R"({"ipv6":{"available":true,"family":"either","verdict":"IPv6 работает через NAT66","stun":{"answered":true}}})")
            << "ipv6=yellow" << "Всё в порядке";
        QTest::newRow("MOS between 3.1 and 4 is yellow")
            << Figures(R"({"paths":{"voice":{"sent":500,"received":500,"rated":true,"MOS":3.6}}})") << "voice=yellow"
            << "Всё в порядке";
    }
    void marksAndAction()
    {
        QFETCH(QJsonObject, figures);
        QFETCH(QString, marks);
        QFETCH(QString, action);
        const probes::ExtendedSummary s = probes::SummarizeExtended(figures);
        QStringList seen;
        for (const probes::SummaryRow& r : s.rows) {
            seen << r.key + QLatin1Char('=') + probes::MarkName(r.mark);
            QVERIFY2(!r.result.isEmpty() && !r.result.contains(QLatin1Char('\n')), qPrintable(r.result));
        }
        QCOMPARE(seen.join(QLatin1Char(' ')), marks);
        QCOMPARE(s.action, action);
        // The JSON carries the same, the mark also in words.
        const QJsonObject json = probes::SummaryJson(s);
        QCOMPARE(json.value(QStringLiteral("action")).toString(), action);
        QCOMPARE(json.value(QStringLiteral("rows")).toArray().size(), s.rows.size());
    }
};

QTEST_GUILESS_MAIN(TestExtendedSummary)
#include "test_extended_summary.moc"
