// SPDX-License-Identifier: Apache-2.0
// The SIP mirror step of the extended path run.
#include "tools/extended_paths.h"
#include "tools/sip_mirror_run.h"

namespace tools {

void ExtendedPathsRun::stepSip()
{
    emit progress(QStringLiteral("Проверка SIP через маршрутизатор (копия запроса с сервера)"));
    SipMirrorConfig c;
    c.server = config_.stunServer;
    c.domain = config_.domain;
    c.port = config_.sipPort;
    c.secondPort = config_.secondSipPort;
    // The SIP headers name local port 5060, as the automatic test's probe does.
    sip_->start(c);
}

QJsonObject ExtendedPathsRun::sipJson() const
{
    return wants(PathSection::Sip) ? sip_->json() : QJsonObject();
}

}  // namespace tools
