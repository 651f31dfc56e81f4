#include "server/trace_ctl.h"

#include "foundation/config/ini_file.h"

#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

namespace {

struct Switches {
    bool hdlc, lemzgw, events, isdn, monitoring;
    bool operator==(const Switches& other) const
    {
        return hdlc == other.hdlc && lemzgw == other.lemzgw && events == other.events && isdn == other.isdn &&
               monitoring == other.monitoring;
    }
};

std::ostream& operator<<(std::ostream& out, const Switches& s)
{
    return out << s.hdlc << s.lemzgw << s.events << s.isdn << s.monitoring;
}

class TraceSwitches : public ::testing::Test {
protected:
    // Configures a fresh set of switches from the "traces" section of the text; what the reader
    // complains about lands in `complaints`.
    Switches configure(const std::string& text)
    {
        std::istringstream in(text);
        in >> file;
        std::streambuf* saved = std::cerr.rdbuf(complaints.rdbuf());
        controls.Configure(file["traces"]);
        std::cerr.rdbuf(saved);
        return {controls.hdlc, controls.lemzgw, controls.events, controls.isdn, controls.monitoring};
    }

    IniFile::File file;
    TraceCtl controls;
    std::ostringstream complaints;
};

TEST_F(TraceSwitches, EveryKeySetsItsOwnSwitch)
{
    EXPECT_EQ(configure("[traces]\nsignalling.hdlc=yes\nsignalling.lemzgw=1\nsignalling.events=on\n"
                        "signalling.isdn=enabled\nmonitoring.internal=true\n"),
              (Switches{true, true, false, true, true}));
    // "on" is no boolean word of the configuration file.
    EXPECT_EQ(complaints.str(), "traces: optional key \"signalling.events\" has invalid value=\"on\", line 4. "
                                "Key will be ignored.\n");
}

TEST_F(TraceSwitches, TheLastTracesSectionAloneDecides)
{
    EXPECT_EQ(configure("[traces]\nsignalling.hdlc=true\nmonitoring.internal=true\n"
                        "[other]\nx=1\n"
                        "[traces]\nsignalling.isdn=true\n"),
              (Switches{false, false, false, true, false}));
    EXPECT_EQ(complaints.str(), "");
}

TEST_F(TraceSwitches, NoSectionLeavesWhatWasSetAndAnEmptyOneClearsAll)
{
    controls.hdlc = true;
    EXPECT_EQ(configure("[other]\nsignalling.hdlc=true\n"), (Switches{true, false, false, false, false}));
    EXPECT_EQ(configure("[traces]\n"), (Switches{false, false, false, false, false}));
}

TEST_F(TraceSwitches, ARepeatedKeyIsReportedAndTheOthersStillCount)
{
    EXPECT_EQ(configure("[traces]\nsignalling.hdlc=true\nsignalling.hdlc=false\nsignalling.events=yes\n"),
              (Switches{false, false, true, false, false}));
    EXPECT_NE(complaints.str().find("traces: optional key \"signalling.hdlc\" is duplicated!"), std::string::npos);
}

}  // namespace
