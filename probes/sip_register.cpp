// SPDX-License-Identifier: Apache-2.0
#include "probes/sip_register.h"

#include <QList>
#include <QRandomGenerator>

#include <optional>

#include "app/test_run_state.h"
#include <QCoreApplication>

namespace probes {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QByteArray Finish(const QStringList& lines)
{
    QString text;
    for (const QString& line : lines)
        text += line + kCrLf;
    text += kCrLf;
    return text.toLatin1();
}

}  // namespace

uint32_t DrawRegisterNumber()
{
    return QRandomGenerator::global()->bounded(10000000u);
}

QByteArray BuildRegisterRequest(const QString& server, const QString& mainAddress, uint32_t n,
                                const QString& user)
{
    const QString number = QString::number(n);
    return Finish({
        QStringLiteral("REGISTER sip:") + server + QStringLiteral(" SIP/2.0"),
        QStringLiteral("Via: SIP/2.0/UDP ") + mainAddress + QStringLiteral(":5060"),
        QStringLiteral("From: <sip:") + number + QStringLiteral("@") + server + QStringLiteral(">"),
        QStringLiteral("To: <sip:") + user + QStringLiteral("@") + server + QStringLiteral(">"),
        QStringLiteral("Contact: <sip:") + user + QStringLiteral("@") + mainAddress
            + QStringLiteral(":5060>"),
        QStringLiteral("Call-ID: ") + number + QStringLiteral("A8AC0495EBF0AACA2BA8BC87B@") + server,
        QStringLiteral("CSeq: 1 REGISTER"),
        QStringLiteral("Expires: 500"),
        QStringLiteral("Content-Length: 0"),
    });
}

QByteArray BuildPassageRegisterRequest(const QString& server, const QString& externalAddress,
                                       const QString& portText, uint32_t r, const QString& user)
{
    return Finish({
        QStringLiteral("REGISTER sip:") + server + QStringLiteral(" SIP/2.0"),
        QStringLiteral("Via: SIP/2.0/UDP ") + externalAddress + QStringLiteral(":") + portText,
        QStringLiteral("From: <sip:") + QString::number(r) + QStringLiteral("@") + server
            + QStringLiteral(">"),
        QStringLiteral("To: <sip:") + user + QStringLiteral("@") + server + QStringLiteral(">"),
        QStringLiteral("Contact: \"Test\" <sip:") + user + QStringLiteral("@") + externalAddress
            + QStringLiteral(":") + portText + QStringLiteral(">"),
        QStringLiteral("Call-ID: E1967C7A8AC0495EBF0AACA2BA8BC87B@") + server,
        QStringLiteral("CSeq: 28378 REGISTER"),
        QStringLiteral("Expires: 500"),
        QStringLiteral("Content-Length: 0"),
    });
}

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray TrimBlanks(const QByteArray& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text.at(begin)))
        ++begin;
    while (end > begin && IsBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

// The header lines of a message, continuation lines folded into the line
// before them (RFC 3261 section 7.3.1). Lines may end in CR LF or a bare LF;
// the first empty line ends the headers, so the body is never looked at.
QList<QByteArray> HeaderLines(const QByteArray& data)
{
    QList<QByteArray> lines;
    qsizetype at = 0;
    bool first = true;  // the status line
    while (at < data.size()) {
        qsizetype end = data.indexOf('\n', at);
        if (end < 0)
            end = data.size();
        QByteArray line = data.mid(at, end - at);
        at = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            break;
        if (first) {
            first = false;
            continue;
        }
        if (IsBlank(line.at(0)) && !lines.isEmpty())
            lines.last() += ' ' + TrimBlanks(line);
        else
            lines.append(line);
    }
    return lines;
}

// The value of the topmost Via header field: the text after the colon of the
// first "Via" (or compact "v", RFC 3261 section 7.3.3) header, up to its first
// comma, which would start the next via-parm (section 20.42).
std::optional<QByteArray> TopVia(const QByteArray& data)
{
    for (const QByteArray& line : HeaderLines(data)) {
        const qsizetype colon = line.indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = TrimBlanks(line.left(colon)).toLower();
        if (name != "via" && name != "v")
            continue;
        QByteArray value = line.mid(colon + 1);
        const qsizetype comma = value.indexOf(',');
        if (comma >= 0)
            value.truncate(comma);
        return value;
    }
    return std::nullopt;
}

}  // namespace

SipAnswer ReadSipAnswer(const QByteArray& data)
{
    SipAnswer answer;
    answer.isSip = data.startsWith("SIP/2.0");
    const std::optional<QByteArray> via = TopVia(data);
    if (!via)
        return answer;
    // via-parm = sent-protocol LWS sent-by *( SEMI via-params ), with blanks
    // allowed around ";" and "=" and parameter names compared without regard
    // to case (RFC 3261 sections 7.3.1, 20.42 and 25.1).
    const QList<QByteArray> parts = via->split(';');
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const qsizetype equals = parts[i].indexOf('=');
        if (equals < 0 || TrimBlanks(parts[i].left(equals)).toLower() != "received")
            continue;
        QByteArray value = TrimBlanks(parts[i].mid(equals + 1));
        for (qsizetype k = 0; k < value.size(); ++k) {
            if (IsBlank(value.at(k))) {
                value.truncate(k);
                break;
            }
        }
        answer.hasReceived = true;
        answer.received = QString::fromLatin1(value);
        break;
    }
    return answer;
}

SipVerdict JudgeSipAnswer(const SipAnswer& answer, const QString& mainAddress)
{
    if (!answer.hasReceived)
        return {QCoreApplication::translate("SipRegister", "Присутствует"), app::kSipTranslated};
    if (answer.received != mainAddress)
        return {QCoreApplication::translate("SipRegister", "Отсутствует"), app::kSipBehindNat};
    return {QCoreApplication::translate("SipRegister", "Реальный IP адрес"), app::kSipRealAddress};
}

QString SendSipFailureMessage(const platform::InterfaceTable& table)
{
    const QString entry1 = table.size() >= 1 ? table.at(0).Address : QString();
    const QString entry2 = table.size() >= 2 ? table.at(1).Address : QString();
    const QString loopback = QStringLiteral("127.0.0.1");
    if (entry1 == loopback || (entry1 == QStringLiteral("0.0.0.0") && entry2 == loopback))
        return QCoreApplication::translate("SipRegister", "Компьютер не подключен к сети.");
    return QCoreApplication::translate("SipRegister", "Ошибка открытия порта 5060 !!!\r\nВозможно порт занят другой программой.");
}

}  // namespace probes
