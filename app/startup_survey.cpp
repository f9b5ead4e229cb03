// SPDX-License-Identifier: Apache-2.0
#include "app/startup_survey.h"
#include <QCoreApplication>

namespace app {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

QString InterfaceListing(const platform::InterfaceTable& table)
{
    QString text;
    for (int i = 0; i < table.size(); ++i)
        text += QString::number(i + 1) + QStringLiteral(" - ") + table[i].Address + kCrLf;
    return text;
}

int MainInterfacePosition(const platform::InterfaceTable& table)
{
    for (int i = 0; i < table.size(); ++i) {
        const QString& a = table[i].Address;
        if (a != QLatin1String("127.0.0.1") && a != QLatin1String("0.0.0.0"))
            return i;
    }
    return -1;
}

QString MainInterfaceLines(const platform::InterfaceEntry& entry)
{
    return kCrLf + QCoreApplication::translate("StartupSurvey", "IP по умолчанию - ") + entry.Address + kCrLf
           + QCoreApplication::translate("StartupSurvey", "Маска подсети - ") + entry.Mask + kCrLf;
}

int16_t AddressClassOf(const QString& address)
{
    if (address.left(3) == QLatin1String("10.") || address.left(8) == QLatin1String("192.168."))
        return 1;
    for (int second = 16; second <= 31; ++second) {
        if (address.left(7) == QStringLiteral("172.%1.").arg(second))
            return 1;
    }
    return 0;
}

QString AddressClassLines(int16_t addressClass)
{
    const QString classText = addressClass == 1 ? QCoreApplication::translate("StartupSurvey", "из диапазона RFC1918")
                                                : QCoreApplication::translate("StartupSurvey", "из общего диапазона");
    return kCrLf + QCoreApplication::translate("StartupSurvey", "Основной IP адрес") + kCrLf + classText + kCrLf;
}

QString GatewayFromFirstHop(const QString& firstHop)
{
    return firstHop.trimmed().isEmpty() ? QCoreApplication::translate("StartupSurvey", "неопределенный") : firstHop;
}

bool GatewayKnown(const QString& gateway)
{
    return !gateway.trimmed().isEmpty() && gateway != GatewayFromFirstHop(QString());
}

QString GatewayLine(const QString& gateway)
{
    return QCoreApplication::translate("StartupSurvey", "Основной шлюз ") + gateway + kCrLf;
}

bool DomainInsideProvider(const QString& resolvedAddress, const QString& networkPrefix)
{
    return resolvedAddress.left(7) == networkPrefix;
}

QString DnsTestLine(int16_t dnsTestPassed)
{
    return kCrLf + (dnsTestPassed == 1 ? QCoreApplication::translate("StartupSurvey", "DNS тест - прошел")
                                       : QCoreApplication::translate("StartupSurvey", "DNS тест - не прошел"));
}

QString VersionText()
{
    return QStringLiteral("%1.%2.%3")
        .arg(TARVOLIN_VERSION_MAJOR)
        .arg(TARVOLIN_VERSION_MINOR)
        .arg(TARVOLIN_VERSION_PATCH);
}

QString WindowCaption()
{
    return QStringLiteral("Tarvolin  v.") + VersionText();
}

}  // namespace app
