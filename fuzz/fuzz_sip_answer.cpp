// SPDX-License-Identifier: Apache-2.0
// Datagrams arriving on the fixed SIP port read as a SIP answer: whether it is
// one, the ";received=" value, and the verdict drawn from it.
#include "fuzz_support.h"
#include "probes/sip_register.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray datagram = fuzz::Datagram(data, size);
    const probes::SipAnswer answer = probes::ReadSipAnswer(datagram);
    FUZZ_CHECK(answer.isSip == datagram.startsWith("SIP/2.0"));
    if (!answer.hasReceived) {
        FUZZ_CHECK(answer.received.isEmpty());
    } else {
        // The parameter's name is in the datagram; its value ends at ";", ",",
        // a blank or the line end (a CR alone ends no line).
        FUZZ_CHECK(datagram.toLower().contains("received"));
        for (const QChar c : answer.received)
            FUZZ_CHECK(c != QLatin1Char('\n') && c != QLatin1Char(';') && c != QLatin1Char(',') &&
                       c != QLatin1Char(' ') && c != QLatin1Char('\t'));
    }
    if (answer.isSip) {
        const QString mainAddress = QStringLiteral("192.168.1.2");
        const probes::SipVerdict verdict = probes::JudgeSipAnswer(answer, mainAddress);
        FUZZ_CHECK(!verdict.caption.isEmpty());
        FUZZ_CHECK(verdict.sipState >= 1 && verdict.sipState <= 3);
        FUZZ_CHECK((verdict.sipState == 1) == !answer.hasReceived);
        if (answer.hasReceived)
            FUZZ_CHECK((verdict.sipState == 3) == (answer.received == mainAddress));
    }
    return 0;
}
