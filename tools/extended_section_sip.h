// SPDX-License-Identifier: Apache-2.0
#pragma once
// "SIP через маршрутизатор" as a section of the path run: the SIP mirror run
// against the main server's SIP ports.
#include "tools/extended_section.h"

#include <QJsonObject>

namespace tools {

class SipMirrorRun;

class SipSection : public ExtendedSection {
    Q_OBJECT
public:
    explicit SipSection(QObject* parent = nullptr);
    ~SipSection() override;
    static QString title();
    QString text() const;
    QJsonObject json() const;

private:
    void begin() override;
    void halt() override;

    SipMirrorRun* mirror_ = nullptr;
};

}  // namespace tools
