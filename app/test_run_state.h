// SPDX-License-Identifier: Apache-2.0
#pragma once
// The main window's state shared by the start-up survey, the test run, the
// probes and the verdict. Flags and codes are signed 16-bit; "" = not available.
#include <QString>
#include <cstdint>

namespace app {

enum NatModeCode : int16_t {
    kNatOpenInternet = 0,
    kNatSymmetricFirewall = 1,
    kNatSymmetric = 2,
    kNatFullCone = 3,
    kNatRestrictedCone = 4,
    kNatPortRestrictedCone = 5,
    kNatUndetermined = 6,
};

enum SipStateCode : int16_t {
    kSipNoAnswer = 0,
    kSipTranslated = 1,     // answer without ";received="
    kSipBehindNat = 2,      // ";received=" differs from MainAddress
    kSipRealAddress = 3,    // ";received=" equals MainAddress
};

// One echo of the test run's series.
struct EchoRecord {
    int16_t time = 0;     // ms, as logged
    uint32_t status = 0;  // 0 answered, else the IP status code
};

struct TestRunState {
    int16_t StunGotMapped = 0;
    int16_t StunChangeIpReply = 0;
    int16_t StunChangePortReply = 0;
    int16_t StunSameMapping = 0;
    int16_t DnsTestPassed = 0;
    QString StunMappedAddress;
    QString InterfaceAddress;
    int32_t MappedPort = 0;
    QString StunChangedAddress;
    int32_t StunChangedPort = 0;
    int16_t NatMode = 0;
    QString ExternalAddress;
    int16_t AvgDelay = 0;
    int16_t LostPackets = 0;
    int16_t Jitter = 0;
    int16_t SipState = 0;
    int16_t UpnpFound = 0;
    QString Gateway;
    QString MainAddress;
    QString MainMask;
    int16_t AddressClass = 0;
    int16_t Udp5060Passed = 0;
    int16_t Tcp5060Passed = 0;
};

// Where the test run is: read by the headless report when it must stop early.
enum class RunStep { Startup, Echoes, Answers, Finished };

}  // namespace app
