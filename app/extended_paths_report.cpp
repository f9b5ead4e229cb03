#include "app/extended_paths_report.h"

#include "probes/endpoints.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QTimer>
#include <cstdio>

namespace app {

namespace {

const char* BlockName(tools::PathSection s)
{
    switch (s) {
    case tools::PathSection::Nat: return "ExtNat";
    case tools::PathSection::Ports: return "ExtPorts";
    case tools::PathSection::Voice: return "ExtVoice";
    case tools::PathSection::Dns: break;
    }
    return "ExtDns";
}

QString VerdictKey(probes::NatVerdict v)
{
    switch (v) {
    case probes::NatVerdict::None: return QStringLiteral("none");
    case probes::NatVerdict::Single: return QStringLiteral("single");
    case probes::NatVerdict::Double: return QStringLiteral("double");
    case probes::NatVerdict::Carrier: return QStringLiteral("cgnat");
    case probes::NatVerdict::Unknown: break;
    }
    return QStringLiteral("unknown");
}

}  // namespace

tools::ExtendedPathsConfig BuiltInPathsConfig()
{
    const probes::ProviderEndpoints e = probes::ProviderEndpoints::builtIn();
    tools::ExtendedPathsConfig c;
    c.stunServer = e.mainServer;
    c.stunPort = e.stunPort;
    c.hopTarget = e.mainServer;
    c.domain = e.domain;
    return c;
}

QSet<tools::PathSection> ParsePathSections(const QString& list, bool* ok)
{
    QSet<tools::PathSection> out;
    bool good = true;
    for (const QString& word : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (word == QLatin1String("nat"))
            out << tools::PathSection::Nat;
        else if (word == QLatin1String("ports"))
            out << tools::PathSection::Ports;
        else if (word == QLatin1String("voice"))
            out << tools::PathSection::Voice;
        else if (word == QLatin1String("dns"))
            out << tools::PathSection::Dns;
        else
            good = false;
    }
    if (ok)
        *ok = good && !out.isEmpty();
    return out;
}

QJsonObject ExtendedPathsJson(const tools::ExtendedPathsRun& run)
{
    const tools::ExtendedPathsResult& r = run.result();
    QJsonObject o;
    o[QStringLiteral("localAddress")] = r.localAddress;
    o[QStringLiteral("gateway")] = r.gateway;
    o[QStringLiteral("hops")] = QJsonArray::fromStringList(r.evidence.hops);
    o[QStringLiteral("stunMappedAddress")] = r.evidence.stunMappedAddress;
    o[QStringLiteral("natVerdict")] = VerdictKey(r.verdict.verdict);
    o[QStringLiteral("natVerdictText")] = probes::NatVerdictText(r.verdict.verdict);
    QJsonObject igd;
    igd[QStringLiteral("answered")] = r.igd.answered;
    igd[QStringLiteral("deviceVersion")] = r.igd.deviceVersion;
    igd[QStringLiteral("serviceType")] = r.igd.serviceType;
    igd[QStringLiteral("externalAddress")] = r.igd.externalAddress;
    o[QStringLiteral("upnpIgd")] = igd;
    o[QStringLiteral("natPmp")] = r.mapping.natPmp;
    o[QStringLiteral("natPmpExternalAddress")] = r.mapping.natPmpExternalAddress;
    o[QStringLiteral("pcp")] = r.mapping.pcp;
    const probes::VoicePathStats& s = r.voice.stats;
    QJsonObject voice;
    voice[QStringLiteral("sent")] = s.sent;
    voice[QStringLiteral("received")] = s.received;
    voice[QStringLiteral("lossPercent")] = s.lossPercent;
    voice[QStringLiteral("longestLossBurst")] = s.longestLossBurst;
    voice[QStringLiteral("rttMinMs")] = s.rttMinMs;
    voice[QStringLiteral("rttMedianMs")] = s.rttMedianMs;
    voice[QStringLiteral("rttP95Ms")] = s.rttP95Ms;
    voice[QStringLiteral("rttMaxMs")] = s.rttMaxMs;
    voice[QStringLiteral("jitterMs")] = s.jitterMs;
    voice[QStringLiteral("burstRatio")] = s.burstR;
    voice[QStringLiteral("rated")] = r.voice.rated;
    if (r.voice.rated) {
        voice[QStringLiteral("delayMs")] = r.voice.delayMs;
        voice[QStringLiteral("R")] = r.voice.model.R;
        voice[QStringLiteral("MOS")] = r.voice.model.Mos;
    }
    o[QStringLiteral("voice")] = voice;
    QJsonObject dns;
    dns[QStringLiteral("domain")] = r.dns.domain;
    dns[QStringLiteral("naptrRecords")] = r.dns.naptrRecords;
    QJsonArray targets;
    for (const probes::TargetCheck& c : r.dns.checks) {
        QJsonObject t;
        t[QStringLiteral("transport")] = probes::TransportName(c.target.transport);
        t[QStringLiteral("host")] = c.target.host;
        t[QStringLiteral("port")] = c.target.port;
        t[QStringLiteral("address")] = c.target.address;
        t[QStringLiteral("checked")] = c.checked;
        t[QStringLiteral("answered")] = c.answered;
        t[QStringLiteral("ms")] = c.ms;
        if (c.target.transport == probes::SipTransport::Tls)
            t[QStringLiteral("certificateVerified")] = c.tlsVerified;
        targets.append(t);
    }
    dns[QStringLiteral("targets")] = targets;
    o[QStringLiteral("sipDns")] = dns;
    return o;
}

int RunExtendedPathsBlocks(const QSet<tools::PathSection>& sections, int timeoutSeconds)
{
    tools::ExtendedPathsConfig config = BuiltInPathsConfig();
    config.sections = sections;
    tools::ExtendedPathsRun run;
    int status = 2;
    QObject::connect(&run, &tools::ExtendedPathsRun::finished, qApp, [&] {
        for (const tools::PathSectionText& s : run.sections())
            std::printf("==%s==\n%s\n", BlockName(s.section), s.text.toUtf8().constData());
        std::printf("==END==\n");
        std::fflush(stdout);
        status = 0;
        QCoreApplication::exit(0);
    });
    QTimer::singleShot(timeoutSeconds * 1000, qApp, [&] {
        std::fprintf(stderr, "the extended path run did not finish in %d s\n", timeoutSeconds);
        run.stop();
        QCoreApplication::exit(2);
    });
    run.start(config);
    QCoreApplication::exec();
    return status;
}

}  // namespace app
