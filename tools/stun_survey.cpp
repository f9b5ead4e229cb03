// SPDX-License-Identifier: Apache-2.0
#include "tools/stun_survey.h"

#include "probes/stun_message.h"
#include "probes/decimal_text.h"
#include "tools/leading_number.h"

#include <QHostAddress>

#include <algorithm>
#include <limits>
#include <utility>
#include <QCoreApplication>

namespace tools {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

SurveyServer NamedServer(const char* name, int port)
{
    SurveyServer server;
    server.ServerName = QString::fromLatin1(name);
    server.ServerPort = port;
    return server;
}

}  // namespace

QList<SurveyServer> StunSurvey::BuiltInServers()
{
    return {
        NamedServer("stun.ekiga.net", 3478),
        NamedServer("stun.ideasip.com", 3478),
        NamedServer("stun.voiparound.com", 3478),
        NamedServer("stun.voipbuster.com", 3478),
        NamedServer("stun.sipgate.net", 10000),
        NamedServer("stun.voipstunt.com", 3478),
        NamedServer("stun.voxgratia.org", 3478),
        NamedServer("stun.schlund.de", 3478),
        NamedServer("stun.1und1.de", 3478),
        NamedServer("stun.gmx.net", 3478),
        NamedServer("stun.stunprotocol.org", 3478),
        NamedServer("stun.counterpath.com", 3478),
        NamedServer("stun.xten.com", 3478),
        NamedServer("stun.iptel.org", 3478),
        NamedServer("stun.fwdnet.net", 3478),
        NamedServer("stun.softjoys.com", 3478),
        NamedServer("stun.voip.aebc.com", 3478),
        NamedServer("stun.rixtelecom.se", 3478),
        NamedServer("stun.linphone.org", 3478),
        NamedServer("stun.antisip.com", 3478),
        NamedServer("stun.ippi.fr", 3478),
        NamedServer("stun.sonetel.com", 3478),
        NamedServer("stun.freeswitch.org", 3478),
        NamedServer("stun.counterpath.net      ", 3478),
        NamedServer("stun.voys.nl", 3478),
        NamedServer("stun.easybell.de", 3478),
        NamedServer("stun.t-online.de", 3478),
        NamedServer("stun.callwithus.com", 3478),
    };
}

StunSurvey::StunSurvey(QList<SurveyServer> servers) : servers_(std::move(servers))
{
    if (servers_.size() > kMaxServers)
        servers_.resize(kMaxServers);
}

QString StunSurvey::ResolveAll(const Resolver& resolve)
{
    QString listing;
    for (SurveyServer& server : servers_) {
        if (!server.ServerName.isEmpty())
            server.ServerAddress = resolve(server.ServerName.trimmed());
        if (server.ServerAddress.isEmpty())
            continue;
        const qsizetype length = server.ServerName.size();
        const int tabs = length <= 1 ? 3 : (length <= 18 ? 2 : 1);
        listing += server.ServerName + QString(tabs, QLatin1Char('\t')) + server.ServerAddress + kCrLf;
    }
    sendTick_ = 0;
    return listing;
}

QString StunSurvey::PollingHeader(int probeLocalPort)
{
    return QCoreApplication::translate("StunSurvey", "Открыт порт - ") + QString::number(probeLocalPort) + kCrLf +
           QCoreApplication::translate("StunSurvey", "Опрос STUN серверов ...") + kCrLf + kCrLf;
}

void StunSurvey::RunCycle(const Sender& send, const std::function<qint64()>& nowMs)
{
    for (qsizetype i = 0; i < servers_.size(); ++i) {
        SurveyServer& server = servers_[i];
        ++server.Sequence;
        const QByteArray request = probes::BuildSurveyRequest(static_cast<uint8_t>(i),
                                                              static_cast<uint8_t>(server.Sequence & 0xFF));
        if (server.LastReplyTime == kNotAnswered)
            ++server.LossCount;
        server.LastReplyTime = kNotAnswered;
        server.Answered = false;
        send(server.ServerAddress, server.ServerPort, request);
    }
    sendTick_ = nowMs();
}

std::optional<QString> StunSurvey::HandleAnswer(const QByteArray& datagram, const QString& fromAddress,
                                                int fromPort, qint64 nowMs, const QLocale& locale)
{
    const std::optional<probes::SurveyReply> reply = probes::ReadSurveyReply(datagram);
    if (!reply)
        return std::nullopt;
    if (reply->index >= servers_.size())
        return std::nullopt;
    SurveyServer& server = servers_[reply->index];
    if (server.Sequence == 0 || reply->sequence != (server.Sequence & 0xFF))
        return std::nullopt;
    // One answer per request: copies and repeats of it are not new answers.
    if (server.Answered)
        return std::nullopt;
    // Only the server the index names can answer for it (RFC 3489 section 9.3:
    // a response comes from the address and port the request was sent to).
    const QHostAddress expected(server.ServerAddress);
    if (expected.protocol() != QAbstractSocket::IPv4Protocol || fromPort != server.ServerPort
        || QHostAddress(fromAddress).toIPv4Address() != expected.toIPv4Address())
        return std::nullopt;

    server.Answered = true;
    ++server.ReplyCount;
    const qint64 elapsed = std::clamp<qint64>(nowMs - sendTick_, 0, std::numeric_limits<int32_t>::max());
    server.LastReplyTime = static_cast<int32_t>(elapsed);
    server.TotalReplyTime += server.LastReplyTime;

    const double average = static_cast<double>(server.TotalReplyTime) / static_cast<double>(server.ReplyCount);
    return server.ServerName + QStringLiteral(" (") + server.ServerAddress + QLatin1Char(':') +
           QString::number(server.ServerPort) + QStringLiteral(") - ") + QCoreApplication::translate("StunSurvey", "время ответа ") +
           QString::number(server.LastReplyTime) + QCoreApplication::translate("StunSurvey", " (среднее ") +
           probes::RoundedDecimalText(average, locale) + QCoreApplication::translate("StunSurvey", " ) мс. - потерь ") +
           QString::number(server.LossCount) + QCoreApplication::translate("StunSurvey", " - внешний адрес и порт ") +
           reply->externalAddress + QLatin1Char(':') + QString::number(reply->externalPort) + kCrLf;
}

AddResult StunSurvey::AddServer(const QString& addressText, const QString& portText, const Resolver& resolve)
{
    const QString address = addressText.trimmed();
    const QString port = portText.trimmed();
    if (address.size() <= 1 || port.size() <= 1)
        return AddResult::Ignored;
    if (servers_.size() >= kMaxServers)
        return AddResult::Ignored;
    const std::optional<int> number = TypedPort(port);
    if (!number)
        return AddResult::BadPort;
    SurveyServer server;
    server.ServerPort = *number;
    if (address.startsWith(QLatin1Char('1')) || address.startsWith(QLatin1Char('2'))) {
        server.ServerAddress = address;
    } else {
        server.ServerName = address;
        server.ServerAddress = resolve(address);
    }
    servers_.append(server);
    return AddResult::Added;
}

}  // namespace tools
