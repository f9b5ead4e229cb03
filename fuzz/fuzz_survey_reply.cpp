// SPDX-License-Identifier: Apache-2.0
// Datagrams arriving on the survey's probe socket between polling cycles.
// Input: datagrams (a length byte each); a datagram of length 0 starts a new
// polling cycle, otherwise its first byte picks the sender (one of the three
// servers, or a stranger) and the rest is the datagram. The clock advances
// 7 ms per datagram.
#include "fuzz_support.h"
#include "tools/stun_survey.h"

namespace {

bool SameServers(const QList<tools::SurveyServer>& a, const QList<tools::SurveyServer>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const tools::SurveyServer& x = a[i];
        const tools::SurveyServer& y = b[i];
        if (x.ServerName != y.ServerName || x.ServerAddress != y.ServerAddress || x.ServerPort != y.ServerPort ||
            x.LastReplyTime != y.LastReplyTime || x.TotalReplyTime != y.TotalReplyTime ||
            x.ReplyCount != y.ReplyCount || x.LossCount != y.LossCount || x.Sequence != y.Sequence ||
            x.Answered != y.Answered)
            return false;
    }
    return true;
}

QList<tools::SurveyServer> Servers()
{
    QList<tools::SurveyServer> servers;
    for (int i = 0; i < 3; ++i) {
        tools::SurveyServer s;
        s.ServerName = QStringLiteral("stun%1.example").arg(i);
        s.ServerAddress = QStringLiteral("198.51.100.%1").arg(i + 2);
        s.ServerPort = 3478;
        servers << s;
    }
    return servers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QList<tools::SurveyServer> kServers = Servers();
    static const QLocale kLocale(QLocale::Russian, QLocale::Russia);
    const fuzz::Datagrams datagrams(data, size);
    tools::StunSurvey survey(kServers);
    qint64 now = 1000;
    int cycles = 0;
    const auto send = [](const QString&, int, const QByteArray&) {};
    for (size_t i = 0; i < datagrams.count(); ++i) {
        now += 7;
        const QByteArray framed = datagrams.at(i);
        if (framed.isEmpty()) {
            survey.RunCycle(send, [now] { return now; });
            ++cycles;
            continue;
        }
        const int pick = static_cast<uint8_t>(framed.at(0)) % 4;
        const QString from = pick < 3 ? kServers[pick].ServerAddress : QStringLiteral("192.0.2.99");
        const QByteArray datagram = framed.mid(1);
        const QList<tools::SurveyServer> before = survey.servers();
        const std::optional<QString> line = survey.HandleAnswer(datagram, from, 3478, now, kLocale);
        if (!line) {
            // A datagram that is no answer leaves every server as it was.
            FUZZ_CHECK(SameServers(before, survey.servers()));
            continue;
        }
        // From a listed server, long enough to hold a header and an address attribute.
        FUZZ_CHECK(pick < 3 && datagram.size() >= 32 && line->endsWith(QStringLiteral("\r\n")));
        for (const tools::SurveyServer& s : survey.servers()) {
            // One answer per server and cycle at most; times never run backwards.
            FUZZ_CHECK(s.ReplyCount >= 0 && s.ReplyCount <= cycles);
            FUZZ_CHECK(s.ReplyCount + s.LossCount <= s.Sequence);
            FUZZ_CHECK(s.TotalReplyTime >= 0);
        }
    }
    return 0;
}
