// SPDX-License-Identifier: Apache-2.0
#include "support/fake_dns_server.h"

#include <QHostAddress>
#include <QMutexLocker>
#include <QSemaphore>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

namespace testsupport {

namespace {

QString Normalised(const QString& name) {
    QString n = name.toLower();
    while (n.endsWith(u'.')) n.chop(1);
    return n;
}

// Builds a reply, compressing names against everything written before.
class Encoder {
public:
    QByteArray out;

    void u8(uint8_t v) { out.append(char(v)); }
    void u16(uint16_t v) {
        u8(uint8_t(v >> 8));
        u8(uint8_t(v));
    }
    void u32(uint32_t v) {
        u16(uint16_t(v >> 16));
        u16(uint16_t(v));
    }

    // Remembers the names of the question so later names may point at them.
    void noteName(const QStringList& labels, int offset) {
        for (int i = 0; i < labels.size(); ++i) {
            const QString suffix = labels.mid(i).join(u'.').toLower();
            if (!suffixes_.contains(suffix) && offset < 0x3FFF) suffixes_.insert(suffix, offset);
            offset += 1 + int(labels[i].toUtf8().size());
        }
    }

    void name(const QString& text) {
        const QString n = text.endsWith(u'.') ? text.chopped(1) : text;
        const QStringList labels = n.isEmpty() ? QStringList() : n.split(u'.');
        for (int i = 0; i < labels.size(); ++i) {
            const QString suffix = labels.mid(i).join(u'.').toLower();
            const auto found = suffixes_.constFind(suffix);
            if (found != suffixes_.constEnd()) {
                u16(uint16_t(0xC000 | found.value()));
                return;
            }
            if (out.size() < 0x3FFF) suffixes_.insert(suffix, int(out.size()));
            const QByteArray label = labels[i].toUtf8();
            u8(uint8_t(label.size()));
            out.append(label);
        }
        u8(0);
    }

    void record(const FakeDnsRecord& r) {
        name(r.name);
        u16(r.type);
        u16(1);  // IN
        u32(r.ttl);
        const int lengthAt = int(out.size());
        u16(0);
        switch (r.kind) {
        case FakeDnsRecord::Kind::Raw: out.append(r.rdata); break;
        case FakeDnsRecord::Kind::Name: name(r.host); break;
        case FakeDnsRecord::Kind::Mx:
            u16(r.number);
            name(r.host);
            break;
        case FakeDnsRecord::Kind::Srv:
            u16(r.number);
            u16(r.weight);
            u16(r.port);
            name(r.host);
            break;
        case FakeDnsRecord::Kind::Soa:
            name(r.host);
            name(r.admin);
            for (uint32_t v : r.soa) u32(v);
            break;
        }
        const int length = int(out.size()) - lengthAt - 2;
        out[lengthAt] = char(length >> 8);
        out[lengthAt + 1] = char(length);
    }

private:
    QHash<QString, int> suffixes_;
};

FakeDnsRecord Make(const QString& name, uint16_t type, FakeDnsRecord::Kind kind) {
    FakeDnsRecord r;
    r.name = name;
    r.type = type;
    r.kind = kind;
    return r;
}

}  // namespace

FakeDnsRecord FakeDnsRecord::A(const QString& name, const QString& dotted) {
    FakeDnsRecord r = Make(name, 1, Kind::Raw);
    const quint32 v = QHostAddress(dotted).toIPv4Address();
    r.rdata = QByteArray(4, '\0');
    for (int i = 0; i < 4; ++i) r.rdata[i] = char(v >> (24 - 8 * i));
    return r;
}

FakeDnsRecord FakeDnsRecord::Aaaa(const QString& name, const QString& text) {
    FakeDnsRecord r = Make(name, 28, Kind::Raw);
    const Q_IPV6ADDR v = QHostAddress(text).toIPv6Address();
    r.rdata = QByteArray(reinterpret_cast<const char*>(v.c), 16);
    return r;
}

FakeDnsRecord FakeDnsRecord::Srv(const QString& name, uint16_t priority, uint16_t weight,
                                 uint16_t port, const QString& target) {
    FakeDnsRecord r = Make(name, 33, Kind::Srv);
    r.number = priority;
    r.weight = weight;
    r.port = port;
    r.host = target;
    return r;
}

FakeDnsRecord FakeDnsRecord::Soa(const QString& name, const QString& server, const QString& admin,
                                 uint32_t serial, uint32_t refresh, uint32_t retry, uint32_t expire,
                                 uint32_t minimum) {
    FakeDnsRecord r = Make(name, 6, Kind::Soa);
    r.host = server;
    r.admin = admin;
    r.soa[0] = serial;
    r.soa[1] = refresh;
    r.soa[2] = retry;
    r.soa[3] = expire;
    r.soa[4] = minimum;
    return r;
}

FakeDnsRecord FakeDnsRecord::Mx(const QString& name, uint16_t preference, const QString& exchange) {
    FakeDnsRecord r = Make(name, 15, Kind::Mx);
    r.number = preference;
    r.host = exchange;
    return r;
}

FakeDnsRecord FakeDnsRecord::Txt(const QString& name, const QList<QByteArray>& strings) {
    FakeDnsRecord r = Make(name, 16, Kind::Raw);
    for (const QByteArray& s : strings) {
        r.rdata.append(char(qMin<qsizetype>(s.size(), 255)));
        r.rdata.append(s.left(255));
    }
    return r;
}

FakeDnsRecord FakeDnsRecord::Ns(const QString& name, const QString& host) {
    FakeDnsRecord r = Make(name, 2, Kind::Name);
    r.host = host;
    return r;
}

FakeDnsRecord FakeDnsRecord::Ptr(const QString& name, const QString& host) {
    FakeDnsRecord r = Make(name, 12, Kind::Name);
    r.host = host;
    return r;
}

FakeDnsRecord FakeDnsRecord::Cname(const QString& name, const QString& host) {
    FakeDnsRecord r = Make(name, 5, Kind::Name);
    r.host = host;
    return r;
}

FakeDnsRecord FakeDnsRecord::Raw(const QString& name, uint16_t type, const QByteArray& rdata) {
    FakeDnsRecord r = Make(name, type, Kind::Raw);
    r.rdata = rdata;
    return r;
}

class FakeDnsServer::Worker : public QThread {
public:
    Worker(FakeDnsServer* server, QSemaphore* bound) : server_(server), bound_(bound) {}

protected:
    void run() override {
        QUdpSocket socket;
        if (socket.bind(server_->address_, server_->requestedPort_)) server_->port_ = socket.localPort();
        QUdpSocket other;  // another port of the same address, for forgeries
        other.bind(server_->address_, 0);
        // Over TCP on the same port (answers asked again after truncation).
        QTcpServer tcp;
        if (server_->port_ != 0) tcp.listen(server_->address_, server_->port_);
        bound_->release();
        if (server_->port_ == 0) return;
        while (!server_->stop_) {
            if (tcp.waitForNewConnection(25)) answerOverTcp(tcp.nextPendingConnection());
            if (!socket.waitForReadyRead(25)) continue;
            while (socket.hasPendingDatagrams()) {
                QByteArray query(int(socket.pendingDatagramSize()), '\0');
                QHostAddress from;
                quint16 fromPort = 0;
                const qint64 n = socket.readDatagram(query.data(), query.size(), &from, &fromPort);
                if (n < 0) continue;
                query.resize(n);
                ++server_->queries_;
                if (server_->silent_) continue;
                QByteArray answer = server_->reply(query);
                if (server_->truncateUdp_ && answer.size() > query.size()) {
                    // Header and question only, with the truncation flag (RFC 1035 section 4.1.1).
                    answer.truncate(query.size());
                    answer[2] = char(answer[2] | 0x02);
                    for (int i = 6; i < 12; ++i) answer[i] = '\0';
                }
                if (server_->forgery_ != Forgery::None) {
                    // The forgery first, so that it is read before the genuine answer.
                    const QByteArray forged = server_->forgedReply(query);
                    if (server_->forgery_ == Forgery::OtherPort)
                        other.writeDatagram(forged, from, fromPort);
                    else
                        socket.writeDatagram(forged, from, fromPort);
                }
                if (!answer.isEmpty()) socket.writeDatagram(answer, from, fromPort);
            }
        }
    }

private:
    // One query with a two-byte length prefix, one answer likewise (RFC 1035 section 4.2.2).
    void answerOverTcp(QTcpSocket* connection) {
        QByteArray in;
        while (connection->state() == QAbstractSocket::ConnectedState && connection->waitForReadyRead(1000)) {
            in += connection->readAll();
            if (in.size() >= 2 && in.size() >= 2 + (uchar(in[0]) << 8 | uchar(in[1]))) break;
        }
        if (in.size() >= 2) {
            ++server_->tcpQueries_;
            const QByteArray answer = server_->silent_ ? QByteArray() : server_->reply(in.mid(2));
            if (!answer.isEmpty()) {
                QByteArray out(2, '\0');
                out[0] = char(answer.size() >> 8);
                out[1] = char(answer.size() & 0xFF);
                connection->write(out + answer);
                connection->waitForBytesWritten(1000);
            }
        }
        connection->disconnectFromHost();
        delete connection;
    }
    FakeDnsServer* server_;
    QSemaphore* bound_;
};

FakeDnsServer::FakeDnsServer(const QHostAddress& address, uint16_t port)
    : address_(address), requestedPort_(port) {
    QSemaphore bound;
    thread_ = new Worker(this, &bound);
    thread_->start();
    bound.acquire();
}

FakeDnsServer::~FakeDnsServer() {
    stop_ = true;
    thread_->wait();
    delete thread_;
}

QString FakeDnsServer::Key(const QString& name, uint16_t type) {
    return Normalised(name) + u'/' + QString::number(type);
}

void FakeDnsServer::setAnswer(const QString& name, uint16_t type, const FakeDnsAnswer& answer) {
    QMutexLocker lock(&mutex_);
    answers_.insert(Key(name, type), answer);
}

void FakeDnsServer::setNxDomain(const QString& name, uint16_t type) {
    FakeDnsAnswer a;
    a.rcode = 3;
    setAnswer(name, type, a);
}

void FakeDnsServer::setNoData(const QString& name, uint16_t type, const FakeDnsRecord& soa) {
    FakeDnsAnswer a;
    a.authority = {soa};
    setAnswer(name, type, a);
}

void FakeDnsServer::setEmpty(const QString& name, uint16_t type) { setAnswer(name, type, {}); }

QByteArray FakeDnsServer::reply(const QByteArray& query) const { return replyWith(query, nullptr); }

QByteArray FakeDnsServer::forgedReply(const QByteArray& query) const {
    QByteArray forged = replyWith(query, &forgedAnswer_);
    if (forged.size() <= 13) return {};
    switch (forgery_.load()) {
    case Forgery::None:
    case Forgery::OtherPort: break;
    case Forgery::OtherId: forged[1] = char(forged[1] ^ 0x01); break;
    case Forgery::OtherQuestion: forged[13] = char(forged[13] ^ 0x01); break;  // first letter of the name
    }
    return forged;
}

QByteArray FakeDnsServer::replyWith(const QByteArray& query, const FakeDnsAnswer* forced) const {
    const auto* q = reinterpret_cast<const unsigned char*>(query.constData());
    const int size = int(query.size());
    if (size < 12 || (q[2] & 0x80) || (q[4] << 8 | q[5]) != 1) return {};
    QStringList labels;
    int p = 12;
    while (p < size && q[p] != 0) {
        const int length = q[p];
        if (length > 63 || p + 1 + length > size) return {};
        labels.append(QString::fromUtf8(query.mid(p + 1, length)));
        p += 1 + length;
    }
    if (p + 5 > size) return {};
    const uint16_t type = uint16_t(q[p + 1] << 8 | q[p + 2]);
    const int questionEnd = p + 5;

    FakeDnsAnswer a;
    if (forced) {
        a = *forced;
    } else {
        QMutexLocker lock(&mutex_);
        const auto found = answers_.constFind(Key(labels.join(u'.'), type));
        if (found != answers_.constEnd())
            a = found.value();
        else
            a.rcode = 3;
    }

    Encoder e;
    e.u16(uint16_t(q[0] << 8 | q[1]));
    // Response, same opcode and recursion-desired bit, authoritative, recursion available.
    e.u8(uint8_t(0x80 | (q[2] & 0x79) | 0x04));
    e.u8(uint8_t(0x80 | (a.rcode & 0x0F)));
    e.u16(1);
    e.u16(uint16_t(a.answer.size()));
    e.u16(uint16_t(a.authority.size()));
    e.u16(uint16_t(a.additional.size()));
    e.noteName(labels, 12);
    e.out.append(query.mid(12, questionEnd - 12));
    for (const FakeDnsRecord& r : a.answer) e.record(r);
    for (const FakeDnsRecord& r : a.authority) e.record(r);
    for (const FakeDnsRecord& r : a.additional) e.record(r);
    return e.out;
}

}  // namespace testsupport
