// SPDX-License-Identifier: Apache-2.0
#include "probes/sip_mirror.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QCoreApplication>

namespace probes {

namespace {

QString RandomToken(int length)
{
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QString out;
    for (int i = 0; i < length; ++i)
        out += QLatin1Char(kChars[QRandomGenerator::global()->bounded(36)]);
    return out;
}

struct Header {
    QString name;   // lower case, long form
    QString value;  // trimmed
};

struct Parsed {
    QString startLine;
    QVector<Header> headers;
    QByteArray body;
};

// RFC 3261 section 7.3.3: compact forms.
QString LongName(const QString& lower)
{
    if (lower.size() != 1)
        return lower;
    switch (lower.at(0).toLatin1()) {
    case 'v': return QStringLiteral("via");
    case 'm': return QStringLiteral("contact");
    case 'l': return QStringLiteral("content-length");
    case 'c': return QStringLiteral("content-type");
    case 'i': return QStringLiteral("call-id");
    case 'f': return QStringLiteral("from");
    case 't': return QStringLiteral("to");
    case 'e': return QStringLiteral("content-encoding");
    case 'k': return QStringLiteral("supported");
    case 's': return QStringLiteral("subject");
    default: return lower;
    }
}

// Header part and body; folded lines joined (RFC 3261 section 7.3.1).
Parsed Parse(const QByteArray& message)
{
    Parsed p;
    int end = message.indexOf("\r\n\r\n");
    int skip = 4;
    if (end < 0) {
        end = message.indexOf("\n\n");
        skip = 2;
    }
    const QByteArray head = end < 0 ? message : message.left(end);
    p.body = end < 0 ? QByteArray() : message.mid(end + skip);
    const QList<QByteArray> lines = head.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        QString line = QString::fromUtf8(lines[i]);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (i == 0) {
            p.startLine = line;
            continue;
        }
        if ((line.startsWith(QLatin1Char(' ')) || line.startsWith(QLatin1Char('\t'))) && !p.headers.isEmpty()) {
            p.headers.last().value += QLatin1Char(' ') + line.trimmed();
            continue;
        }
        const int colon = line.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            continue;
        p.headers.append({LongName(line.left(colon).trimmed().toLower()), line.mid(colon + 1).trimmed()});
    }
    return p;
}

QStringList Values(const Parsed& p, const QString& name)
{
    QStringList out;
    for (const Header& h : p.headers)
        if (h.name == name)
            out << h.value;
    return out;
}

// The name as people write it: "Via", "Content-Length", "Call-ID".
QString Shown(const QString& lower)
{
    if (lower == QLatin1String("call-id"))
        return QStringLiteral("Call-ID");
    QStringList parts = lower.split(QLatin1Char('-'));
    for (QString& part : parts)
        if (!part.isEmpty())
            part[0] = part[0].toUpper();
    return parts.join(QLatin1Char('-'));
}

QStringList SdpLines(const QByteArray& body)
{
    QStringList out;
    for (QByteArray line : body.split('\n')) {
        line = line.trimmed();
        if (!line.isEmpty())
            out << QString::fromUtf8(line);
    }
    return out;
}

void Differ(QVector<SipDifference>& out, const QString& what, const QStringList& sent,
            const QStringList& copy, const QString& external)
{
    const int n = std::max(sent.size(), copy.size());
    for (int i = 0; i < n; ++i) {
        const QString a = i < sent.size() ? sent[i] : QString();
        const QString b = i < copy.size() ? copy[i] : QString();
        if (a == b)
            continue;
        // Whole address only: "192.0.2.2" is not in "192.0.2.20".
        bool toExternal = false;
        if (!external.isEmpty() && !b.isEmpty()) {
            for (int at = b.indexOf(external); at >= 0; at = b.indexOf(external, at + 1)) {
                const int after = at + int(external.size());
                const bool leftOk = at == 0 || !(b[at - 1].isDigit() || b[at - 1] == QLatin1Char('.'));
                const bool rightOk = after >= b.size() || !(b[after].isDigit() || b[after] == QLatin1Char('.'));
                if (leftOk && rightOk && !a.contains(external)) {
                    toExternal = true;
                    break;
                }
            }
        }
        out.append({what, a, b, toExternal});
    }
}

}  // namespace

MirrorTransaction NewMirrorTransaction()
{
    MirrorTransaction t;
    t.callId = RandomToken(20);
    // RFC 3261 section 8.1.1.7: the branch begins with the magic cookie.
    t.branch = QStringLiteral("z9hG4bK") + RandomToken(16);
    t.fromTag = RandomToken(10);
    t.cseq = 1 + int(QRandomGenerator::global()->bounded(9000));
    return t;
}

QByteArray BuildMirrorRequest(const MirrorRequest& r)
{
    const QString method = r.invite ? QStringLiteral("INVITE") : QStringLiteral("REGISTER");
    const QString hostPort = r.localAddress + QLatin1Char(':') + QString::number(r.localPort);
    const QString uri = QStringLiteral("sip:%1@%2").arg(QLatin1String(kMirrorUser), r.domain);
    QByteArray sdp;
    if (r.invite) {
        // RFC 4566 session description: the offer of a phone (RFC 3264).
        sdp = QStringLiteral("v=0\r\n"
                             "o=- %1 1 IN IP4 %2\r\n"
                             "s=-\r\n"
                             "c=IN IP4 %2\r\n"
                             "t=0 0\r\n"
                             "m=audio %3 RTP/AVP 0 8 101\r\n"
                             "a=rtpmap:0 PCMU/8000\r\n"
                             "a=rtpmap:8 PCMA/8000\r\n"
                             "a=rtpmap:101 telephone-event/8000\r\n"
                             "a=fmtp:101 0-15\r\n"
                             "a=sendrecv\r\n")
                  .arg(QString::number(r.transaction.cseq), r.localAddress, QString::number(r.rtpPort))
                  .toUtf8();
    }
    QString m;
    m += QStringLiteral("%1 %2 SIP/2.0\r\n").arg(method, r.invite ? uri : QStringLiteral("sip:") + r.domain);
    // RFC 3581: rport asks for the answer to the source port.
    m += QStringLiteral("Via: SIP/2.0/%1 %2;branch=%3;rport\r\n")
             .arg(r.tcp ? QStringLiteral("TCP") : QStringLiteral("UDP"), hostPort, r.transaction.branch);
    m += QStringLiteral("Max-Forwards: 70\r\n");
    // A REGISTER names the mirror as its address of record (RFC 3261 section 10.2).
    m += QStringLiteral("From: <%1>;tag=%2\r\n").arg(r.invite ? QStringLiteral("sip:tarvolin@") + r.domain : uri,
                                                     r.transaction.fromTag);
    m += QStringLiteral("To: <%1>\r\n").arg(uri);
    m += QStringLiteral("Call-ID: %1\r\n").arg(r.transaction.callId);
    m += QStringLiteral("CSeq: %1 %2\r\n").arg(QString::number(r.transaction.cseq), method);
    m += QStringLiteral("Contact: <sip:%3@%1%2>\r\n")
             .arg(hostPort, r.tcp ? QStringLiteral(";transport=tcp") : QString(),
                  r.invite ? QStringLiteral("tarvolin") : QLatin1String(kMirrorUser));
    if (!r.invite)
        m += QStringLiteral("Expires: 0\r\n");
    m += QStringLiteral("User-Agent: Tarvolin\r\n");
    if (r.invite)
        m += QStringLiteral("Content-Type: application/sdp\r\n");
    m += QStringLiteral("Content-Length: %1\r\n\r\n").arg(sdp.size());
    return m.toUtf8() + sdp;
}

int SipMessageLength(const QByteArray& stream)
{
    const int end = stream.indexOf("\r\n\r\n");
    if (end < 0)
        return stream.size() > 65536 ? -1 : 0;
    const Parsed p = Parse(stream.left(end + 4));
    const QStringList lengths = Values(p, QStringLiteral("content-length"));
    // RFC 3261 section 18.3: over a stream, Content-Length must be present.
    if (lengths.size() != 1)
        return -1;
    bool ok = false;
    const int body = lengths.first().toInt(&ok);
    if (!ok || body < 0 || body > 65536)
        return -1;
    return stream.size() >= end + 4 + body ? end + 4 + body : 0;
}

std::optional<MirrorAnswer> ReadMirrorAnswer(const QByteArray& message, const MirrorTransaction& ours)
{
    const Parsed p = Parse(message);
    const QStringList status = p.startLine.split(QLatin1Char(' '));
    if (status.size() < 2 || status[0] != QLatin1String("SIP/2.0"))
        return std::nullopt;
    const QStringList vias = Values(p, QStringLiteral("via"));
    const QStringList callIds = Values(p, QStringLiteral("call-id"));
    const QStringList cseqs = Values(p, QStringLiteral("cseq"));
    if (vias.isEmpty() || callIds.size() != 1 || cseqs.size() != 1 || callIds[0] != ours.callId)
        return std::nullopt;
    // The top Via's branch parameter, matched whole.
    const QString topVia = vias.first().section(QLatin1Char(','), 0, 0);
    bool branchOk = false;
    for (const QString& param : topVia.split(QLatin1Char(';')).mid(1)) {
        const QString t = param.trimmed();
        if (t.section(QLatin1Char('='), 0, 0).trimmed().compare(QLatin1String("branch"), Qt::CaseInsensitive) == 0)
            branchOk = t.section(QLatin1Char('='), 1).trimmed() == ours.branch;
    }
    if (!branchOk || cseqs[0].section(QLatin1Char(' '), 0, 0).toInt() != ours.cseq)
        return std::nullopt;
    MirrorAnswer a;
    a.status = status[1].toInt();
    const QStringList source = Values(p, QStringLiteral("tarvolin-source"));
    const QStringList type = Values(p, QStringLiteral("content-type"));
    if (a.status != 200 || source.size() != 1 || type.isEmpty()
        || !type.first().startsWith(QLatin1String("message/sip"), Qt::CaseInsensitive))
        return a;
    const QStringList words = source.first().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() != 3)
        return a;
    QByteArray body = p.body;
    const QStringList lengths = Values(p, QStringLiteral("content-length"));
    if (lengths.size() == 1 && lengths.first().toInt() >= 0 && lengths.first().toInt() < body.size())
        body.truncate(lengths.first().toInt());
    const QStringList encoding = Values(p, QStringLiteral("content-transfer-encoding"));
    if (!encoding.isEmpty() && encoding.first().compare(QLatin1String("base64"), Qt::CaseInsensitive) == 0) {
        const auto decoded = QByteArray::fromBase64Encoding(body.trimmed(), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return a;
        body = *decoded;
    }
    a.mirrored = true;
    a.copy = body;
    a.sourceTransport = words[0].toUpper();
    a.sourceAddress = words[1];
    a.sourcePort = words[2].toInt();
    return a;
}

QVector<SipDifference> CompareMirror(const QByteArray& sent, const QByteArray& copy, const QString& external)
{
    const Parsed a = Parse(sent), b = Parse(copy);
    QVector<SipDifference> out;
    Differ(out, QCoreApplication::translate("SipMirror", "строка запроса"), {a.startLine}, {b.startLine}, external);
    QStringList names;
    for (const Header& h : a.headers + b.headers)
        if (!names.contains(h.name))
            names << h.name;
    for (const QString& name : names)
        Differ(out, Shown(name), Values(a, name), Values(b, name), external);
    // SDP lines by their type letter, in order.
    const QStringList sa = SdpLines(a.body), sb = SdpLines(b.body);
    QStringList types;
    for (const QString& line : sa + sb)
        if (!types.contains(line.left(2)))
            types << line.left(2);
    for (const QString& type : types) {
        QStringList la, lb;
        for (const QString& l : sa)
            if (l.startsWith(type))
                la << l;
        for (const QString& l : sb)
            if (l.startsWith(type))
                lb << l;
        Differ(out, QStringLiteral("SDP ") + type, la, lb, external);
    }
    return out;
}

QString CheckName(const MirrorCheck& c)
{
    return (c.tcp ? QStringLiteral("TCP ") : QStringLiteral("UDP ")) + QString::number(c.port);
}

MirrorFindings JudgeMirror(const QVector<MirrorCheck>& checks, int firstPort, int secondPort)
{
    MirrorFindings f;
    auto changed = [](const MirrorCheck& c) { return !c.invite.isEmpty() || !c.registration.isEmpty(); };
    auto find = [&checks](bool tcp, int port) -> const MirrorCheck* {
        for (const MirrorCheck& c : checks)
            if (c.tcp == tcp && c.port == port && c.answered)
                return &c;
        return nullptr;
    };
    QStringList rewritten;  // what an ALG rewrote to the external address
    bool otherChange = false;
    for (const MirrorCheck& c : checks) {
        if (!c.answered)
            continue;
        f.supported = true;
        for (const SipDifference& d : c.invite + c.registration) {
            if (!d.toExternal) {
                // A new Content-Length follows from a rewritten body.
                if (d.what != QLatin1String("Content-Length"))
                    otherChange = true;
                continue;
            }
            const QString what =
                d.what.startsWith(QLatin1String("SDP")) ? QCoreApplication::translate("SipMirror", "адрес и порт в SDP") : d.what;
            if (!rewritten.contains(what))
                rewritten << what;
        }
    }
    if (!f.supported) {
        f.findings << QCoreApplication::translate("SipMirror", "сервер не поддерживает проверку");
        return f;
    }
    const bool anyChange = std::any_of(checks.begin(), checks.end(), changed);
    if (!anyChange) {
        f.findings << QCoreApplication::translate("SipMirror", "SIP проходит без изменений");
        return f;
    }
    if (!rewritten.isEmpty())
        f.findings << QCoreApplication::translate("SipMirror", "маршрутизатор переписывает SIP (SIP ALG): ") + rewritten.join(QStringLiteral(", "));
    if (otherChange)
        f.findings << QCoreApplication::translate("SipMirror", "на пути изменены строки SIP (см. ниже), не на внешний адрес NAT");
    const MirrorCheck* udp1 = find(false, firstPort);
    const MirrorCheck* udp2 = secondPort > 0 ? find(false, secondPort) : nullptr;
    if (udp1 && changed(*udp1) && udp2 && !changed(*udp2))
        f.findings << QCoreApplication::translate("SipMirror", "SIP ALG работает только на порту %1: используйте порт %2")
                          .arg(firstPort)
                          .arg(secondPort);
    const MirrorCheck* tcp1 = find(true, firstPort);
    if (udp1 && changed(*udp1) && tcp1 && !changed(*tcp1))
        f.findings << QCoreApplication::translate("SipMirror", "TCP не затронут: используйте SIP по TCP");
    return f;
}

QString MirrorText(const QVector<MirrorCheck>& checks, const MirrorFindings& findings)
{
    QStringList lines = findings.findings;
    for (const MirrorCheck& c : checks) {
        QString head = CheckName(c) + QStringLiteral(": ");
        if (!c.sent)
            head += QCoreApplication::translate("SipMirror", "не отправлено (порт занят или нет соединения)");
        else if (!c.answered)
            head += c.refused ? QCoreApplication::translate("SipMirror", "сервер ответил, но не копией запроса")
                              : QCoreApplication::translate("SipMirror", "копия запроса не пришла");
        else if (c.invite.isEmpty() && c.registration.isEmpty())
            head += QCoreApplication::translate("SipMirror", "без изменений");
        else
            head += QCoreApplication::translate("SipMirror", "изменено");
        if (c.answered)
            head += QCoreApplication::translate("SipMirror", " (отправлено с %1:%2, сервер видит %3:%4)")
                        .arg(c.localAddress)
                        .arg(c.localPort)
                        .arg(c.sourceAddress)
                        .arg(c.sourcePort);
        lines << head;
        for (const auto& [name, list] : {std::pair{QStringLiteral("INVITE"), c.invite},
                                         std::pair{QStringLiteral("REGISTER"), c.registration}}) {
            for (const SipDifference& d : list) {
                const QString was = d.sent.isEmpty() ? QCoreApplication::translate("SipMirror", "(нет)") : d.sent;
                const QString now = d.mirrored.isEmpty() ? QCoreApplication::translate("SipMirror", "(удалено)") : d.mirrored;
                lines << QStringLiteral("  %1 %2: %3 -> %4%5")
                             .arg(name, d.what, was, now,
                                  d.toExternal ? QCoreApplication::translate("SipMirror", " (внешний адрес NAT)") : QString());
            }
        }
    }
    return lines.join(QStringLiteral("\r\n"));
}

QJsonObject MirrorJson(const QVector<MirrorCheck>& checks, const MirrorFindings& findings)
{
    auto diffs = [](const QVector<SipDifference>& list) {
        QJsonArray out;
        for (const SipDifference& d : list)
            out.append(QJsonObject{{QStringLiteral("what"), d.what},
                                   {QStringLiteral("sent"), d.sent},
                                   {QStringLiteral("mirrored"), d.mirrored},
                                   {QStringLiteral("toExternalAddress"), d.toExternal}});
        return out;
    };
    QJsonArray list;
    for (const MirrorCheck& c : checks)
        list.append(QJsonObject{{QStringLiteral("transport"), c.tcp ? QStringLiteral("tcp") : QStringLiteral("udp")},
                                {QStringLiteral("port"), c.port},
                                {QStringLiteral("sent"), c.sent},
                                {QStringLiteral("answered"), c.answered},
                                {QStringLiteral("refused"), c.refused},
                                {QStringLiteral("localAddress"), c.localAddress},
                                {QStringLiteral("localPort"), c.localPort},
                                {QStringLiteral("sourceAddress"), c.sourceAddress},
                                {QStringLiteral("sourcePort"), c.sourcePort},
                                {QStringLiteral("invite"), diffs(c.invite)},
                                {QStringLiteral("register"), diffs(c.registration)}});
    return QJsonObject{{QStringLiteral("supported"), findings.supported},
                       {QStringLiteral("findings"), QJsonArray::fromStringList(findings.findings)},
                       {QStringLiteral("checks"), list}};
}

}  // namespace probes
