// SPDX-License-Identifier: Apache-2.0
#pragma once
// The STUN server survey without its window: the server list, the
// resolution listing, the polling cycles and the reading of answers.
#include <QByteArray>
#include <QList>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace tools {

struct SurveyServer {
    QString ServerName;          // as configured or typed, blanks kept; "" when added by address
    QString ServerAddress;       // dotted IPv4
    int32_t ServerPort = 0;
    int32_t LastReplyTime = 0;   // ms of the last accepted answer; kNotAnswered while waiting
    int64_t TotalReplyTime = 0;  // ms
    int64_t ReplyCount = 0;
    int32_t LossCount = 0;
    int32_t Sequence = 0;        // requests sent so far; its low byte travels in the request
    bool Answered = false;       // the request of the current cycle has had its answer
};

// What "Добавить" did with the typed server.
enum class AddResult {
    Added,
    Ignored,  // address or port text of fewer than two characters, or the list is full
    BadPort,  // the port text is not a whole number from 1 to 65535
};

class StunSurvey {
public:
    // LastReplyTime while the request of the current cycle has no accepted answer.
    static constexpr int32_t kNotAnswered = 9999;
    // A server's index travels in one byte of the request.
    static constexpr int kMaxServers = 256;

    using Resolver = std::function<QString(const QString&)>;
    using Sender = std::function<void(const QString& address, int port, const QByteArray& data)>;

    // The 28 public servers polled by default, in polling order.
    static QList<SurveyServer> BuiltInServers();

    explicit StunSurvey(QList<SurveyServer> servers = BuiltInServers());

    const QList<SurveyServer>& servers() const { return servers_; }

    // Resolves every named server (name trimmed) and returns the listing:
    // one line per server with an address, name and address separated by
    // three tabs (name of 0-1 characters), two (2-18) or one (19 and more).
    // Also forgets the time of the last cycle.
    QString ResolveAll(const Resolver& resolve);

    // The text shown under the listing once the sockets are open.
    static QString PollingHeader(int probeLocalPort);

    // One polling cycle: counts a loss for every server whose previous
    // request went unanswered, sends each server its request, and notes
    // nowMs (taken after the sends) as the cycle's send time.
    void RunCycle(const Sender& send, const std::function<qint64()>& nowMs);

    // One datagram from the probe socket and its sender. Returns the result
    // line (CR LF ended) when it is the first answer to the current request
    // of a listed server: a Binding Response carrying the mapped address
    // (probes::ReadSurveyReply), whose index names a server, whose sequence
    // is that server's current one, sent from that server's address and port.
    // Anything else returns nothing and changes nothing.
    std::optional<QString> HandleAnswer(const QByteArray& datagram, const QString& fromAddress, int fromPort,
                                        qint64 nowMs, const QLocale& locale = QLocale::system());

    // "Добавить": both texts trimmed must be longer than one character and
    // the list must have room, else Ignored; the port must be a whole number
    // from 1 to 65535, else BadPort. An address beginning with "1" or "2" is
    // taken as typed; anything else is a name, resolved at once.
    AddResult AddServer(const QString& addressText, const QString& portText, const Resolver& resolve);

private:
    QList<SurveyServer> servers_;
    qint64 sendTick_ = 0;
};

}  // namespace tools
