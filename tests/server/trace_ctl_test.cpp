#include "server/trace_ctl.h"

#include "foundation/config/ini_file.h"
#include "../foundation/reactor/reactor_test_support.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace {

class TraceSwitches : public ::testing::Test {
protected:
    // Configures the switches from the "traces" section of the text; they read back as five
    // digits: hdlc, lemzgw, events, isdn, monitoring.
    std::string configure(const std::string& text)
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

    reactortest::CaptureStream complaints{std::cerr};
    TraceCtl controls;
};

TEST_F(TraceSwitches, EveryKeySetsItsOwnSwitch)
{
    EXPECT_EQ(configure("[traces]\nsignalling.hdlc=yes\nsignalling.lemzgw=1\nsignalling.events=on\n"
                        "signalling.isdn=enabled\nmonitoring.internal=true\n"),
              "11011");
    // "on" is no boolean word of the configuration file.
    EXPECT_EQ(complaints.text(), "traces: optional key \"signalling.events\" has invalid value=\"on\", line 4. "
                                 "Key will be ignored.\n");
}

TEST_F(TraceSwitches, TheLastTracesSectionAloneDecidesAndWithoutOneNothingChanges)
{
    EXPECT_EQ(configure("[traces]\nsignalling.hdlc=true\nmonitoring.internal=true\n[other]\nx=1\n"
                        "[traces]\nsignalling.isdn=true\n"),
              "00010");
    EXPECT_EQ(complaints.text(), "");
    controls.hdlc = true;
    EXPECT_EQ(configure("[other]\nsignalling.hdlc=true\n"), "10010");
    EXPECT_EQ(configure("[traces]\n"), "00000");
}

}  // namespace
