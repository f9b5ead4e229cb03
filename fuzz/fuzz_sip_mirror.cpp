// SPDX-License-Identifier: Apache-2.0
// An answer from the SIP server's mirror, read as the SIP-path section reads
// it: TCP framing, our transaction only, and the comparison of the copy with
// what was sent.
#include "fuzz_support.h"
#include "probes/sip_mirror.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray message = fuzz::Datagram(data, size);
    const int length = probes::SipMessageLength(message);
    FUZZ_CHECK(length >= -1 && length <= message.size());

    probes::MirrorTransaction ours;
    ours.callId = QStringLiteral("c0ffee@tarvolin");
    ours.branch = QStringLiteral("z9hG4bKfuzz");
    ours.fromTag = QStringLiteral("tag");
    ours.cseq = 7;
    const std::optional<probes::MirrorAnswer> answer = probes::ReadMirrorAnswer(message, ours);
    if (answer) {
        // Only an answer naming our transaction is taken.
        FUZZ_CHECK(message.contains(ours.callId.toLatin1()));
        FUZZ_CHECK(message.contains(ours.branch.toLatin1()));
        FUZZ_CHECK(!answer->mirrored || answer->status == 200);
    }
    probes::MirrorRequest request;
    request.domain = QStringLiteral("tarvolin.test");
    request.localAddress = QStringLiteral("192.168.1.10");
    request.localPort = 5060;
    request.rtpPort = 40000;
    request.transaction = ours;
    const QByteArray sent = probes::BuildMirrorRequest(request);
    const QByteArray copy = answer && answer->mirrored ? answer->copy : message;
    const QVector<probes::SipDifference> differences =
        probes::CompareMirror(sent, copy, QStringLiteral("192.0.2.2"));
    // A line is listed at most once for each line of the two messages (a CR,
    // an LF or both end a line).
    FUZZ_CHECK(differences.size() <= sent.count('\n') + sent.count('\r') + copy.count('\n') + copy.count('\r') + 2);
    FUZZ_CHECK(probes::CompareMirror(sent, sent, QStringLiteral("192.0.2.2")).isEmpty());
    return 0;
}
