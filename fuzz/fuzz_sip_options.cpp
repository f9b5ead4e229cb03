// SPDX-License-Identifier: Apache-2.0
// A datagram on the socket that sent SIP OPTIONS to one target of the domain,
// read as the answer to that request (its Call-ID, Via branch and CSeq).
#include "fuzz_support.h"
#include "probes/sip_dns.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray datagram = fuzz::Datagram(data, size);
    const QString tag = QStringLiteral("tvl0123abcd");
    const int status = probes::ReadSipOptionsAnswer(datagram, tag);
    if (status == 0)
        return 0;
    // A SIP status line with a three-digit code.
    FUZZ_CHECK(status >= 100 && status <= 699);
    FUZZ_CHECK(datagram.startsWith("SIP/2.0 ") && datagram.mid(8, 3) == QByteArray::number(status));
    // Our request's transaction: its Call-ID and branch are in the header block.
    const qsizetype end = datagram.indexOf("\r\n\r\n");
    const QByteArray head = end < 0 ? datagram : datagram.left(end);
    FUZZ_CHECK(head.contains("tvl0123abcd@"));
    FUZZ_CHECK(head.contains("z9hG4bKtvl0123abcd") && head.toLower().contains("branch"));
    FUZZ_CHECK(head.contains("OPTIONS"));
    // Any other tag does not take the answer.
    FUZZ_CHECK(probes::ReadSipOptionsAnswer(datagram, QStringLiteral("tvl0123abce")) == 0);
    return 0;
}
