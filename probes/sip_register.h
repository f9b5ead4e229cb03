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
    bool hasReceived = false;  // carries ";received="
    QString received;          // its value
};

// The value of the first ";received=" ends before the first CR LF or ";"
// after it, whichever comes first, else at the end of the data.
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
