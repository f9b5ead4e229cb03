// SPDX-License-Identifier: Apache-2.0
#include "tools/extended_section_sip.h"

#include "tools/sip_mirror_run.h"

namespace tools {

SipSection::SipSection(QObject* parent) : ExtendedSection(parent), mirror_(new SipMirrorRun(this))
{
    connect(mirror_, &SipMirrorRun::finished, this, [this] {
        if (running())
            finish();
    });
}

SipSection::~SipSection() = default;

QString SipSection::title()
{
    return SipMirrorRun::title();
}

QString SipSection::text() const
{
    return mirror_->text();
}

QJsonObject SipSection::json() const
{
    return mirror_->json();
}

void SipSection::halt()
{
    mirror_->stop();
}

void SipSection::begin()
{
    emit progress(QStringLiteral("Проверка SIP через маршрутизатор (копия запроса с сервера)"));
    SipMirrorConfig c;
    c.server = config_.stunServer;
    c.domain = config_.domain;
    c.port = config_.sipPort;
    c.secondPort = config_.secondSipPort;
    // The SIP headers name local port 5060, as the automatic test's probe does.
    mirror_->start(c);
}

}  // namespace tools
