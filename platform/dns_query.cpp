// SPDX-License-Identifier: Apache-2.0
#include "platform/dns_query.h"

#include "platform/blocking_wait.h"

#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <netinet/in.h>
#include <resolv.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <memory>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

QString g_overrideAddress;
uint16_t g_overridePort = 53;


// The resolver state of one query; released whatever way the query ends.
struct ResolverState {
    struct __res_state state;
    bool initialised = false;
    ResolverState() { std::memset(&state, 0, sizeof state); }
    ~ResolverState() {
        if (initialised) res_nclose(&state);
    }
};

bool IsNameOnlyType(int type) {
    switch (type) {
    case ns_t_cname:
    case ns_t_dname:
    case ns_t_mb:
    case ns_t_md:
    case ns_t_mf:
    case ns_t_mg:
    case ns_t_mr:
        return true;
    default:
        return false;
    }
}

// Expands the (possibly compressed) name at p; false when it is malformed.
bool ExpandName(const ns_msg& msg, const unsigned char* p, QString& out, int* used = nullptr) {
    char name[NS_MAXDNAME];
    const int n = dn_expand(ns_msg_base(msg), ns_msg_end(msg), p, name, sizeof name);
    if (n < 0) return false;
    out = QString::fromLocal8Bit(name);
    if (used) *used = n;
    return true;
}

uint32_t ReadU32(const unsigned char* p) { return ns_get32(p); }

// Fills the type's fields of one entry from its record; false on malformed data.
bool FillEntry(const ns_msg& msg, const ns_rr& rr, DnsEntry& e) {
    const int type = ns_rr_type(rr);
    const unsigned char* data = ns_rr_rdata(rr);
    const int size = ns_rr_rdlen(rr);
    e.RrType = int16_t(type);
    switch (type) {
    case ns_t_a: {
        if (size != 4) return false;
        char text[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, data, text, sizeof text);
        e.IpAddress = QString::fromLatin1(text);
        break;
    }
    case ns_t_aaaa: {
        if (size != 16) return false;
        char text[INET6_ADDRSTRLEN];
        inet_ntop(AF_INET6, data, text, sizeof text);
        e.IpAddress = QString::fromLatin1(text);
        break;
    }
    case ns_t_ns:
        if (!ExpandName(msg, data, e.NsHost)) return false;
        break;
    case ns_t_ptr:
        if (!ExpandName(msg, data, e.PtrHost)) return false;
        break;
    case ns_t_mx:
        if (size < 3 || !ExpandName(msg, data + 2, e.MxHost)) return false;
        break;
    case ns_t_soa: {
        int used = 0;
        const unsigned char* p = data;
        if (!ExpandName(msg, p, e.SoaServer, &used)) return false;
        p += used;
        if (!ExpandName(msg, p, e.SoaAdmin, &used)) return false;
        p += used;
        if (p + 20 > data + size) return false;
        e.SoaSerial = int32_t(ReadU32(p));
        e.SoaRefresh = int32_t(ReadU32(p + 4));
        e.SoaRetry = int32_t(ReadU32(p + 8));
        e.SoaExpire = int32_t(ReadU32(p + 12));
        e.SoaDefaultTtl = int32_t(ReadU32(p + 16));
        break;
    }
    case ns_t_txt: {
        if (size < 1 || 1 + data[0] > size) return false;
        e.TxtText = QString::fromLocal8Bit(reinterpret_cast<const char*>(data + 1), data[0]);
        break;
    }
    case ns_t_srv:
        if (size < 7 || !ExpandName(msg, data + 6, e.SrvTarget)) return false;
        e.SrvPort = ns_get16(data + 4);
        break;
    default:
        if (IsNameOnlyType(type) && !ExpandName(msg, data, e.IpAddress)) return false;
        break;
    }
    e.RrName = QString::fromLocal8Bit(ns_rr_name(rr));  // already expanded by ns_parserr
    return true;
}

// ---- query transport -------------------------------------------------------

// One configured name server.
struct Server {
    sockaddr_storage address{};
    socklen_t length = 0;
};

// A socket closed when the exchange that opened it ends.
struct OwnedSocket {
    int fd = -1;
    OwnedSocket() = default;
    explicit OwnedSocket(int descriptor) : fd(descriptor) {}
    OwnedSocket(OwnedSocket&& other) noexcept : fd(other.fd) { other.fd = -1; }
    OwnedSocket& operator=(OwnedSocket&& other) noexcept {
        std::swap(fd, other.fd);
        return *this;
    }
    ~OwnedSocket() {
        if (fd >= 0) ::close(fd);
    }
};

int64_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Polls until one of the sockets is ready or the deadline has passed; between
// quiet slices of at most kWaitSliceMs the program serves its windows.
// Returns poll's count (0 when the time is up, -1 on a failure).
int PollSliced(pollfd* fds, nfds_t count, int64_t deadline) {
    for (;;) {
        const int64_t left = deadline - NowMs();
        if (left <= 0) return 0;
        const int ready = ::poll(fds, count, int(std::min<int64_t>(left, kWaitSliceMs)));
        if (ready > 0) return ready;
        if (ready < 0 && errno != EINTR) return -1;
        if (ready == 0) RunWaitHook();
    }
}

bool SameSender(const Server& server, const sockaddr_storage& from, socklen_t length) {
    if (from.ss_family != server.address.ss_family) return false;
    if (from.ss_family == AF_INET) {
        const auto& a = reinterpret_cast<const sockaddr_in&>(from);
        const auto& b = reinterpret_cast<const sockaddr_in&>(server.address);
        return length >= sizeof a && a.sin_port == b.sin_port && a.sin_addr.s_addr == b.sin_addr.s_addr;
    }
    const auto& a = reinterpret_cast<const sockaddr_in6&>(from);
    const auto& b = reinterpret_cast<const sockaddr_in6&>(server.address);
    return length >= sizeof a && a.sin6_port == b.sin6_port &&
           std::memcmp(&a.sin6_addr, &b.sin6_addr, sizeof a.sin6_addr) == 0;
}

// The answer is a response to this very query: same ID, the response bit set
// and the same question, names compared without case (RFC 5452 section 9.1,
// RFC 1035 section 2.3.3). Our query's name is never compressed, nor is the
// question of a well-formed answer.
bool AnswerMatches(const unsigned char* query, int queryLength, const unsigned char* answer, int length) {
    if (length < queryLength || queryLength < NS_HFIXEDSZ) return false;
    if (answer[0] != query[0] || answer[1] != query[1]) return false;
    if (!(answer[2] & 0x80)) return false;                          // QR: a response
    if (answer[4] != query[4] || answer[5] != query[5]) return false;  // QDCOUNT
    for (int i = NS_HFIXEDSZ; i < queryLength;) {
        const int label = query[i];
        if (answer[i] != label) return false;
        if (label == 0) return std::memcmp(answer + i + 1, query + i + 1, queryLength - i - 1) == 0;
        for (int k = 1; k <= label && i + k < queryLength; ++k)
            if (std::tolower(answer[i + k]) != std::tolower(query[i + k])) return false;
        i += label + 1;
    }
    return false;
}

bool Truncated(const unsigned char* answer) { return (answer[2] & 0x02) != 0; }

// One exchange over TCP (RFC 7766, messages with a two-byte length prefix,
// RFC 1035 section 4.2.2). Returns the answer's length, or -1.
int TcpExchange(const Server& server, const unsigned char* query, int queryLength, unsigned char* answer,
                int answerSize, int64_t deadline) {
    OwnedSocket s(::socket(server.address.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (s.fd < 0) return -1;
    if (::connect(s.fd, reinterpret_cast<const sockaddr*>(&server.address), server.length) != 0 &&
        errno != EINPROGRESS)
        return -1;

    QByteArray out(2, '\0');
    out[0] = char(queryLength >> 8);
    out[1] = char(queryLength & 0xFF);
    out.append(reinterpret_cast<const char*>(query), queryLength);
    for (qsizetype sent = 0; sent < out.size();) {
        pollfd p{s.fd, POLLOUT, 0};
        if (PollSliced(&p, 1, deadline) <= 0) return -1;
        const ssize_t n = ::send(s.fd, out.constData() + sent, size_t(out.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno != EAGAIN && errno != EINTR) return -1;  // refused, reset...
        if (n > 0) sent += n;
    }

    // Reads exactly want bytes into to.
    const auto readExactly = [&](unsigned char* to, int want) {
        for (int got = 0; got < want;) {
            pollfd p{s.fd, POLLIN, 0};
            if (PollSliced(&p, 1, deadline) <= 0) return false;
            const ssize_t n = ::recv(s.fd, to + got, size_t(want - got), 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) return false;
            if (n > 0) got += int(n);
        }
        return true;
    };
    for (;;) {
        unsigned char prefix[2];
        if (!readExactly(prefix, 2)) return -1;
        const int length = prefix[0] << 8 | prefix[1];
        if (length > answerSize || !readExactly(answer, length)) return -1;
        if (AnswerMatches(query, queryLength, answer, length)) return length;
    }
}

// The query over UDP to each server in turn, each given timeoutMs, the whole
// round repeated attempts times; an answer to an earlier send still counts
// while a later server is waited for. A truncated answer is asked again over
// TCP from the server that sent it unless truncation is accepted; once TCP has
// been needed, the remaining servers are asked over TCP as well. Returns the
// answer's length, or -1 when no server answered.
int Exchange(const std::vector<Server>& servers, bool tcpOnly, bool acceptTruncated, int timeoutMs,
             int attempts, const unsigned char* query, int queryLength, unsigned char* answer,
             int answerSize) {
    bool tcp = tcpOnly;
    std::vector<OwnedSocket> sockets(servers.size());
    for (int attempt = 0; attempt < attempts; ++attempt) {
        for (size_t current = 0; current < servers.size(); ++current) {
            const Server& server = servers[current];
            const int64_t deadline = NowMs() + timeoutMs;
            if (tcp) {
                const int n = TcpExchange(server, query, queryLength, answer, answerSize, deadline);
                if (n > 0) return n;
                continue;
            }
            OwnedSocket& own = sockets[current];
            if (own.fd < 0) {
                // Connected: the system passes on only datagrams from the server
                // and reports its port unreachable as a refusal.
                own = OwnedSocket(::socket(server.address.ss_family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
                if (own.fd >= 0 &&
                    ::connect(own.fd, reinterpret_cast<const sockaddr*>(&server.address), server.length) != 0)
                    own = OwnedSocket();
            }
            if (own.fd < 0 || ::send(own.fd, query, size_t(queryLength), MSG_NOSIGNAL) != queryLength) {
                own = OwnedSocket();
                continue;
            }
            bool waiting = true;
            while (waiting) {
                std::vector<pollfd> fds;
                std::vector<size_t> owners;
                for (size_t i = 0; i < sockets.size(); ++i) {
                    if (sockets[i].fd < 0) continue;
                    fds.push_back({sockets[i].fd, POLLIN, 0});
                    owners.push_back(i);
                }
                if (fds.empty() || PollSliced(fds.data(), fds.size(), deadline) <= 0) break;
                for (size_t k = 0; k < fds.size() && waiting; ++k) {
                    if (!fds[k].revents) continue;
                    const size_t from = owners[k];
                    sockaddr_storage sender{};
                    socklen_t senderLength = sizeof sender;
                    const ssize_t n = ::recvfrom(sockets[from].fd, answer, size_t(answerSize), 0,
                                                 reinterpret_cast<sockaddr*>(&sender), &senderLength);
                    if (n < 0) {
                        if (errno == EAGAIN || errno == EINTR) continue;
                        // Refused (nothing listens there) or unreachable: that server is done.
                        sockets[from] = OwnedSocket();
                        if (from == current) waiting = false;
                        continue;
                    }
                    if (!SameSender(servers[from], sender, senderLength) ||
                        !AnswerMatches(query, queryLength, answer, int(n)))
                        continue;  // not the answer to this query: keep waiting
                    if (!Truncated(answer) || acceptTruncated) return int(n);
                    tcp = true;
                    const int full = TcpExchange(servers[from], query, queryLength, answer, answerSize,
                                                 NowMs() + timeoutMs);
                    if (full > 0) return full;
                    waiting = false;
                }
            }
        }
    }
    return -1;
}

// The resolver's servers: IPv4 ones in the classic list, IPv6 ones in the
// extension list.
std::vector<Server> ConfiguredServers(const struct __res_state& state) {
    std::vector<Server> servers;
    for (int i = 0; i < state.nscount && i < MAXNS; ++i) {
        Server server;
        if (state.nsaddr_list[i].sin_family == AF_INET) {
            std::memcpy(&server.address, &state.nsaddr_list[i], sizeof(sockaddr_in));
            server.length = sizeof(sockaddr_in);
        } else if (state._u._ext.nsaddrs[i] && state._u._ext.nsaddrs[i]->sin6_family == AF_INET6) {
            std::memcpy(&server.address, state._u._ext.nsaddrs[i], sizeof(sockaddr_in6));
            server.length = sizeof(sockaddr_in6);
        } else {
            continue;
        }
        servers.push_back(server);
    }
    return servers;
}

}  // namespace

void SetDnsServerOverride(const QString& address, uint16_t port) {
    g_overrideAddress = address;
    g_overridePort = port;
}

int32_t DnsExchange(const QString& name, int32_t type, int32_t options, QByteArray& answer, int timeLimitSeconds) {
    ResolverState r;
    if (res_ninit(&r.state) != 0) return kDnsNoServers;
    r.initialised = true;

    if (!g_overrideAddress.isEmpty()) {
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(g_overridePort);
        if (inet_pton(AF_INET, g_overrideAddress.toLatin1().constData(), &server.sin_addr) != 1)
            return kDnsNoServers;
        r.state.nsaddr_list[0] = server;
        r.state.nscount = 1;
        r.state.retrans = 1;
        r.state.retry = 1;
    }
    if (r.state.nscount <= 0) return kDnsNoServers;
    if (timeLimitSeconds > 0) {
        r.state.retrans = std::min(std::max(1, r.state.retrans), timeLimitSeconds);
        r.state.retry = 1;
    }

    if (options & kDnsOptionAcceptTruncated) r.state.options |= RES_IGNTC;
    if (options & kDnsOptionTcpOnly) r.state.options |= RES_USEVC;
    if (options & kDnsOptionNoRecursion) r.state.options &= ~static_cast<unsigned long>(RES_RECURSE);

    const QByteArray queryName = name.toLocal8Bit();
    unsigned char query[NS_PACKETSZ];
    const int queryLength = res_nmkquery(&r.state, ns_o_query, queryName.constData(), ns_c_in,
                                         type & 0xFFFF, nullptr, 0, nullptr, query, sizeof query);
    if (queryLength < 0) return kDnsInvalidName;

    // Any answer to the query is handed on, a server failure or refusal too,
    // so that its code reaches the caller; the next server is asked only when
    // one does not answer at all.
    const std::vector<Server> servers = ConfiguredServers(r.state);
    if (servers.empty()) return kDnsNoServers;
    const int timeoutMs = std::max(1, r.state.retrans) * 1000;
    auto buffer = std::make_unique<unsigned char[]>(NS_MAXMSG);
    const int answerLength = Exchange(servers, r.state.options & RES_USEVC, r.state.options & RES_IGNTC,
                                      timeoutMs, std::max(1, r.state.retry), query, queryLength,
                                      buffer.get(), NS_MAXMSG);
    if (answerLength < 0) return kDnsTimeout;
    answer = QByteArray(reinterpret_cast<const char*>(buffer.get()), answerLength);
    return 0;
}

int32_t DnsLookup(const QString& name, QVector<DnsEntry>& entries, int32_t& count, int32_t type,
                  int32_t options) {
    QByteArray answer;
    const int32_t status = DnsExchange(name, type, options, answer);
    if (status != 0) return status;
    return ParseDnsAnswer(reinterpret_cast<const unsigned char*>(answer.constData()), int(answer.size()), type,
                          entries, count);
}

int32_t ParseDnsAnswer(const unsigned char* answer, int length, int32_t type, QVector<DnsEntry>& entries,
                       int32_t& count) {
    if (!answer || length <= 0) return kDnsBadPacket;
    ns_msg msg;
    if (ns_initparse(answer, length, &msg) < 0) return kDnsBadPacket;
    const int rcode = ns_msg_getflag(msg, ns_f_rcode);
    if (rcode != ns_r_noerror) return kDnsRcodeBase + rcode;

    const int wanted = type & 0xFFFF;
    bool answered = false;  // the answer section holds a record of the type asked for
    QVector<DnsEntry> found;
    for (ns_sect section : {ns_s_an, ns_s_ns, ns_s_ar}) {
        const int records = ns_msg_count(msg, section);
        for (int i = 0; i < records; ++i) {
            ns_rr rr;
            if (ns_parserr(&msg, section, i, &rr) < 0) return kDnsBadPacket;
            if (ns_rr_type(rr) == ns_t_opt) continue;  // transport options, not a record
            // The query asked for class IN (RFC 1035 section 3.2.4): a record
            // of another class answers nothing and is not listed.
            if (ns_rr_class(rr) != ns_c_in) continue;
            // QTYPE "*" asks for records of every type (RFC 1035 section 3.2.3).
            if (section == ns_s_an && (ns_rr_type(rr) == wanted || wanted == ns_t_any)) answered = true;
            DnsEntry e;
            if (!FillEntry(msg, rr, e)) return kDnsBadPacket;
            found.append(e);
        }
    }
    if (found.isEmpty()) return -1;
    // Records, but none of the type asked for in the answer section: a no-data
    // answer carrying the zone's SOA, a referral, or an alias (CNAME) or other
    // record whose target holds no such record. Nothing was found for the query.
    if (!answered) return kDnsNoRecords;

    if (count < 0) count = 0;
    entries.reserve(count + found.size());
    entries.resize(count);
    for (const DnsEntry& e : found) entries.append(e);
    count += int32_t(found.size());
    return 0;
}

}  // namespace platform
