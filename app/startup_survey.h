// SPDX-License-Identifier: Apache-2.0
#pragma once
// Text pieces of the start-up survey shown in the "Сетевые интерфейсы" group.
#include "platform/interfaces.h"

#include <QString>
#include <cstdint>

namespace app {

// "1 - a.b.c.d\r\n2 - ..." for every entry.
QString InterfaceListing(const platform::InterfaceTable& table);

// Position (0-based) of the first entry that is neither "127.0.0.1" nor "0.0.0.0"; -1 if none.
int MainInterfacePosition(const platform::InterfaceTable& table);

// "\r\nIP по умолчанию - <address>\r\nМаска подсети - <mask>\r\n"
QString MainInterfaceLines(const platform::InterfaceEntry& entry);

// 1 for 10., 172.16.–172.31., 192.168. prefixes (RFC 1918), else 0.
int16_t AddressClassOf(const QString& address);

// "\r\nОсновной IP адрес\r\n<class text>\r\n"
QString AddressClassLines(int16_t addressClass);

// Gateway text from the first-hop answer: "неопределенный" when blank.
QString GatewayFromFirstHop(const QString& firstHop);
// False for the text GatewayFromFirstHop gives when no router answered.
bool GatewayKnown(const QString& gateway);
QString GatewayLine(const QString& gateway);

// First 7 characters of the resolved domain address equal the network prefix.
bool DomainInsideProvider(const QString& resolvedAddress, const QString& networkPrefix);
QString DnsTestLine(int16_t dnsTestPassed);

QString WindowCaption();
QString VersionText();  // "1.1.61"

}  // namespace app
