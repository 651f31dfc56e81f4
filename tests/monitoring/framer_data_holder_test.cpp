#include "monitoring/framer_data_holder.h"

#include <gtest/gtest.h>

namespace {

// "status|connected|signal loss|frame alignment loss|negative slips|positive slips".
std::string state(const FramerDataHolder& f)
{
    return f.status() + "|" + std::to_string(f.connected()) + std::to_string(f.signalLoss()) +
           std::to_string(f.frameAlignLoss()) + "|" + std::to_string(f.negativeSlips()) + "|" +
           std::to_string(f.positiveSlips());
}

TEST(FramerDataHolder, DriverTextsAndTrunkStatesChangeWhatTheySayAndNothingElse)
{
    FramerDataHolder framer(1, "/proc/driver/hdlc/peb22554/0");
    const struct { std::string text; bool changed; const char* state; } steps[] = {
        {"", false, "absent|011|0|0"},
        {"Current state           : No Carrier\n", true, "No Carrier|011|0|0"},
        {"Current state           : No Carrier", false, "No Carrier|011|0|0"},
        // Keys anywhere in a line; a last line without a newline counts.
        {"x: Current state           : Synchronized\nLoss of Signal          : no\nLoss of Frame Alignment : no", true,
         "Synchronized|100|0|0"},
        {"Loss of Signal          : yes\r\n", false, "Synchronized|100|0|0"},
        {"Loss of Signal          : yes\nLoss of Frame Alignment : YES\n", true, "Synchronized|110|0|0"},
        {"Receive Slip Negative   :  -12abc\nReceive Slip Positive   : +7", true, "Synchronized|110|-12|7"},
        {"Receive Slip Positive   : x\nReceive Slip Negative   : -12\n", true, "Synchronized|110|-12|0"},
        {std::string("Current state           : AIS\0Current state           : RAI", 59), true, "AIS|110|-12|0"},
        {"current state           : RAI\nCurrent state : RAI\nLoss of signal          : no\n", false, "AIS|110|-12|0"},
        {"Current state           : \n", true, "|110|-12|0"},
    };
    for (const auto& step : steps) {
        std::vector<unsigned char> text(step.text.begin(), step.text.end());
        EXPECT_EQ(framer.setFramerStatus(text), step.changed) << step.text;
        EXPECT_EQ(state(framer), step.state) << step.text;
    }
    // A trunk state (lossCarrier 2, normal 0, lossBF 1, disabled 6, unknown 5, ais 3, rai 4) sets only the
    // status text and the connected flag.
    const struct { int state; bool changed; const char* after; } states[] = {
        {2, true, "No Carrier|010|-12|0"}, {0, true, "Synchronized|110|-12|0"}, {1, true, "FAS Loss|110|-12|0"},
        {2, true, "No Carrier|010|-12|0"}, {6, true, "Unknown|110|-12|0"},      {5, false, "Unknown|110|-12|0"},
        {3, true, "AIS|110|-12|0"},        {4, true, "RAI|110|-12|0"},          {4, false, "RAI|110|-12|0"},
        {99, true, "Unknown|110|-12|0"},
    };
    for (const auto& step : states) {
        EXPECT_EQ(framer.setFramerStatus(ACP::TrunkState::NamedNumber(step.state)), step.changed) << step.state;
        EXPECT_EQ(state(framer), step.after) << step.state;
    }
}

}  // namespace
