// SPDX-License-Identifier: Apache-2.0
#pragma once
// A small DNS responder on loopback for tests (UDP, and TCP on the same port). It answers on its own thread, so
// a test may call a blocking resolver on the main thread while it runs.
//
//   FakeDnsServer dns;                       // 127.0.0.1, port chosen by the system
//   dns.setAnswer("_sip._udp.example.test", 33, {.answer = {FakeDnsRecord::Srv(...)},
//                                                 .additional = {FakeDnsRecord::A(...)}});
//   platform::SetDnsServerOverride(dns.address(), dns.port());
//
// A question without a configured answer gets NXDOMAIN (no records).
#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QString>
#include <QThread>
#include <atomic>
#include <cstdint>

namespace testsupport {

struct FakeDnsRecord {
    enum class Kind { Raw, Name, Mx, Soa, Srv };
    QString name;           // owner name, without the final dot
    uint16_t type = 0;
    uint32_t ttl = 300;
    Kind kind = Kind::Raw;
    QByteArray rdata;       // Raw: the data as sent
    QString host;           // Name, Mx, Srv: the name carried; Soa: primary server
    QString admin;          // Soa: mailbox
    uint16_t number = 0;    // Mx: preference; Srv: priority
    uint16_t weight = 0;    // Srv
    uint16_t port = 0;      // Srv
    uint32_t soa[5] = {};   // Soa: serial, refresh, retry, expire, minimum

    static FakeDnsRecord A(const QString& name, const QString& dotted);
    static FakeDnsRecord Aaaa(const QString& name, const QString& text);
    static FakeDnsRecord Srv(const QString& name, uint16_t priority, uint16_t weight, uint16_t port,
                             const QString& target);
    static FakeDnsRecord Soa(const QString& name, const QString& server, const QString& admin,
                             uint32_t serial, uint32_t refresh, uint32_t retry, uint32_t expire,
                             uint32_t minimum);
    static FakeDnsRecord Mx(const QString& name, uint16_t preference, const QString& exchange);
    static FakeDnsRecord Txt(const QString& name, const QList<QByteArray>& strings);
    static FakeDnsRecord Ns(const QString& name, const QString& host);
    static FakeDnsRecord Ptr(const QString& name, const QString& host);
    static FakeDnsRecord Cname(const QString& name, const QString& host);
    static FakeDnsRecord Raw(const QString& name, uint16_t type, const QByteArray& rdata);
};

struct FakeDnsAnswer {
    int rcode = 0;  // 0 NOERROR, 2 SERVFAIL, 3 NXDOMAIN, 5 REFUSED ...
    QList<FakeDnsRecord> answer;
    QList<FakeDnsRecord> authority;
    QList<FakeDnsRecord> additional;
};

class FakeDnsServer {
public:
    // port 0: a port chosen by the system.
    explicit FakeDnsServer(const QHostAddress& address = QHostAddress(QStringLiteral("127.0.0.1")),
                           uint16_t port = 0);
    ~FakeDnsServer();
    FakeDnsServer(const FakeDnsServer&) = delete;
    FakeDnsServer& operator=(const FakeDnsServer&) = delete;

    bool isListening() const { return port_ != 0; }
    QString address() const { return address_.toString(); }
    uint16_t port() const { return port_; }

    // Answer for one question (name compared without case, final dot ignored).
    void setAnswer(const QString& name, uint16_t type, const FakeDnsAnswer& answer);
    void setNxDomain(const QString& name, uint16_t type);
    // Name exists, no records of the type: NOERROR with the zone's SOA in authority.
    void setNoData(const QString& name, uint16_t type, const FakeDnsRecord& soa);
    // NOERROR with no record in any section.
    void setEmpty(const QString& name, uint16_t type);
    // Silent: queries are read and dropped.
    void setSilent(bool silent) { silent_ = silent; }
    // Answers over UDP carry only header and question, flagged as truncated;
    // the same port answers in full over TCP.
    void setTruncateUdp(bool truncate) { truncateUdp_ = truncate; }

    // Before each genuine answer over UDP, a forged one carrying these records
    // that must not be taken for it: another ID, another question (one letter
    // of the name changed), or sent from another port.
    enum class Forgery { None, OtherId, OtherQuestion, OtherPort };
    void setForgery(Forgery forgery, const FakeDnsAnswer& records) {
        forgedAnswer_ = records;
        forgery_ = forgery;
    }

    int queryCount() const { return queries_; }  // over UDP
    int tcpQueryCount() const { return tcpQueries_; }
    // Wire form of the reply this server gives to a query (for tests of parsers).
    QByteArray reply(const QByteArray& query) const;

private:
    class Worker;
    QByteArray replyWith(const QByteArray& query, const FakeDnsAnswer* forced) const;
    QByteArray forgedReply(const QByteArray& query) const;
    static QString Key(const QString& name, uint16_t type);

    QHostAddress address_;
    uint16_t requestedPort_ = 0;
    uint16_t port_ = 0;
    mutable QMutex mutex_;
    QHash<QString, FakeDnsAnswer> answers_;
    std::atomic<bool> silent_{false};
    std::atomic<bool> truncateUdp_{false};
    std::atomic<Forgery> forgery_{Forgery::None};
    FakeDnsAnswer forgedAnswer_;  // set before the forgery is switched on
    std::atomic<int> queries_{0};
    std::atomic<int> tcpQueries_{0};
    std::atomic<bool> stop_{false};
    QThread* thread_ = nullptr;
};

}  // namespace testsupport
