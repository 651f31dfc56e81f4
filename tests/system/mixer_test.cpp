// Mixer slots driven by the test controller: what the summing-mixer driver is asked when the units
// are learnt and slots are made, joined and destroyed, and what the controller hears of the units.

#include "gateway.h"

#include "support/journal_requests.h"

#include <gtest/gtest.h>

namespace {

using namespace systemtest;
using Strings = std::vector<std::string>;

const milliseconds answer_time(10000);
const char mixer[] = "/dev/mixer";

std::string answer(int seq, int slot, const std::string& response)
{
    return "{ seq " + std::to_string(seq) + ", slot " + std::to_string(slot) + ", pdu response : " + response + " }";
}

// The report's entry of a unit with the limits of the smallest unit.
std::string unit(int number, int channels, int inputs)
{
    return "{ unit " + std::to_string(number) + ", tdm_inputs " + std::to_string(channels) + ", tdm_outputs " +
           std::to_string(channels) + ", mixer_inputs " + std::to_string(inputs) +
           ", dpu_per_mixer 770, dpu_per_ec 17, dpu_per_lms 24 }";
}

class MixerSlots : public ::testing::Test {
protected:
    MixerSlots()
    {
        gateway.board.set(mixer, "unit 0 channels=32 inputs=16");
        gateway.board.set(mixer, "unit 1 channels=64 inputs=8");
    }
    // The next message the controller prints.
    std::string next() { return controller->next(answer_time).value_or("nothing"); }
    // The mixer's requests since the last call.
    Strings requests()
    {
        Strings taken = testsupport::device_requests(gateway.board, mixer);
        gateway.board.clear_journal();
        return taken;
    }
    // The units a resource report lists.
    static std::string units(const std::string& report)
    {
        size_t begin = report.find("mixer {");
        return begin == std::string::npos ? report : report.substr(begin, report.find(", mux ") - begin);
    }
    // The units a query lists, after its answer.
    std::string query(int seq)
    {
        controller->send("{ seq " + std::to_string(seq) + ", pdu command : query : NULL }");
        EXPECT_EQ(next(), "{ seq " + std::to_string(seq) + ", pdu response : success : NULL }");
        return units(next());
    }

    Gateway gateway{Gateway::quiet()};
    std::unique_ptr<ControllerProcess> controller = gateway.controller();
};

TEST_F(MixerSlots, UnitsAreLearntAndResetAtAQueryAndSlotsSetTheSumsInTheirOrder)
{
    EXPECT_EQ(query(1), "mixer { " + unit(0, 32, 8) + ", " + unit(1, 32, 8) + " }");
    // Every unit is reset up to the smallest unit's channel count.
    Strings learnt = requests();
    EXPECT_EQ(learnt.front(), "enumerate unit=-1 channels=0 word2=0 inputs=0 -> 0 unit=0 channels=32 inputs=16");
    EXPECT_EQ(learnt.back(), "enumerate unit=1 channels=64 word2=0 inputs=8 -> -1 ENODEV");
    EXPECT_EQ(learnt.size(), 3u + 2 * 32);
    EXPECT_EQ(learnt[32], "MIX_RX_CLEAR dev_no=0 type=0 number=31 -> 0");
    EXPECT_EQ(learnt[65], "MIX_RX_CLEAR dev_no=1 type=0 number=31 -> 0");

    controller->send("{ seq 2, slot 1, pdu command : create : mixerOut : { unit 0, channel tdm : 3, inputs { } } }");
    EXPECT_EQ(next(), answer(2, 1, "success : NULL"));
    EXPECT_EQ(requests(), (Strings{"MIX_RX_CLEAR dev_no=0 type=0 number=3 -> 0",
                                   "MIX_RX_ADD rx.dev_no=0 rx.type=0 rx.number=3 tx.dev_no=0 tx.type=0 tx.number=3 "
                                   "weight=32767 -> 0",
                                   "MIX_TDM dev_no=0 type=0 number=3 -> 1027"}));
    controller->send(
        "{ seq 3, slot 2, pdu command : create : mixerIn : { unit 0, channel tdm : 4, summator tdm : 3 } }");
    EXPECT_EQ(next(), answer(3, 2, "success : NULL"));
    EXPECT_EQ(requests(), (Strings{"MIX_TDM dev_no=0 type=0 number=4 -> 1028",
                                   "MIX_RX_ADD rx.dev_no=0 rx.type=0 rx.number=3 tx.dev_no=0 tx.type=0 tx.number=4 "
                                   "weight=32767 -> 0"}));

    // The output is a source and the input a destination on the switch.
    controller->send("{ seq 4, slot 1, pdu command : connect : 2 }");
    EXPECT_EQ(controller->wait_for("seq 4", answer_time), answer(4, 1, "success : NULL"));
    EXPECT_EQ(testsupport::switch_requests(gateway.board), Strings{"connect output=1028 source=1027 -> 0"});

    controller->send("{ seq 5, slot 2, pdu command : destroy : NULL }");
    EXPECT_EQ(controller->wait_for("seq 5", answer_time), answer(5, 2, "success : NULL"));
    EXPECT_EQ(requests(), Strings{"MIX_RX_REMOVE rx.dev_no=0 rx.type=0 rx.number=3 tx.dev_no=0 tx.type=0 tx.number=4 "
                                  "weight=0 -> 0"});
}

TEST_F(MixerSlots, AUnitNoLongerEnumeratedAbortsEachOfItsSlotsAndLeavesTheReport)
{
    query(1);
    controller->send("{ seq 2, slot 1, pdu command : create : mixerOut : { unit 0, channel tdm : 1, inputs { } } }");
    controller->send("{ seq 3, slot 2, pdu command : create : mixerIn : { unit 0, channel tdm : 2 } }");
    controller->send("{ seq 4, slot 3, pdu command : create : mixerIn : { unit 1, channel tdm : 2 } }");
    ASSERT_TRUE(controller->wait_for("seq 4", answer_time));
    gateway.board.set(mixer, "unit 0 none");
    controller->send("{ seq 5, pdu command : query : NULL }");
    EXPECT_EQ((Strings{next(), next(), next(), units(next())}),
              (Strings{"{ seq 5, pdu response : success : NULL }", "{ slot 1, pdu signal : abort : 0 }",
                       "{ slot 2, pdu signal : abort : 0 }", "mixer { " + unit(1, 64, 8) + " }"}));
    // The aborted slots still go at the controller's word.
    controller->send("{ seq 7, slot 1, pdu command : destroy : NULL }");
    controller->send("{ seq 8, slot 2, pdu command : destroy : NULL }");
    EXPECT_EQ((Strings{next(), next()}), (Strings{answer(7, 1, "success : NULL"), answer(8, 2, "success : NULL")}));
}

}  // namespace
