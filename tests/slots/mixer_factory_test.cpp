// The mixer factory and slots as the slot service meets them, on the emulated board: which creates
// they refuse, what a failed create leaves in the driver, which ioctls each slot type serves, and
// which units a resource report lists (the requests of a create that works, the system tests show).

#include "server/server_harness.h"
#include "support/frozen_clock.h"
#include "../hardware/emulated_device_test.h"

#include "server/slots.h"
#include "slots/circuit/mixer_factory.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

using boardtest::Strings;

const char mixer[] = "/dev/mixer";

class MixerFactoryTest : public boardtest::BoardTest {
protected:
    MixerFactoryTest()
    {
        Mixer::MixerFactory::instance();
        board.set(mixer, "unit 0 channels=32 inputs=4");
        board.set(mixer, "unit 1 channels=64 inputs=8");
    }
    // The factory forgets the units the test let it learn, as a report that finds none makes it.
    ~MixerFactoryTest() override
    {
        board.set_absent(mixer, true);
        LGCP::Resources report;
        Mixer::MixerFactory::instance()->Query(report);
    }
    // What the controller hears, "|" after each message, without the addressing.
    std::string send(int slot, const std::string& command)
    {
        static const std::regex noise("\\{ [^{]*pdu \\w+ : | \\}$");
        controller.deliver("{ seq 1, " + (slot < 0 ? "" : "slot " + std::to_string(slot) + ", ") + "pdu command : " +
                           command + " }");
        std::string text;
        for (const std::string& message : controller.received())
            text += std::regex_replace(message, noise, "") + "|";
        return text;
    }
    // The mixer requests since the last call: "CLEAR", "ADD<source>*<weight>", "TDM", ...; "!" failed.
    std::string mixer_requests()
    {
        static const std::regex shown("MIX_(?:RX_)?(\\w+).*?(?:tx.number=(\\S+) weight=(\\S+))? -> (-?)");
        std::string text;
        for (const std::string& request : testsupport::device_requests(board, mixer)) {
            std::smatch parts;
            std::regex_search(request, parts, shown);
            text += (text.empty() ? "" : " ") + parts.str(1) + parts.str(2) + (parts[3].matched ? "*" : "") +
                    parts.str(3) + (parts.str(4).empty() ? "" : "!");
        }
        board.clear_journal();
        return text;
    }

    servertest::ServerHarness controller{Slots::instance()};
};

TEST_F(MixerFactoryTest, CreatesNeedALearntUnitAndItsTdmChannelAndAFailedOutputLeavesItsSumEmpty)
{
    EXPECT_EQ(send(1, "create : mixerIn : { unit 0, channel tdm : 0 }"), "error : insufficientResources|");
    send(-1, "query : NULL");
    mixer_requests();
    // Slot, an injected failure of MIX_TDM, the command, what the controller hears and the requests.
    const std::tuple<int, bool, const char*, const char*, const char*> rows[] = {
        {1, false, "mixerIn : { unit 1, channel tdm : 32 }", "error : insufficientResources|", ""},
        {1, false, "mixerIn : { unit 7, channel tdm : 0 }", "error : insufficientResources|", ""},
        {1, false, "mixerIn : { unit 0, channel tdm : -1 }", "error : insufficientResources|", ""},
        {1, false, "mixerIn : { unit 0, channel rtp : 2 }", "error : insufficientResources|", ""},
        {1, false, "mixerOut : { unit 0, channel rtp : 3, inputs { } }", "error : insufficientResources|", ""},
        {1, false, "mixerOut : { unit 1, channel tdm : 40, inputs { } }", "error : insufficientResources|",
         "CLEAR ADD40*32767 CLEAR"},
        {1, true, "mixerOut : { unit 0, channel tdm : 3, inputs { } }", "error : insufficientResources|",
         "CLEAR ADD3*32767 TDM! CLEAR"},
        {1, false, "mixerOut : { unit 0, channel tdm : 3, inputs { { channel tdm : 5, gain 16000 }, "
                   "{ channel tdm : 50, gain 8000 } } }",
         "error : insufficientResources|", "CLEAR ADD5*16000 ADD50*8000! CLEAR"},
        {1, false, "mixerOut : { unit 0, channel tdm : 3, inputs { { channel rtp : 1, gain 1 } } }",
         "error : insufficientResources|", "CLEAR CLEAR"},
        {1, false, "mixerOut : { unit 0, channel tdm : 3, inputs { { channel tdm : 5, gain 16000 }, "
                   "{ channel tdm : 6, gain -8000 } } }",
         "success : NULL|", "CLEAR ADD5*16000 ADD6*-8000 TDM"},
        // An input whose summator cannot be added is made all the same.
        {2, false, "mixerIn : { unit 0, channel tdm : 6, summator tdm : 40 }", "success : NULL|", "TDM ADD6*32767!"},
        {3, false, "mixerIn : { unit 0, channel tdm : 7, summator rtp : 2 }", "success : NULL|", "TDM"},
        {3, false, "", "success : NULL|", ""},
        {2, false, "", "success : NULL|", "REMOVE6*0!"},
        {1, false, "", "success : NULL|", "CLEAR"},
    };
    for (auto [slot, fail, create, heard, made] : rows) {
        if (fail)
            board.fail(mixer, 0x800C4D06, EIO);
        EXPECT_EQ(send(slot, *create ? std::string("create : ") + create : "destroy : NULL"), heard) << create;
        EXPECT_EQ(mixer_requests(), made) << create;
    }
    for (const char* line : {"mixer [0]: MIX_TDM dev_no=0 type=0 number=3 fail : Input/output error",
                             "mixer [0]: MIX_RX_ADD fail : Invalid argument", "mixer [0]: wrong summator coding !",
                             "mixer [0]: SetTX error: translation fail [2]"})
        EXPECT_TRUE(logged(errors, line)) << line;
    EXPECT_TRUE(logged(debug, "mixer [0]: ClearTX error: translation fail"));
}

TEST_F(MixerFactoryTest, EachSlotTypeServesItsOwnIoctlsAndBothTheShared)
{
    send(-1, "query : NULL");
    send(1, "create : mixerIn : { unit 0, channel tdm : 4 }");
    send(2, "create : mixerOut : { unit 0, channel tdm : 3, inputs { } }");
    const std::string yes = "success : NULL|", no = "error : unsupported|";
    // The ioctl, then the answers of the input and of the output.
    const std::tuple<const char*, std::string, std::string> rows[] = {
        {"echoSuppressor : TRUE", yes, no},
        {"dtmf-enable : TRUE", yes, no},
        {"dtmf-reject-enable : TRUE", yes, no},
        {"iva-params : { det_lvl_dB -30 }", yes, no},
        {"rx-gain : { gainDB 300 }", yes, no},
        {"dtmf-reject-disable : NULL", no, yes},
        {"tone-gen-enable : { freq 70000, amp 100 }", no, yes},
        {"tone-gen-disable : NULL", no, yes},
        // Without a dialling to stop there is nothing to disable.
        {"dtmf-disable : NULL", no, no},
        {"delays : { rx 10, selcal 5 }", yes, yes},
        {"tone-filter : { freq 1000, enable TRUE, duration-th-msec 50, det-level-dB -20 }", yes, yes},
        {"iva-enable : TRUE", yes, yes},
        // An empty list is dialled at once; only the output reports it.
        {"translateDTMF : { digits { } }", yes, "tonec : { timestamp 0, event dtmfDone : NULL }|" + yes},
        {"pd-enable : { timeout 10 }", no, no},
    };
    for (auto [ioctl, input, output] : rows) {
        EXPECT_EQ(send(1, std::string("ioctl : ") + ioctl), input) << ioctl;
        EXPECT_EQ(send(2, std::string("ioctl : ") + ioctl), output) << ioctl;
    }
    // Only the low 8 bits of the gain and 16 bits of the tone reach the drivers.
    EXPECT_EQ(requests("/dev/dsp", "DSPROC_CONFIGURE").at(0), "DSPROC_CONFIGURE timeslot=1028 RX-GAIN gain_dB=44 -> 0");
    EXPECT_EQ(requests("/dev/dtmf", "DTMF_DIAL").at(0),
              "DTMF_DIAL timeslot=1027 freq1=4464 freq2=0 level1=100 level2=0 -> 0");
    // A slot that goes while dialling silences its tone generator and stops it.
    send(2, "ioctl : translateDTMF : { digits { { freq1 697, freq2 1209 } } }");
    send(2, "destroy : NULL");
    Strings dialled = requests("/dev/dtmf", "DTMF_DIAL");
    EXPECT_EQ(Strings(dialled.end() - 2, dialled.end()),
              (Strings{"DTMF_DIAL timeslot=1027 freq1=1000 freq2=1000 level1=0 level2=0 -> 0",
                       "DTMF_DIAL timeslot=1027 freq1=0 freq2=0 level1=0 level2=0 -> 0"}));
    EXPECT_TRUE(logged(errors, "mixer [0]: error: selcal delay isn't supported for mixer!!! Set to zero."));
}

TEST_F(MixerFactoryTest, OnlyTheInputReportsVoiceAndSignalDetectionAndDspSettingsTheDriverRefusesFail)
{
    send(-1, "query : NULL");
    send(1, "create : mixerIn : { unit 0, channel tdm : 4 }");
    send(2, "create : mixerOut : { unit 0, channel tdm : 3, inputs { } }");
    for (int slot : {1, 2})
        for (const char* ioctl : {"ioctl : vad-enable : TRUE", "ioctl : sd-enable : TRUE"})
            EXPECT_EQ(send(slot, ioctl), "success : NULL|") << slot << " " << ioctl;
    // Each time slot's tone-filter event comes last: the others were read by then.
    for (const char* timeslot : {"1028", "1027"})
        for (const char* event : {" vad 3 1 1", " sd 5", " tone 1000 0x01000000"})
            board.set("/dev/dsp", std::string("event ") + timeslot + event);
    std::string heard;
    EXPECT_TRUE(testsupport::run_reactor_until([&] {
        for (const std::string& message : controller.received())
            heard += message + "|";
        return std::count(heard.begin(), heard.end(), '|') >= 4;
    })) << heard;
    testsupport::run_reactor_for(50);
    for (const std::string& message : controller.received())
        heard += message + "|";
    const std::string tone = "tonec : { timestamp 0, event tone-presence : { freq 1000, presence TRUE } } }|";
    EXPECT_EQ(heard, "{ slot 1, pdu signal : vad : { vad-rx TRUE, vad-tx TRUE } }|"
                     "{ slot 1, pdu signal : sd : { sd-rx TRUE } }|{ slot 1, pdu signal : " + tone +
                     "{ slot 2, pdu signal : " + tone);

    // A setting the DSP driver refuses is no success.
    const char* filter = "tone-filter : { freq 1000, enable TRUE, duration-th-msec 50, det-level-dB -20 }";
    const std::pair<int, const char*> refused[] = {
        {1, "rx-gain : { gainDB 3 }"}, {1, "delays : { rx 10 }"}, {2, "delays : { rx 10 }"}, {1, filter}, {2, filter}};
    for (auto [slot, ioctl] : refused) {
        board.fail("/dev/dsp", 0x40146401, EIO);
        EXPECT_EQ(send(slot, std::string("ioctl : ") + ioctl), "error : unsupported|") << slot << " " << ioctl;
    }
}

TEST_F(MixerFactoryTest, AChannelServesOneLiveSlotAndAVanishedUnitsSlotsLeaveTheReturnedUnitAlone)
{
    // Dialling steps fire only when the test moves the clock.
    testsupport::FrozenClock clock;
    send(-1, "query : NULL");
    mixer_requests();
    // The requests of the tone and DSP front ends since the journal was cleared.
    auto front_end_requests = [this] {
        Strings requests;
        for (const char* device : {"/dev/dsp", "/dev/dtmf"})
            for (const std::string& request : testsupport::device_requests(board, device))
                requests.push_back(request);
        return requests;
    };
    // Slot, the command, what the controller hears, the mixer and the switch requests; the
    // requests of the front ends are gathered.
    using Row = std::tuple<int, const char*, const char*, const char*, Strings>;
    Strings front_ends;
    auto check = [&](std::initializer_list<Row> rows) {
        for (auto [slot, command, heard, made, switched] : rows) {
            EXPECT_EQ(send(slot, command), heard) << slot << " " << command;
            EXPECT_EQ(testsupport::switch_requests(board), switched) << slot << " " << command;
            for (const std::string& request : front_end_requests())
                front_ends.push_back(std::to_string(slot) + " " + command + ": " + request);
            EXPECT_EQ(mixer_requests(), made) << slot << " " << command;
        }
    };
    const char* refused = "error : insufficientResources|";
    const char* success = "success : NULL|";
    check({
        {1, "create : mixerOut : { unit 0, channel tdm : 3, inputs { } }", success, "CLEAR ADD3*32767 TDM", {}},
        // The sum of the live output stays as it is.
        {2, "create : mixerOut : { unit 0, channel tdm : 3, inputs { { channel tdm : 5, gain 1 } } }", refused, "", {}},
        {2, "create : mixerIn : { unit 0, channel tdm : 3 }", refused, "", {}},
        {2, "create : mixerIn : { unit 0, channel tdm : 4, summator tdm : 3 }", success, "TDM ADD4*32767", {}},
        {3, "create : mixerIn : { unit 0, channel tdm : 4 }", refused, "", {}},
        {3, "create : mixerOut : { unit 0, channel tdm : 4, inputs { } }", refused, "", {}},
        {3, "create : mixerIn : { unit 1, channel tdm : 4 }", success, "TDM", {}},
        {6, "create : mixerOut : { unit 0, channel tdm : 5, inputs { } }", success, "CLEAR ADD5*32767 TDM", {}},
    });
    EXPECT_TRUE(logged(errors, "mixer [0]: channel 3 is held by a live slot"));
    EXPECT_TRUE(logged(errors, "mixer [0]: channel 4 is held by a live slot"));

    // The first old output feeds the old input and an input of unit 1, the second none; front-end
    // features are switched on, the first output plays a tone and the input dials.
    check({
        {1, "connect : 2", "transmitter : active : 1027|receiver : active : 1028|success : NULL|", "",
         {"connect output=1028 source=1027 -> 0"}},
        {1, "connect : 3", "receiver : active : 1156|success : NULL|", "", {"connect output=1156 source=1027 -> 0"}},
    });
    const char* dial = "translateDTMF : { digits { { freq1 697, freq2 1209 } } }";
    for (auto [slot, ioctl] : {std::pair{2, "vad-enable : TRUE"}, {2, "dtmf-enable : TRUE"}, {1, "iva-enable : TRUE"},
                               {1, "delays : { rx 10 }"}, {1, "tone-gen-enable : { freq 425, amp 100 }"}, {2, dial}})
        EXPECT_EQ(send(slot, std::string("ioctl : ") + ioctl), "success : NULL|") << ioctl;

    // Unit 0 vanishes: its slots stop what they run on their channels while these are theirs, and
    // drop their routes: the live input that the old output fed is taken off its channel.
    board.clear_journal();
    board.set(mixer, "unit 0 none");
    std::string report = send(-1, "query : NULL");
    EXPECT_EQ(report.rfind("success : NULL|transmitter : inactive : NULL|abort : 0|receiver : inactive : NULL|"
                           "abort : 0|abort : 0|query : ", 0),
              0u)
        << report;
    EXPECT_EQ(testsupport::switch_requests(board),
              (Strings{"write output=1028 value=213 -> 0", "write output=1156 value=213 -> 0"}));
    EXPECT_EQ(front_end_requests(),
              (Strings{"DSPROC_CONFIGURE timeslot=1027 DELAYS rx=0 tx=0 selcal=0 -> 0",
                       "DSPROC_DISABLE timeslot=1027 id=0 mask=256 -> 0",
                       "DSPROC_DISABLE timeslot=1028 id=0 mask=1 -> 0",
                       "DSPROC_DISABLE timeslot=1028 id=0 mask=256 -> 0",
                       "DSPROC_DISABLE timeslot=1029 id=0 mask=256 -> 0",
                       "DTMF_DIAL timeslot=1027 freq1=0 freq2=0 level1=0 level2=0 -> 0",
                       "IVA_DETECTOR_DISABLE timeslot=1027 -> 0",
                       "DTMF_DIAL timeslot=1028 freq1=1000 freq2=1000 level1=0 level2=0 -> 0",
                       "DTMF_DIAL timeslot=1028 freq1=0 freq2=0 level1=0 level2=0 -> 0",
                       "DTMF_DISABLE_DETECTOR timeslot=1028 -> 0",
                       "DTMF_DIAL timeslot=1029 freq1=0 freq2=0 level1=0 level2=0 -> 0"}));

    // It comes back, reset, with new slots on the channels of the old ones.
    board.set(mixer, "unit 0 channels=32 inputs=4");
    send(-1, "query : NULL");
    mixer_requests();
    check({
        {4, "create : mixerOut : { unit 0, channel tdm : 3, inputs { } }", success, "CLEAR ADD3*32767 TDM", {}},
        {5, "create : mixerIn : { unit 0, channel tdm : 4, summator tdm : 3 }", success, "TDM ADD4*32767", {}},
        {4, "connect : 5", "transmitter : active : 1027|receiver : active : 1028|success : NULL|", "",
         {"connect output=1028 source=1027 -> 0"}},
        {7, "create : mixerIn : { unit 1, channel tdm : 5 }", success, "TDM", {}},
    });
    // The old slots leave the driver, the switch channels and the front ends of the new ones alone,
    // their dialling long over; they serve no ioctl, the old input takes no new source, the old
    // outputs feed no new listener, and the events of the channels are the new slots'.
    front_ends.clear();
    clock.advance(1000);
    board.set("/dev/dsp", "event 1028 256 425");
    Strings heard;
    ASSERT_TRUE(testsupport::run_reactor_until([&] { return !heard.empty(); }, 10000,
                                               [&] { heard = controller.received(); }));
    EXPECT_EQ(heard, Strings{"{ slot 5, pdu signal : tonec : { timestamp 0, event tone-presence : "
                             "{ freq 425, presence FALSE } } }"});
    check({
        {1, "ioctl : tone-gen-enable : { freq 425, amp 100 }", "error : unsupported|", "", {}},
        {2, "ioctl : translateDTMF : { digits { { freq1 697, freq2 1209 } } }", "error : unsupported|", "", {}},
        {2, "disconnect : NULL", success, "", {}},
        {4, "connect : 2", "error : connectFail|", "", {}},
        {6, "connect : 7", "error : connectFail|", "", {}},
        {1, "connect : 7", "error : connectFail|", "", {}},
        {6, "destroy : NULL", success, "", {}},
        {2, "destroy : NULL", success, "", {}},
        {1, "destroy : NULL", success, "", {}},
    });
    EXPECT_EQ(front_ends, Strings{});
    check({
        {5, "destroy : NULL", success, "REMOVE4*0", {"write output=1028 value=213 -> 0", "disable output=1028 -> 0"}},
        {4, "destroy : NULL", success, "CLEAR", {}},
    });
}

TEST_F(MixerFactoryTest, AReportListsAtMostAHundredUnitsWithTheSmallestCountsAndLearnsAReplacement)
{
    for (int unit = 0; unit <= 100; ++unit)
        board.set(mixer, "unit " + std::to_string(unit) + " channels=" + std::to_string(20 + unit % 5) + " inputs=" +
                             std::to_string(30 - unit % 3));
    // How many units a report lists, the first and the last, and the counts it gives them.
    auto listed = [this] {
        std::string report = send(-1, "query : NULL"), text;
        static const std::regex entry("\\{ unit (\\d+), tdm_inputs (\\d+), tdm_outputs \\d+, mixer_inputs (\\d+)");
        std::vector<std::smatch> units;
        for (std::sregex_iterator match(report.begin(), report.end(), entry), end; match != end; ++match)
            units.push_back(*match);
        return units.empty() ? report
                             : std::to_string(units.size()) + " units " + units.front().str(1) + ".." +
                                   units.back().str(1) + " channels " + units.front().str(2) + " inputs " +
                                   units.back().str(3);
    };
    EXPECT_EQ(listed(), "100 units 0..99 channels 20 inputs 28");
    board.set(mixer, "unit 0 none");
    EXPECT_EQ(listed(), "100 units 1..100 channels 20 inputs 28");
}

}  // namespace
