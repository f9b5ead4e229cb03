// SPDX-License-Identifier: Apache-2.0
#include "app/report_collect.h"

#include "app/extended_report.h"
#include "app/main_window.h"
#include "app/report.h"
#include "app/report_tools.h"
#include "app/startup_survey.h"
#include "platform/socket_set.h"

#include <QGroupBox>
#include <QJsonArray>
#include <QLabel>
#include <QRegularExpression>

namespace app {

namespace {

QString groupTitle(const QWidget& window, const char* name)
{
    const auto* box = window.findChild<QGroupBox*>(QString::fromLatin1(name));
    return box ? box->title() : QString();
}

// The window's groups in the order they are laid out, read by object name.
QList<ShownGroup> shownGroups(const Form1a& window)
{
    ShownGroup nat{groupTitle(window, "Frame2"), {}, QString()};
    const std::pair<const char*, const char*> pairs[] = {
        {"Label1", "IPAdr"}, {"Label3", "NATType"}, {"Label5", "SIPsup"}, {"Label4", "UPnP"}, {"Label6", "STUN_Port"}};
    for (const auto& [caption, value] : pairs)
        nat.pairs.append({LabelText(window, caption), LabelText(window, value)});
    return {nat,
            {groupTitle(window, "Frame1"), {}, LabelText(window, "IPs")},
            {groupTitle(window, "Frame6"), {}, LabelText(window, "Ping")},
            {groupTitle(window, "Frame7"), {}, window.reportText()}};
}

}  // namespace

RunReport CollectRunReport(const Form1a& window, const QStringList& messages, const QDateTime& startedAt,
                           double durationSeconds)
{
    RunReport report;
    report.windowTitle = window.windowTitle();
    report.groups = shownGroups(window);
    RunFigures& f = report.figures;
    f.version = VersionText();
    f.startedAt = startedAt;
    f.durationSeconds = durationSeconds;
    f.endpoints = window.endpoints();
    f.state = window.state();
    f.interfaces = window.interfaceTable();
    f.pingTarget = window.endpoints().pingTarget;
    f.echoes = window.echoes();
    f.probeLocalPort = platform::ProbeLocalPort();
    f.natCaption = LabelText(window, "NATType");
    f.externalCaption = LabelText(window, "IPAdr");
    f.portCaption = LabelText(window, "STUN_Port");
    f.sipCaption = LabelText(window, "SIPsup");
    f.upnpCaption = LabelText(window, "UPnP");
    // The report grades the line only once an external address is known.
    if (!f.state.InterfaceAddress.isEmpty() && !f.state.ExternalAddress.isEmpty())
        f.grade = GradeText(f.state.NatMode, f.state.AvgDelay, f.state.LostPackets, f.state.Jitter);
    f.report = window.reportText();
    f.messages = messages;
    // The extended test's findings, when that window ran in this session.
    if (window.lastExtendedFindings())
        report.extra << ExtendedSection(*window.lastExtendedFindings());
    return report;
}

QString WithoutHardwareAddresses(const QString& text)
{
    // Not part of a longer run of hex digits and colons (an IPv6 address).
    static const QRegularExpression mac(QStringLiteral(
        "(?<![0-9A-Fa-f:.-])[0-9A-Fa-f]{2}([:-])[0-9A-Fa-f]{2}(\\1[0-9A-Fa-f]{2}){4}(?![0-9A-Fa-f:-])"));
    QString out = text;
    out.replace(mac, QStringLiteral("xx:xx:xx:xx:xx:xx"));
    return out;
}

namespace {

QJsonValue MaskedJson(const QJsonValue& value)
{
    if (value.isString())
        return app::WithoutHardwareAddresses(value.toString());
    if (value.isArray()) {
        QJsonArray out;
        for (const QJsonValue& v : value.toArray())
            out.append(MaskedJson(v));
        return out;
    }
    if (value.isObject()) {
        QJsonObject out;
        const QJsonObject in = value.toObject();
        for (auto it = in.begin(); it != in.end(); ++it)
            out.insert(it.key(), MaskedJson(it.value()));
        return out;
    }
    return value;
}

void Mask(ShownGroup& group)
{
    group.text = app::WithoutHardwareAddresses(group.text);
    for (ShownPair& pair : group.pairs)
        pair.value = app::WithoutHardwareAddresses(pair.value);
}

}  // namespace

RunReport WithoutHardwareAddresses(const RunReport& report)
{
    RunReport out = report;
    for (ShownGroup& group : out.groups)
        Mask(group);
    out.figures.report = WithoutHardwareAddresses(out.figures.report);
    for (QString& message : out.figures.messages)
        message = WithoutHardwareAddresses(message);
    for (ExtraSection& section : out.extra) {
        Mask(section.shown);
        section.json = MaskedJson(QJsonValue(section.json)).toObject();
    }
    return out;
}

}  // namespace app
