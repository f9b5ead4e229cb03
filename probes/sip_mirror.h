// SPDX-License-Identifier: Apache-2.0
#pragma once
// What the path does to SIP, seen through a mirror on the provider's SIP
// server: the requests sent to it (an INVITE with an SDP offer, a REGISTER),
// the reading of its answer (the request as the server received it, and where
// it came from), and the comparison of the two.
#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <optional>

namespace probes {

// The Request-URI user part the server's mirror answers.
inline constexpr const char* kMirrorUser = "tarvolin-mirror";

// One transaction of our own: random per run and request.
struct MirrorTransaction {
    QString callId, branch, fromTag;  // branch starts with the RFC 3261 magic cookie
    int cseq = 1;
};
MirrorTransaction NewMirrorTransaction();

struct MirrorRequest {
    bool invite = true;          // INVITE with SDP offer, else REGISTER
    bool tcp = false;
    QString domain;              // the provider's SIP domain
    QString localAddress;        // Via, Contact, SDP o= and c=
    int localPort = 0;           // Via and Contact
    int rtpPort = 0;             // SDP m=audio (even)
    MirrorTransaction transaction;
};
QByteArray BuildMirrorRequest(const MirrorRequest& request);

// The length of the first whole SIP message in a TCP stream (header part up
// to the empty line plus Content-Length, RFC 3261 section 18.3); 0 while it
// is not whole yet, -1 when the stream cannot be SIP framing.
int SipMessageLength(const QByteArray& stream);

struct MirrorAnswer {
    int status = 0;                 // the answer's status code
    bool mirrored = false;          // 200 with the copy and its source
    QByteArray copy;                // the request as the server received it
    QString sourceTransport, sourceAddress;
    int sourcePort = 0;
};
// The answer to our transaction only: the top Via's branch, the Call-ID and
// the CSeq number must be ours (RFC 3261 section 17.1.3); anything else is
// nullopt. The sender is checked by the caller.
std::optional<MirrorAnswer> ReadMirrorAnswer(const QByteArray& message, const MirrorTransaction& ours);

// One line that differs between what was sent and the mirrored copy.
struct SipDifference {
    QString what;        // "Via", "Contact", "SDP c=", "Content-Length", …
    QString sent, mirrored;  // "" for an added or a removed line
    bool toExternal = false; // the mirrored line names the NAT's external address
};
// Every header and SDP line that differs; headers by name (compact forms
// count as their long names, RFC 3261 section 7.3.3), repeated headers in
// order, SDP lines by type in order.
QVector<SipDifference> CompareMirror(const QByteArray& sent, const QByteArray& copy,
                                     const QString& externalAddress);

// One transport and port of the run.
struct MirrorCheck {
    bool tcp = false;
    int port = 0;
    bool sent = false;        // the requests left (socket bound / connected)
    bool answered = false;    // a mirrored copy came back for each request
    bool refused = false;     // the server answered, but not as a mirror
    QString localAddress, sourceAddress;
    int localPort = 0, sourcePort = 0;
    QVector<SipDifference> invite, registration;
    QByteArray inviteCopy;    // for the report
};

struct MirrorFindings {
    bool supported = false;   // at least one copy came back
    QStringList findings;     // plain words, most important first
};
MirrorFindings JudgeMirror(const QVector<MirrorCheck>& checks, int firstPort, int secondPort);

// "UDP 5060", "TCP 5080".
QString CheckName(const MirrorCheck& check);
// The section's text: findings, then each check with its differences.
QString MirrorText(const QVector<MirrorCheck>& checks, const MirrorFindings& findings);
QJsonObject MirrorJson(const QVector<MirrorCheck>& checks, const MirrorFindings& findings);

}  // namespace probes
