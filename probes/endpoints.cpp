// SPDX-License-Identifier: Apache-2.0
#include "probes/endpoints.h"

namespace probes {

ProviderEndpoints ProviderEndpoints::builtIn()
{
    ProviderEndpoints e;
    e.mainServer = QStringLiteral(TARVOLIN_MAIN_SERVER);
    e.secondServer = QStringLiteral(TARVOLIN_SECOND_SERVER);
    e.passageServer = QStringLiteral(TARVOLIN_PASSAGE_SERVER);
    e.furtherAddress = QStringLiteral(TARVOLIN_FURTHER_ADDRESS);
    e.pingTarget = QStringLiteral(TARVOLIN_PING_TARGET);
    e.domain = QStringLiteral(TARVOLIN_PROVIDER_DOMAIN);
    e.networkPrefix = QStringLiteral(TARVOLIN_NETWORK_PREFIX);
    e.displayName = QStringLiteral(TARVOLIN_DISPLAY_NAME);
    for (const char* d : {TARVOLIN_PUBLIC_SIP_DOMAINS})
        e.publicSipDomains << QString::fromUtf8(d);
    e.stunPort = TARVOLIN_STUN_PORT;
    e.sipPort = TARVOLIN_SIP_PORT;
    e.secondSipPort = TARVOLIN_SECOND_SIP_PORT;
    e.ssdpPort = TARVOLIN_SSDP_PORT;
    e.stunServer6 = QStringLiteral(TARVOLIN_STUN_SERVER6);
    e.stunAlternate6 = QStringLiteral(TARVOLIN_STUN_ALTERNATE6);
    e.stunPort6 = TARVOLIN_STUN_PORT6;
    return e;
}

WebPages WebPages::builtIn()
{
    WebPages p;
    p.maker = QStringLiteral(TARVOLIN_MAKER_PAGE);
    for (const char* page : {TARVOLIN_SPEEDTEST_PAGES})
        p.speedTests << QString::fromUtf8(page);
    p.externalAddress = QStringLiteral(TARVOLIN_EXTIP_PAGE);
    return p;
}

}  // namespace probes
