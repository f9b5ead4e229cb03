// SPDX-License-Identifier: Apache-2.0
#pragma once
// The verdict of a test run: port allocation, the two port 5060 lines, the
// connection recommendations, the grade of the line and the summary.
#include <QString>

#include "app/test_run_state.h"
#include "platform/interfaces.h"

namespace app {

struct ReportInput {
    TestRunState state;
    int probeLocalPort = 0;
    platform::InterfaceTable table;
    // Current captions of the main window's labels.
    QString ipAdrCaption, natTypeCaption, stunPortCaption, sipSupCaption, upnpCaption, ipsCaption;
};

struct ReportOutput {
    QString stunPortCaption;  // new caption of STUN_Port
    QString ipsCaption;       // caption of IPs with the port 5060 lines appended
    QString sipSupCaption;    // caption of SIPsup (changed for a real address)
    QString reportText;       // text of the report box, before the interface listing
};

ReportOutput ComposeReport(const ReportInput& input);

// The grade of the line ("" when no row of the band holds), ending with the
// blank line that separates it from the verdict.
QString GradeText(int16_t natMode, int16_t avgDelay, int16_t lostPackets, int16_t jitter);

}  // namespace app
