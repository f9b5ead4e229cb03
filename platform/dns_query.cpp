// SPDX-License-Identifier: Apache-2.0
#include "platform/dns_query.h"

#include "platform/blocking_wait.h"

#include <QFile>

#include <ares.h>
#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <netinet/in.h>
#include <poll.h>
#include <resolv.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace platform {

namespace {

QString g_overrideAddress;
uint16_t g_overridePort = 53;
QString g_configurationFile;
uint16_t g_configurationPort = 0;


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

// ---- query exchange --------------------------------------------------------
//
// c-ares sends the query, walks the servers, asks again over TCP when an
// answer comes truncated, applies the search list and reads the servers,
// "search", "domain", "ndots" and "rotate" from /etc/resolv.conf and the
// variables LOCALDOMAIN and RES_OPTIONS. c-ares 1.18 knows neither "timeout"
// nor "attempts" (it reads other words for them, and waits twice as long in
// every further round); those two are read here as the C library reads them
// and every round gets the same time-out, as the C library gives it.

constexpr const char* kSystemConfiguration = "/etc/resolv.conf";
constexpr int kDefaultTimeoutSeconds = 5;  // RES_TIMEOUT of the C library
constexpr int kDefaultAttempts = 2;        // RES_DFLRETRY
constexpr int kMaxTimeoutSeconds = 30;     // RES_MAXRETRANS
constexpr int kMaxAttempts = 5;            // RES_MAXRETRY

struct Timing {
    int timeoutSeconds = kDefaultTimeoutSeconds;
    int attempts = kDefaultAttempts;
};

// One "options" list (resolv.conf(5)): words apart by blanks; later words win.
void ApplyOptions(const QByteArray& words, Timing& timing) {
    for (const QByteArray& word : words.simplified().split(' ')) {
        if (word.startsWith("timeout:"))
            timing.timeoutSeconds = std::clamp(std::atoi(word.constData() + 8), 1, kMaxTimeoutSeconds);
        else if (word.startsWith("attempts:"))
            timing.attempts = std::clamp(std::atoi(word.constData() + 9), 1, kMaxAttempts);
    }
}

// The time-out and attempts of the configuration file's "options" lines, then
// of RES_OPTIONS, which wins.
Timing ReadTiming(const QString& path) {
    Timing timing;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd()) {
            const QByteArray line = file.readLine();
            if (line.startsWith("options") && line.size() > 7 && (line[7] == ' ' || line[7] == '\t'))
                ApplyOptions(line.mid(8), timing);
        }
    }
    ApplyOptions(qgetenv("RES_OPTIONS"), timing);
    return timing;
}

int64_t NowMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// The outcome of one search, as c-ares hands it to the callback.
struct Outcome {
    bool done = false;
    int status = ARES_SUCCESS;
    QByteArray answer;  // the answer message, whatever its code; empty if none came
};

void Finish(void* arg, int status, int /*timeouts*/, unsigned char* answer, int length) {
    auto* outcome = static_cast<Outcome*>(arg);
    outcome->done = true;
    outcome->status = status;
    if (answer && length > 0) outcome->answer = QByteArray(reinterpret_cast<const char*>(answer), length);
}

// A c-ares channel, destroyed (its sockets closed, pending queries ended) with
// this object; the library is set up for as long as a channel lives.
class Channel {
public:
    Channel() { ready_ = ares_library_init(ARES_LIB_INIT_ALL) == ARES_SUCCESS; }
    ~Channel() {
        if (channel_) ares_destroy(channel_);
        if (ready_) ares_library_cleanup();
    }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    bool Init(ares_options& options, int mask) {
        return ready_ && ares_init_options(&channel_, &options, mask) == ARES_SUCCESS;
    }
    ares_channel get() const { return channel_; }

private:
    bool ready_ = false;
    ares_channel channel_ = nullptr;
};

// With "options rotate" each query starts at the next server in turn. A channel
// lives for one query, so the turn is kept here and the channel's list turned.
unsigned g_nextServer = 0;

void StartAtNextServer(ares_channel channel) {
    ares_options saved{};
    int mask = 0;
    if (ares_save_options(channel, &saved, &mask) != ARES_SUCCESS) return;
    ares_destroy_options(&saved);
    if (!(mask & ARES_OPT_ROTATE)) return;
    ares_addr_port_node* list = nullptr;
    if (ares_get_servers_ports(channel, &list) != ARES_SUCCESS) return;
    std::vector<ares_addr_port_node*> nodes;
    for (ares_addr_port_node* node = list; node; node = node->next) nodes.push_back(node);
    if (nodes.size() > 1) {
        std::rotate(nodes.begin(), nodes.begin() + g_nextServer++ % nodes.size(), nodes.end());
        for (size_t i = 0; i < nodes.size(); ++i) nodes[i]->next = i + 1 < nodes.size() ? nodes[i + 1] : nullptr;
        list = nodes.front();
        ares_set_servers_ports(channel, list);
    }
    ares_free_data(list);
}

// Runs the channel until the search has ended. Waits in the system at most
// kWaitSliceMs at a time and runs the wait hook between slices, so that the
// windows are served however long the servers take.
void Drive(ares_channel channel, const Outcome& outcome) {
    int64_t lastHook = NowMs();
    while (!outcome.done) {
        ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
        const int bits = ares_getsock(channel, sockets, ARES_GETSOCK_MAXNUM);
        pollfd fds[ARES_GETSOCK_MAXNUM];
        nfds_t count = 0;
        for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
            const bool read = ARES_GETSOCK_READABLE(bits, i), write = ARES_GETSOCK_WRITABLE(bits, i);
            if (!read && !write) break;
            fds[count++] = {sockets[i], short((read ? POLLIN : 0) | (write ? POLLOUT : 0)), 0};
        }
        timeval slice{0, kWaitSliceMs * 1000}, left{};
        const timeval* wait = ares_timeout(channel, &slice, &left);
        const int waitMs = int(wait->tv_sec * 1000 + (wait->tv_usec + 999) / 1000);
        const int ready = ::poll(fds, count, waitMs);
        if (ready > 0) {
            for (nfds_t i = 0; i < count; ++i) {
                if (!fds[i].revents) continue;
                // An error (a refusal over UDP) is met by reading the socket.
                const bool read = fds[i].revents & (POLLIN | POLLERR | POLLHUP);
                const bool write = fds[i].revents & (POLLOUT | POLLERR | POLLHUP);
                ares_process_fd(channel, read ? fds[i].fd : ARES_SOCKET_BAD, write ? fds[i].fd : ARES_SOCKET_BAD);
            }
        } else {
            ares_process_fd(channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD);  // time-outs
        }
        if (!outcome.done && (ready == 0 || NowMs() - lastHook >= kWaitSliceMs)) {
            RunWaitHook();
            lastHook = NowMs();
        }
    }
}

// The status of a search that ended without an answer message.
int32_t StatusWithoutAnswer(int status) {
    switch (status) {
    case ARES_ETIMEOUT:
    case ARES_ECONNREFUSED: return kDnsTimeout;
    case ARES_EBADNAME: return kDnsInvalidName;
    // A search over the domains of the search list that found no name hands
    // back no answer: the code its answers gave.
    case ARES_EFORMERR: return kDnsRcodeBase + ns_r_formerr;
    case ARES_ESERVFAIL: return kDnsRcodeBase + ns_r_servfail;
    case ARES_ENOTFOUND: return kDnsRcodeBase + ns_r_nxdomain;
    case ARES_ENOTIMP: return kDnsRcodeBase + ns_r_notimpl;
    case ARES_EREFUSED: return kDnsRcodeBase + ns_r_refused;
    case ARES_ENODATA: return kDnsNoRecords;
    case ARES_EBADRESP: return kDnsBadPacket;
    default: return kDnsNoServers;  // the channel could not be used
    }
}

}  // namespace

void SetDnsServerOverride(const QString& address, uint16_t port) {
    g_overrideAddress = address;
    g_overridePort = port;
}

void SetDnsConfigurationFile(const QString& path, uint16_t port) {
    g_configurationFile = path;
    g_configurationPort = port;
}

int32_t DnsExchange(const QString& name, int32_t type, int32_t options, QByteArray& answer, int timeLimitSeconds) {
    const bool overridden = !g_overrideAddress.isEmpty();
    const QByteArray configuration =
        QFile::encodeName(g_configurationFile.isEmpty() ? QString::fromLatin1(kSystemConfiguration)
                                                        : g_configurationFile);
    Timing timing = overridden ? Timing{1, 1} : ReadTiming(QFile::decodeName(configuration));
    if (timeLimitSeconds > 0) timing = {std::min(timing.timeoutSeconds, timeLimitSeconds), 1};

    ares_options opts{};
    int mask = ARES_OPT_FLAGS | ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES | ARES_OPT_RESOLVCONF;
    // A server failure or refusal is an answer whose code reaches the caller
    // (c-ares 1.18 would ask the next server and, after the last, report only
    // that none could be reached).
    opts.flags = ARES_FLAG_NOCHECKRESP;
    if (options & kDnsOptionAcceptTruncated) opts.flags |= ARES_FLAG_IGNTC;
    if (options & kDnsOptionTcpOnly) opts.flags |= ARES_FLAG_USEVC;
    if (options & kDnsOptionNoRecursion) opts.flags |= ARES_FLAG_NORECURSE;
    opts.timeout = timing.timeoutSeconds * 1000;
    opts.tries = 1;  // the rounds are counted below
    char noFile[] = "/dev/null";
    if (overridden) {
        // The override server alone, nothing of the system's configuration.
        opts.resolvconf_path = noFile;
        opts.ndomains = 0;
        mask |= ARES_OPT_DOMAINS;
    } else {
        opts.resolvconf_path = const_cast<char*>(configuration.constData());
        if (g_configurationPort) {
            opts.udp_port = opts.tcp_port = g_configurationPort;
            mask |= ARES_OPT_UDP_PORT | ARES_OPT_TCP_PORT;
        }
    }

    Outcome outcome;  // outlives the channel, whose end may still report to it
    Channel channel;
    if (!channel.Init(opts, mask)) return kDnsNoServers;
    if (overridden) {
        const QString host = g_overrideAddress.contains(u':') ? u'[' + g_overrideAddress + u']' : g_overrideAddress;
        const QByteArray server = (host + u':' + QString::number(g_overridePort)).toLatin1();
        if (ares_set_servers_ports_csv(channel.get(), server.constData()) != ARES_SUCCESS) return kDnsNoServers;
    }
    StartAtNextServer(channel.get());

    // The name as given or with the domains of the search list, in the order
    // res_search(3) tries them. Every round asks each server once; a round
    // ends early with any answer, a server failure or refusal among them.
    const QByteArray queryName = name.toLocal8Bit();
    for (int round = 0; round < timing.attempts; ++round) {
        outcome = Outcome();
        ares_search(channel.get(), queryName.constData(), ns_c_in, type & 0xFFFF, Finish, &outcome);
        Drive(channel.get(), outcome);
        if (outcome.status != ARES_ETIMEOUT && outcome.status != ARES_ECONNREFUSED) break;
    }
    if (outcome.answer.isEmpty()) return StatusWithoutAnswer(outcome.status);
    answer = outcome.answer;
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
