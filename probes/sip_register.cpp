#include "probes/sip_register.h"

#include <QRandomGenerator>

#include "app/test_run_state.h"

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

SipAnswer ReadSipAnswer(const QByteArray& data)
{
    SipAnswer answer;
    answer.isSip = data.startsWith("SIP/2.0");
    static const QByteArray kReceived(";received=");
    const qsizetype at = data.indexOf(kReceived);
    if (at < 0)
        return answer;
    answer.hasReceived = true;
    const qsizetype start = at + kReceived.size();
    qsizetype end = data.size();
    const qsizetype lineEnd = data.indexOf("\r\n", start);
    if (lineEnd >= 0)
        end = lineEnd;
    const qsizetype semicolon = data.indexOf(';', start);
    if (semicolon >= 0 && semicolon < end)
        end = semicolon;
    answer.received = QString::fromLatin1(data.mid(start, end - start));
    return answer;
}

SipVerdict JudgeSipAnswer(const SipAnswer& answer, const QString& mainAddress)
{
    if (!answer.hasReceived)
        return {QStringLiteral("Присутствует"), app::kSipTranslated};
    if (answer.received != mainAddress)
        return {QStringLiteral("Отсутствует"), app::kSipBehindNat};
    return {QStringLiteral("Реальный IP адрес"), app::kSipRealAddress};
}

QString SendSipFailureMessage(const platform::InterfaceTable& table)
{
    const QString entry1 = table.size() >= 1 ? table.at(0).Address : QString();
    const QString entry2 = table.size() >= 2 ? table.at(1).Address : QString();
    const QString loopback = QStringLiteral("127.0.0.1");
    if (entry1 == loopback || (entry1 == QStringLiteral("0.0.0.0") && entry2 == loopback))
        return QStringLiteral("Компьютер не подключен к сети.");
    return QStringLiteral("Ошибка открытия порта 5060 !!!\r\nВозможно порт занят другой программой.");
}

}  // namespace probes
