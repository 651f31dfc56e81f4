#include "server/trace_ctl.h"

#include "foundation/config/ini_file.h"
#include "../foundation/reactor/reactor_test_support.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// The switches set by the "traces" sections of the text, as five digits: hdlc, lemzgw, events,
// isdn, monitoring.
std::string configure(TraceCtl& controls, const std::string& text)
{
    std::istringstream in(text);
    IniFile::File file;
    in >> file;
    controls.Configure(file["traces"]);
    std::string bits;
    for (bool on : {controls.hdlc, controls.lemzgw, controls.events, controls.isdn, controls.monitoring})
        bits += on ? '1' : '0';
    return bits;
}

TEST(TraceSwitches, EveryKeySetsItsOwnSwitchAndTheLastTracesSectionAloneDecides)
{
    reactortest::CaptureStream complaints(std::cerr);
    TraceCtl controls;
    EXPECT_EQ(configure(controls, "[traces]\nsignalling.hdlc=yes\nsignalling.lemzgw=1\nsignalling.isdn=true\n"),
              "11010");
    EXPECT_EQ(configure(controls, "[traces]\nsignalling.events=true\nmonitoring.internal=true\n"), "00101");
    EXPECT_EQ(configure(controls, "[traces]\nsignalling.hdlc=true\n[other]\nx=1\n[traces]\nsignalling.isdn=true\n"),
              "00010");
    // Without a traces section nothing changes.
    EXPECT_EQ(configure(controls, "[other]\nsignalling.hdlc=true\n"), "00010");
    EXPECT_EQ(complaints.text(), "");
}

}  // namespace
