// SPDX-License-Identifier: Apache-2.0
#include "probes/nat_classifier.h"

#include "app/test_run_state.h"
#include <QCoreApplication>

namespace probes {

namespace {

// The caption's first line is translated; its second, the English name, is not.
NatVerdict Verdict(const char* russian, const char* english, int16_t mode)
{
    return NatVerdict{QCoreApplication::translate("NatClassifier", russian) + QStringLiteral("\r\n") + QString::fromUtf8(english),
                      mode};
}

}  // namespace

QString UdpBlockedCaption()
{
    return QCoreApplication::translate("NatClassifier", "Протокол UDP заблокирован") + QStringLiteral("\r\nUDP Blocked");
}

std::optional<NatVerdict> ClassifyNat(const StunFlags& flags, const QString& mappedAddress,
                                      int32_t mappedPort, const QString& entry1Address,
                                      int probeLocalPort)
{
    const bool behindNat = mappedAddress != entry1Address || mappedPort != probeLocalPort;
    if (!behindNat) {
        if (flags.changeIpReply == 1)
            return Verdict(QT_TRANSLATE_NOOP("NatClassifier", "Открытый Интернет"), "Open Internet", app::kNatOpenInternet);
        return Verdict(QT_TRANSLATE_NOOP("NatClassifier", "Симметричный UDP фаервол"), "Symmetric UDP Firewall",
                       app::kNatSymmetricFirewall);
    }

    std::optional<NatVerdict> verdict;
    if (flags.gotMapped == 1)
        verdict = Verdict(QT_TRANSLATE_NOOP("NatClassifier", "Симметричный"), "Symmetric NAT", app::kNatSymmetric);
    if (flags.changeIpReply == 1)
        verdict = Verdict(QT_TRANSLATE_NOOP("NatClassifier", "Полный конус"), "Full Cone", app::kNatFullCone);
    if (flags.changeIpReply == 0 && flags.changePortReply == 1)
        verdict = Verdict(QT_TRANSLATE_NOOP("NatClassifier", "Ограниченный конус"), "Restricted Cone", app::kNatRestrictedCone);
    if (flags.sameMapping == 1 && flags.changePortReply == 0)
        verdict = Verdict(QT_TRANSLATE_NOOP("NatClassifier", "Ограниченный конус по порту"), "Port Restricted Cone",
                          app::kNatPortRestrictedCone);
    return verdict;
}

}  // namespace probes
