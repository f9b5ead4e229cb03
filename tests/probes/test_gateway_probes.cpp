// SPDX-License-Identifier: Apache-2.0
// The gateway's port-mapping services: UPnP IGD description and SOAP, NAT-PMP and PCP.
#include <QTest>

#include "probes/igd.h"
#include "probes/port_mapping.h"

using namespace probes;

Q_DECLARE_METATYPE(probes::MappingAnswerKind)
Q_DECLARE_METATYPE(probes::IgdFinding)

namespace {

QByteArray Description(const QByteArray& device, const QByteArray& services, const QByteArray& urlBase = {})
{
    return "<?xml version=\"1.0\"?><root xmlns=\"urn:schemas-upnp-org:device-1-0\">"
        + (urlBase.isEmpty() ? QByteArray() : "<URLBase>" + urlBase + "</URLBase>")
        + "<device><deviceType>urn:schemas-upnp-org:device:" + device + "</deviceType>"
          "<friendlyName>Router</friendlyName><deviceList><device>"
          "<deviceType>urn:schemas-upnp-org:device:WANDevice:1</deviceType><deviceList><device>"
          "<deviceType>urn:schemas-upnp-org:device:WANConnectionDevice:1</deviceType><serviceList>"
        + services + "</serviceList></device></deviceList></device></deviceList></device></root>";
}

QByteArray Service(const QByteArray& type, const QByteArray& control)
{
    return "<service><serviceType>urn:schemas-upnp-org:service:" + type + "</serviceType>"
           "<controlURL>" + control + "</controlURL></service>";
}

}  // namespace

class TestGatewayProbes : public QObject {
    Q_OBJECT
private slots:
    void description_data();
    void description();
    void externalAddress_data();
    void externalAddress();
    void soapRequest();
    void mappingRequests();
    void mappingAnswers_data();
    void mappingAnswers();
    void upnpFinding_data();
    void upnpFinding();
};

void TestGatewayProbes::description_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("device");
    QTest::addColumn<QString>("service");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QStringList>("services");  // every WAN connection service, in the order asked

    const QByteArray ip1 = Service("WANIPConnection:1", "/ctl/IPConn");
    QTest::newRow("IGD 1, relative URL") << Description("InternetGatewayDevice:1", ip1) << true << 1
        << "urn:schemas-upnp-org:service:WANIPConnection:1" << "http://192.168.1.1:5000/ctl/IPConn" << QStringList{"/ctl/IPConn"};
    QTest::newRow("negative version is no version")
        << Description("InternetGatewayDevice:-2", ip1) << true << 0 << "urn:schemas-upnp-org:service:WANIPConnection:1"
        << "http://192.168.1.1:5000/ctl/IPConn" << QStringList{"/ctl/IPConn"};
    QTest::newRow("IGD 2, highest WANIPConnection wins")
        << Description("InternetGatewayDevice:2", ip1 + Service("WANIPConnection:2", "/ctl/IP2")) << true << 2
        << "urn:schemas-upnp-org:service:WANIPConnection:2" << "http://192.168.1.1:5000/ctl/IP2" << QStringList{"/ctl/IP2", "/ctl/IPConn"};
    QTest::newRow("URLBase") << Description("InternetGatewayDevice:1", ip1, "http://10.0.0.1:80/") << true << 1
        << "urn:schemas-upnp-org:service:WANIPConnection:1" << "http://10.0.0.1:80/ctl/IPConn" << QStringList{"/ctl/IPConn"};
    QTest::newRow("PPP only") << Description("InternetGatewayDevice:1", Service("WANPPPConnection:1", "ppp"))
        << true << 1 << "urn:schemas-upnp-org:service:WANPPPConnection:1" << "http://192.168.1.1:5000/ppp" << QStringList{"/ppp"};
    QTest::newRow("absolute control URL") << Description("InternetGatewayDevice:1",
                                                          Service("WANIPConnection:1", "http://192.168.1.1:6000/c"))
        << true << 1 << "urn:schemas-upnp-org:service:WANIPConnection:1" << "http://192.168.1.1:6000/c" << QStringList{"/c"};
    QTest::newRow("media server") << Description("MediaServer:1", ip1) << false << 0 << QString() << QString() << QStringList{};
    QTest::newRow("no connection service")
        << Description("InternetGatewayDevice:1", Service("Layer3Forwarding:1", "/l3f")) << false << 1 << QString()
        << QString() << QStringList{};
    QTest::newRow("broken XML") << QByteArray("<root><device><deviceType>urn:schemas-upnp-org:device:") << false
                                << 0 << QString() << QString() << QStringList{};
    QTest::newRow("PPP listed first, IP asked first")
        << Description("InternetGatewayDevice:1", Service("WANPPPConnection:1", "/ppp") + ip1) << true << 1
        << "urn:schemas-upnp-org:service:WANIPConnection:1" << "http://192.168.1.1:5000/ctl/IPConn"
        << QStringList{"/ctl/IPConn", "/ppp"};
}

void TestGatewayProbes::description()
{
    QFETCH(QByteArray, xml);
    QFETCH(bool, valid);
    QFETCH(int, device);
    QFETCH(QString, service);
    QFETCH(QString, control);
    QFETCH(QStringList, services);
    const IgdDescription d = ReadIgdDescription(xml, QUrl(QStringLiteral("http://192.168.1.1:5000/rootDesc.xml")));
    QCOMPARE(d.valid, valid);
    QCOMPARE(d.deviceVersion, device);
    if (valid) {
        QCOMPARE(d.serviceType, service);
        QCOMPARE(d.controlUrl.toString(), control);
    }
    QStringList paths;
    for (const IgdService& service : d.services)
        paths << service.controlUrl.path();
    QCOMPARE(paths, services);
}

void TestGatewayProbes::externalAddress_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("address");

    const QByteArray ok = "<?xml version=\"1.0\"?><s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\">"
                          "<s:Body><u:GetExternalIPAddressResponse xmlns:u=\"urn:schemas-upnp-org:service:"
                          "WANIPConnection:1\"><NewExternalIPAddress> 100.64.0.2 </NewExternalIPAddress>"
                          "</u:GetExternalIPAddressResponse></s:Body></s:Envelope>";
    QTest::newRow("answer") << 200 << ok << "100.64.0.2";
    QTest::newRow("HTTP error") << 500 << ok << QString();
    QTest::newRow("SOAP fault")
        << 200
        << QByteArray("<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\"><s:Body><s:Fault>"
                      "<faultcode>s:Client</faultcode><NewExternalIPAddress>1.2.3.4</NewExternalIPAddress>"
                      "</s:Fault></s:Body></s:Envelope>")
        << QString();
    QTest::newRow("empty address") << 200 << QByteArray("<a><NewExternalIPAddress></NewExternalIPAddress></a>")
                                   << QString();
    // GetStatusInformation answers are read by the same rules.
    QTest::newRow("status connected") << 200 << QByteArray("<a><NewConnectionStatus>Connected</NewConnectionStatus></a>")
                                      << "status:Connected";
    QTest::newRow("status fault") << 200 << QByteArray("<a><s:Fault><NewConnectionStatus>Connected</NewConnectionStatus>"
                                                       "</s:Fault></a>") << "status:";
}

void TestGatewayProbes::externalAddress()
{
    QFETCH(int, status);
    QFETCH(QByteArray, body);
    QFETCH(QString, address);
    HttpAnswer a;
    a.complete = true;
    a.status = status;
    a.body = body;
    if (address.startsWith(QLatin1String("status:")))
        QCOMPARE(ReadConnectionStatus(a), address.mid(7));
    else
        QCOMPARE(ReadExternalIpAnswer(a), address);
}

void TestGatewayProbes::soapRequest()
{
    // UDA 1.1 section 3.2.1: the quoted "serviceType#action" header and the
    // action element in the service's namespace.
    const SoapCall r = GetExternalIpCall(QStringLiteral("urn:schemas-upnp-org:service:WANIPConnection:2"));
    QCOMPARE(r.contentType, QByteArray("text/xml; charset=\"utf-8\""));
    QCOMPARE(r.soapAction, QByteArray("\"urn:schemas-upnp-org:service:WANIPConnection:2#GetExternalIPAddress\""));
    QVERIFY(r.body.contains("<u:GetExternalIPAddress xmlns:u=\"urn:schemas-upnp-org:service:WANIPConnection:2\">"));
    QVERIFY(r.body.contains("<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\""));
    const SoapCall status = GetStatusCall(QStringLiteral("urn:schemas-upnp-org:service:WANPPPConnection:1"));
    QCOMPARE(status.soapAction, QByteArray("\"urn:schemas-upnp-org:service:WANPPPConnection:1#GetStatusInformation\""));
    QVERIFY(status.body.contains("<u:GetStatusInformation xmlns:u=\"urn:schemas-upnp-org:service:WANPPPConnection:1\">"));
    QCOMPARE(HeaderValue("HTTP/1.1 200 OK\r\nCACHE-CONTROL: max-age=120\r\nLocation: http://x/y\r\n\r\n", "LOCATION"),
             QStringLiteral("http://x/y"));
}

void TestGatewayProbes::mappingRequests()
{
    QCOMPARE(BuildNatPmpAddressRequest(), QByteArray::fromHex("0000"));
    QCOMPARE(BuildPcpAnnounceRequest(QStringLiteral("192.168.1.10")),
             QByteArray::fromHex("0200000000000000" "00000000000000000000ffffc0a8010a"));
    QCOMPARE(BuildPcpAnnounceRequest(QStringLiteral("::1")), QByteArray());
}

void TestGatewayProbes::mappingAnswers_data()
{
    QTest::addColumn<QByteArray>("natPmp");
    QTest::addColumn<QByteArray>("pcp");
    QTest::addColumn<MappingAnswerKind>("natPmpKind");
    QTest::addColumn<MappingAnswerKind>("pcpKind");
    QTest::addColumn<bool>("hasNatPmp");
    QTest::addColumn<bool>("hasPcp");
    QTest::addColumn<QString>("external");

    const QByteArray pmpOk = QByteArray::fromHex("0080000000001234c0000202");
    const QByteArray pmpRefusesPcp = QByteArray::fromHex("0080000100001234");
    const QByteArray pcpOk = QByteArray::fromHex("0280000000000000000012340000000000000000" "00000000");
    const QByteArray pcpRefusesPmp = QByteArray::fromHex("0280000100000000000012340000000000000000" "00000000");
    QTest::newRow("both") << pmpOk << pcpOk << MappingAnswerKind::NatPmp << MappingAnswerKind::Pcp << true << true
                          << "192.0.2.2";
    QTest::newRow("NAT-PMP only (refuses version 2)") << pmpOk << pmpRefusesPcp << MappingAnswerKind::NatPmp
                                                      << MappingAnswerKind::UnsupportedVersion << true << false
                                                      << "192.0.2.2";
    QTest::newRow("PCP only (refuses version 0)") << pcpRefusesPmp << pcpOk << MappingAnswerKind::UnsupportedVersion
                                                  << MappingAnswerKind::Pcp << false << true << QString();
    // A gateway without an external address answers with result 3 and 0.0.0.0: the service is there.
    QTest::newRow("NAT-PMP error result") << QByteArray::fromHex("008000030000123400000000") << QByteArray()
                                          << MappingAnswerKind::NatPmp << MappingAnswerKind::None << true << false
                                          << QString();
    QTest::newRow("silence") << QByteArray() << QByteArray() << MappingAnswerKind::None << MappingAnswerKind::None
                             << false << false << QString();
    QTest::newRow("short and foreign") << QByteArray::fromHex("008000") << QByteArray::fromHex("0200000000000000")
                                       << MappingAnswerKind::None << MappingAnswerKind::None << false << false
                                       << QString();
}

void TestGatewayProbes::mappingAnswers()
{
    QFETCH(QByteArray, natPmp);
    QFETCH(QByteArray, pcp);
    QFETCH(MappingAnswerKind, natPmpKind);
    QFETCH(MappingAnswerKind, pcpKind);
    QFETCH(bool, hasNatPmp);
    QFETCH(bool, hasPcp);
    QFETCH(QString, external);
    const MappingAnswer a = ReadMappingAnswer(natPmp), b = ReadMappingAnswer(pcp);
    QCOMPARE(a.kind, natPmpKind);
    QCOMPARE(b.kind, pcpKind);
    const PortMappingPresence p = CombineMappingAnswers(a, b);
    QCOMPARE(p.natPmp, hasNatPmp);
    QCOMPARE(p.pcp, hasPcp);
    QCOMPARE(p.natPmpExternalAddress, external);
}

// The UPnP line of the port-mapping finding: what was refused, and why.
void TestGatewayProbes::upnpFinding_data()
{
    QTest::addColumn<IgdFinding>("igd");
    QTest::addColumn<QString>("line");

    IgdFinding described;
    described.answered = described.described = true;
    described.deviceVersion = 2;
    described.serviceType = QStringLiteral("urn:schemas-upnp-org:service:WANIPConnection:2");
    described.serviceVersion = 2;
    const QString ours = QStringLiteral("UPnP IGD: есть, устройство InternetGatewayDevice:2, служба WANIPConnection:2");
    QTest::newRow("silence") << IgdFinding{} << "UPnP IGD: нет ответа";
    IgdFinding foreign;
    foreign.answered = true;
    foreign.foreignHost = QStringLiteral("192.168.1.30");
    foreign.descriptionTooLarge = true;
    QTest::newRow("description elsewhere")
        << foreign << "UPnP IGD: маршрутизатор ответил, но описание устройства лежит на другом адресе (192.168.1.30): "
                      "его не запрашивали";
    IgdFinding large;
    large.answered = large.descriptionTooLarge = true;
    QTest::newRow("description over 64 KiB")
        << large << "UPnP IGD: маршрутизатор ответил, но описание устройства больше 64 КиБ: оно отклонено";
    IgdFinding answered;
    answered.answered = true;
    QTest::newRow("no description") << answered << "UPnP IGD: маршрутизатор ответил, но описание устройства не получено";
    IgdFinding withAddress = described;
    withAddress.externalAddress = QStringLiteral("192.0.2.2");
    QTest::newRow("external address") << withAddress << ours + ", внешний адрес 192.0.2.2";
    QTest::newRow("no external address") << described << ours + ", внешний адрес не сообщён";
    IgdFinding answerLarge = described;
    answerLarge.answerTooLarge = true;
    QTest::newRow("SOAP answer over 64 KiB")
        << answerLarge << ours + ", внешний адрес не получен: ответ больше 64 КиБ отклонён";
}

void TestGatewayProbes::upnpFinding()
{
    QFETCH(IgdFinding, igd);
    QFETCH(QString, line);
    QCOMPARE(PortMappingFindingText(igd, {}).split(QStringLiteral("\r\n")).first(), line);
}

QTEST_APPLESS_MAIN(TestGatewayProbes)
#include "test_gateway_probes.moc"
