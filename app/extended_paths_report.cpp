// SPDX-License-Identifier: Apache-2.0
#include "app/extended_paths_report.h"

#include "probes/endpoints.h"

#include <cstdio>
#include <QCoreApplication>

namespace app {

namespace {

const char* BlockName(tools::PathSection s)
{
    switch (s) {
    case tools::PathSection::Nat: return "ExtNat";
    case tools::PathSection::Ports: return "ExtPorts";
    case tools::PathSection::Voice: return "ExtVoice";
    case tools::PathSection::Sip: return "ExtSip";
    case tools::PathSection::Ipv6: return "ExtIpv6";
    case tools::PathSection::Dns: break;
    }
    return "ExtDns";
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
    c.sipPort = e.sipPort;
    c.secondSipPort = e.secondSipPort;
    c.stunServer6 = e.stunServer6;
    c.stunAlternate6 = e.stunAlternate6;
    c.stunPort6 = e.stunPort6;
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
        else if (word == QLatin1String("sip"))
            out << tools::PathSection::Sip;
        else if (word == QLatin1String("ipv6"))
            out << tools::PathSection::Ipv6;
        else
            good = false;
    }
    if (ok)
        *ok = good && !out.isEmpty();
    return out;
}

void PrintPathsBlocks(const tools::ExtendedPathsRun& run)
{
    for (const tools::PathSectionText& s : run.sections())
        std::printf("==%s==\n%s\n", BlockName(s.section), s.text.toUtf8().constData());
    std::printf("==END==\n");
    std::fflush(stdout);
}

ExtraSection PathsOnlySection(const tools::ExtendedPathsRun& run, bool finished)
{
    ExtraSection section;
    section.shown.title = QCoreApplication::translate("ExtendedPathsReport", "Расширенный тест NAT");
    for (const tools::PathSectionText& s : run.sections())
        section.shown.text += s.title + QStringLiteral("\n") + WithLfLineEnds(s.text) + QStringLiteral("\n\n");
    section.jsonKey = QStringLiteral("extendedNat");
    section.json.insert(QStringLiteral("finished"), finished);
    section.json.insert(QStringLiteral("text"), WithLfLineEnds(section.shown.text));
    section.json.insert(QStringLiteral("paths"), run.json());
    if (run.config().sections.contains(tools::PathSection::Sip))
        section.json.insert(QStringLiteral("sipPath"), run.sipJson());
    if (run.config().sections.contains(tools::PathSection::Ipv6))
        section.json.insert(QStringLiteral("ipv6"), run.ipv6Json());
    return section;
}

}  // namespace app
