// SPDX-License-Identifier: Apache-2.0
#include "app/report_json.h"

#include "app/startup_survey.h"
#include "probes/ping.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <cmath>
#include <utility>
#include <QCoreApplication>

namespace app {

QString NatModeName(int16_t natMode)
{
    switch (natMode) {
    case kNatOpenInternet: return QStringLiteral("open-internet");
    case kNatSymmetricFirewall: return QStringLiteral("symmetric-udp-firewall");
    case kNatSymmetric: return QStringLiteral("symmetric");
    case kNatFullCone: return QStringLiteral("full-cone");
    case kNatRestrictedCone: return QStringLiteral("restricted-cone");
    case kNatPortRestrictedCone: return QStringLiteral("port-restricted-cone");
    case kNatUndetermined: return QStringLiteral("undetermined");
    default: return QStringLiteral("unknown");
    }
}

QString SipStateName(int16_t sipState)
{
    switch (sipState) {
    case kSipNoAnswer: return QStringLiteral("no-answer");
    case kSipTranslated: return QStringLiteral("translated");
    case kSipBehindNat: return QStringLiteral("behind-nat");
    case kSipRealAddress: return QStringLiteral("real-address");
    default: return QStringLiteral("unknown");
    }
}

QString RunStepName(RunStep step)
{
    switch (step) {
    case RunStep::Startup: return QStringLiteral("startup");
    case RunStep::Echoes: return QStringLiteral("echoes");
    case RunStep::Answers: return QStringLiteral("answers");
    case RunStep::Finished: break;
    }
    return QStringLiteral("finished");
}

QString RunStepDescription(const QString& stepName)
{
    static const std::pair<const char*, const char*> kSteps[] = {
        {"startup", QT_TRANSLATE_NOOP("ReportJson", "начальная проверка")},
        {"echoes", QT_TRANSLATE_NOOP("ReportJson", "эхо-запросы ICMP")},
        {"answers", QT_TRANSLATE_NOOP("ReportJson", "ожидание ответов STUN, SIP и UPnP")},
        {"finished", QT_TRANSLATE_NOOP("ReportJson", "отчёт")},
        {"passage", QT_TRANSLATE_NOOP("ReportJson", "проверка прохождения пакетов")},
        {"dns-srv", QT_TRANSLATE_NOOP("ReportJson", "запрос DNS SRV")},
        {"ping", QT_TRANSLATE_NOOP("ReportJson", "окно пинга")},
        {"extended", QT_TRANSLATE_NOOP("ReportJson", "расширенный тест NAT")},
        {"extended-paths", QT_TRANSLATE_NOOP("ReportJson", "разделы расширенного теста")},
    };
    for (const auto& [name, text] : kSteps)
        if (stepName == QLatin1String(name))
            return QCoreApplication::translate("ReportJson", text);
    return stepName;
}

QList<ShownPair> RunFacts(const RunFigures& f)
{
    if (!f.startedAt.isValid())
        return {};
    const QLocale locale = QLocale::system();
    const probes::ProviderEndpoints& e = f.endpoints;
    QString addresses = QCoreApplication::translate("ReportJson", "STUN %1:%2, SIP %1:%3, %4:%3, пинг %5, домен %6")
                            .arg(e.mainServer)
                            .arg(e.stunPort)
                            .arg(e.sipPort)
                            .arg(e.secondServer, e.pingTarget, e.domain);
    return {{QCoreApplication::translate("ReportJson", "Начало теста"), locale.toString(f.startedAt.toLocalTime(), QLocale::LongFormat)},
            {QCoreApplication::translate("ReportJson", "Длительность"), locale.toString(f.durationSeconds, 'f', 1) + QCoreApplication::translate("ReportJson", " с")},
            {QCoreApplication::translate("ReportJson", "Версия программы"), f.version},
            {QCoreApplication::translate("ReportJson", "Проверенные адреса"), addresses}};
}

QString WithLfLineEnds(const QString& text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    while (out.endsWith(QLatin1Char('\n')))
        out.chop(1);
    return out;
}

namespace {

void appendGroup(QString& out, const ShownGroup& group)
{
    out += QLatin1Char('\n') + group.title + QLatin1Char('\n') + QString(group.title.size(), QLatin1Char('-'))
        + QLatin1Char('\n');
    for (const ShownPair& pair : group.pairs) {
        const QString lead = pair.caption + QStringLiteral(": ");
        // Continuation lines of a value line up under its first line.
        QString value = WithLfLineEnds(pair.value);
        value.replace(QLatin1Char('\n'), QLatin1Char('\n') + QString(lead.size(), QLatin1Char(' ')));
        out += lead + value + QLatin1Char('\n');
    }
    const QString text = WithLfLineEnds(group.text);
    if (!text.isEmpty())
        out += text + QLatin1Char('\n');
}

bool isLoopback(const QString& address)
{
    return address.startsWith(QStringLiteral("127."));
}

}  // namespace

QByteArray ReportAsText(const RunReport& report)
{
    QString out = report.windowTitle + QLatin1Char('\n');
    if (!report.figures.finished)
        out += QCoreApplication::translate("ReportJson", "Тест не завершён: остановлен на шаге «%1».\n")
                   .arg(RunStepDescription(report.figures.step));
    for (const ShownPair& line : RunFacts(report.figures))
        out += line.caption + QStringLiteral(": ") + line.value + QLatin1Char('\n');
    for (const ShownGroup& group : report.groups)
        appendGroup(out, group);
    if (!report.figures.messages.isEmpty()) {
        ShownGroup messages{QCoreApplication::translate("ReportJson", "Сообщения"), {}, QString()};
        for (const QString& message : report.figures.messages)
            messages.text += WithLfLineEnds(message) + QLatin1Char('\n');
        appendGroup(out, messages);
    }
    // Sections of measurements made after the automatic test.
    for (const ExtraSection& section : report.extra)
        appendGroup(out, section.shown);
    return out.toUtf8();
}

QJsonObject ReportHeaderJson(const RunFigures& f)
{
    const probes::ProviderEndpoints& e = f.endpoints;
    return QJsonObject{
        {QStringLiteral("program"), QStringLiteral("tarvolin")},
        {QStringLiteral("version"), f.version},
        {QStringLiteral("schemaVersion"), kReportSchemaVersion},
        {QStringLiteral("startedAt"),
         f.startedAt.isValid() ? QJsonValue(f.startedAt.toUTC().toString(Qt::ISODate)) : QJsonValue()},
        {QStringLiteral("durationSeconds"), std::round(f.durationSeconds * 10) / 10},
        {QStringLiteral("finished"), f.finished},
        {QStringLiteral("step"), f.finished ? QJsonValue() : QJsonValue(f.step)},
        {QStringLiteral("endpoints"),
         QJsonObject{{QStringLiteral("stunServer"), e.mainServer},
                     {QStringLiteral("stunPort"), e.stunPort},
                     {QStringLiteral("sipServer"), e.mainServer},
                     {QStringLiteral("secondSipServer"), e.secondServer},
                     {QStringLiteral("sipPort"), e.sipPort},
                     {QStringLiteral("passageServer"), e.passageServer},
                     {QStringLiteral("pingTarget"), e.pingTarget},
                     {QStringLiteral("providerDomain"), e.domain}}},
    };
}

QJsonObject FiguresAsJson(const RunFigures& f)
{
    const TestRunState& s = f.state;
    QJsonArray interfaces;
    for (const platform::InterfaceEntry& entry : f.interfaces)
        interfaces.append(QJsonObject{{QStringLiteral("address"), entry.Address},
                                      {QStringLiteral("mask"), entry.Mask},
                                      {QStringLiteral("broadcast"), entry.Broadcast},
                                      {QStringLiteral("index"), entry.Index},
                                      {QStringLiteral("loopback"), isLoopback(entry.Address)}});
    QJsonArray echoes;
    for (const EchoRecord& echo : f.echoes)
        echoes.append(QJsonObject{{QStringLiteral("time"), echo.time},
                                  {QStringLiteral("status"), static_cast<qint64>(echo.status)},
                                  {QStringLiteral("statusText"),
                                   probes::EchoStatusText(static_cast<int32_t>(echo.status)).trimmed()}});
    QJsonArray messages;
    for (const QString& message : f.messages)
        messages.append(WithLfLineEnds(message));
    auto optionalText = [](const QString& text) { return text.isEmpty() ? QJsonValue() : QJsonValue(text); };
    // The average means nothing when no echo was answered.
    int answered = 0;
    for (const EchoRecord& echo : f.echoes)
        answered += echo.status == 0 ? 1 : 0;
    QJsonObject root = ReportHeaderJson(f);
    const QJsonObject figures{
        {QStringLiteral("interfaces"), interfaces},
        {QStringLiteral("mainAddress"), optionalText(s.MainAddress)},
        {QStringLiteral("mainMask"), optionalText(s.MainMask)},
        {QStringLiteral("addressClass"),
         QJsonObject{{QStringLiteral("code"), s.AddressClass},
                     {QStringLiteral("private"), s.AddressClass == 1}}},
        {QStringLiteral("gateway"), GatewayKnown(s.Gateway) ? QJsonValue(s.Gateway) : QJsonValue()},
        {QStringLiteral("dnsTestPassed"), s.DnsTestPassed != 0},
        {QStringLiteral("ping"),
         QJsonObject{{QStringLiteral("target"), f.pingTarget},
                     {QStringLiteral("echoes"), echoes},
                     {QStringLiteral("averageDelay"), answered > 0 ? QJsonValue(s.AvgDelay) : QJsonValue()},
                     {QStringLiteral("lostPackets"), s.LostPackets},
                     {QStringLiteral("jitter"), s.Jitter}}},
        {QStringLiteral("nat"),
         QJsonObject{{QStringLiteral("code"), s.NatMode},
                     {QStringLiteral("name"), NatModeName(s.NatMode)},
                     {QStringLiteral("caption"), WithLfLineEnds(f.natCaption)}}},
        {QStringLiteral("externalAddress"), optionalText(s.ExternalAddress)},
        {QStringLiteral("externalAddressCaption"), WithLfLineEnds(f.externalCaption)},
        {QStringLiteral("mappedPort"), s.MappedPort},
        {QStringLiteral("probeLocalPort"), f.probeLocalPort},
        {QStringLiteral("portAllocation"), WithLfLineEnds(f.portCaption).trimmed()},
        {QStringLiteral("sip"),
         QJsonObject{{QStringLiteral("state"), s.SipState},
                     {QStringLiteral("name"), SipStateName(s.SipState)},
                     {QStringLiteral("caption"), WithLfLineEnds(f.sipCaption)},
                     {QStringLiteral("udp5060"), s.Udp5060Passed != 0},
                     {QStringLiteral("tcp5060"), s.Tcp5060Passed != 0}}},
        {QStringLiteral("upnp"),
         QJsonObject{{QStringLiteral("found"), s.UpnpFound != 0},
                     {QStringLiteral("caption"), WithLfLineEnds(f.upnpCaption)}}},
        {QStringLiteral("grade"), optionalText(WithLfLineEnds(f.grade))},
        {QStringLiteral("recommendation"), WithLfLineEnds(f.report)},
        {QStringLiteral("messages"), messages},
    };
    for (auto it = figures.begin(); it != figures.end(); ++it)
        root.insert(it.key(), it.value());
    return root;
}

QByteArray HeaderReportAsJson(const RunReport& report)
{
    QJsonObject root = ReportHeaderJson(report.figures);
    for (const ExtraSection& section : report.extra)
        root.insert(section.jsonKey, section.json);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QByteArray ReportAsJson(const RunReport& report)
{
    QJsonObject root = FiguresAsJson(report.figures);
    // Members of measurements made after the automatic test.
    for (const ExtraSection& section : report.extra)
        root.insert(section.jsonKey, section.json);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

}  // namespace app
