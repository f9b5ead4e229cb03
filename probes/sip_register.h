// SPDX-License-Identifier: Apache-2.0
#pragma once
// SIP REGISTER requests of the SIP probe and of the packet passage test, and
// the reading of the server's answer (";received=" in the Via header).
#include <QByteArray>
#include <QString>
#include <cstdint>

#include "platform/interfaces.h"

namespace probes {

// Uniform whole number 0 .. 9 999 999.
uint32_t DrawRegisterNumber();

// REGISTER of the SIP probe: Via and Contact name mainAddress, port 5060;
// n goes into the From user part and in front of the fixed Call-ID text.
QByteArray BuildRegisterRequest(const QString& server, const QString& mainAddress, uint32_t n,
                                const QString& user = QStringLiteral("test"));

// REGISTER of the packet passage test: Via and Contact name externalAddress
// and portText; Contact has the display name "Test"; fixed Call-ID and CSeq.
QByteArray BuildPassageRegisterRequest(const QString& server, const QString& externalAddress,
                                       const QString& portText, uint32_t r,
                                       const QString& user = QStringLiteral("test"));

struct SipAnswer {
    bool isSip = false;        // begins with "SIP/2.0" (case-sensitive)
    bool hasReceived = false;  // the top Via header carries a "received" parameter
    QString received;          // its value
};

// Reads the "received" parameter of the topmost Via header only: the first
// via-parm of the first "Via" (or "v") header field, in the header part of
// the message (never the body). Header and parameter names are matched
// without regard to case, blanks are allowed around ";" and "=", and folded
// lines are joined. The value ends at ";", ",", a blank or the line end.
SipAnswer ReadSipAnswer(const QByteArray& data);

struct SipVerdict {
    QString caption;  // caption of SIPsup
    int16_t sipState; // app::SipStateCode
};

// For a SIP answer (isSip): no ";received=" -> "Присутствует", 1; a value
// other than mainAddress -> "Отсутствует", 2; equal -> "Реальный IP адрес", 3.
// The caller only judges answers whose isSip is true.
SipVerdict JudgeSipAnswer(const SipAnswer& answer, const QString& mainAddress);

// Message shown when sending the REGISTER requests fails.
QString SendSipFailureMessage(const platform::InterfaceTable& table);

}  // namespace probes
