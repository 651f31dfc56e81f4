// The signalling slots driven by the test controller, seen on the emulated board: the channels they
// allocate and the switch patches they make per kind, the frames a network side keeps while its
// channel is full, the raw HDLC slot's framing and batching, the channel-controller data slot, the
// QSIG slots on the DSP data driver, and slots whose channel ends.

#include "gateway.h"

#include "support/journal_requests.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <tuple>

namespace {

using namespace systemtest;
using Strings = std::vector<std::string>;

const milliseconds answer_time(10000);

class SignallingSlots : public ::testing::Test {
protected:
    // Sends the commands and takes their answers (and whatever else comes meanwhile).
    Strings exchange(const Strings& commands)
    {
        for (const std::string& command : commands)
            controller->send(command);
        Strings taken;
        for (size_t answered = 0; answered < commands.size();) {
            std::optional<std::string> message = controller->next(answer_time);
            if (!message)
                break;
            taken.push_back(*message);
            answered += message->find("pdu response") != std::string::npos;
        }
        return taken;
    }
    // The messages but those holding the text: the periodic reports that may come meanwhile.
    static Strings without(const Strings& messages, const std::string& text)
    {
        Strings kept;
        for (const std::string& message : messages)
            if (message.find(text) == std::string::npos)
                kept.push_back(message);
        return kept;
    }
    // The requests on the channel controller and the switch since the last call, frames left out.
    Strings requests()
    {
        Strings lines = testsupport::device_requests(gateway.board, "/dev/mcc/ctl", "MCC");
        for (const std::string& line : testsupport::switch_requests(gateway.board))
            lines.push_back(line);
        gateway.board.clear_journal();
        return lines;
    }
    // The open of the allocated channel on the switch channel.
    std::string channel_file(int timeslot)
    {
        for (const std::string& line : gateway.board.state("/dev/mcc/ctl"))
            if (line.find(" timeslot=" + std::to_string(timeslot) + " ") != std::string::npos)
                return line.substr(5, line.find(' ') - 5);
        return "none";
    }
    // What the daemon wrote on the channel controller: the bytes of each frame.
    Strings frames()
    {
        Strings written;
        for (const testsupport::JournalEntry& entry : testsupport::device_entries(gateway.board, "/dev/mcc/ctl", "frame"))
            written.push_back(entry.fields.substr(entry.fields.find("bytes=") + 6));
        return written;
    }

    Gateway gateway{Gateway::quiet()};
    std::unique_ptr<ControllerProcess> controller = gateway.controller();
};

TEST_F(SignallingSlots, EachKindAllocatesItsChannelAndPatchesItToTheLine)
{
    gateway.board.clear_journal();
    // An ISDN basic-rate D channel, joined both ways to BRI trunk 0 time slot 2 (switch channel 2).
    exchange({"{ seq 1, slot 1, pdu command : create : isdn : { type bri, trunk 1, log 0, side user : NULL } }",
              "{ seq 2, slot 2, pdu command : create : trunk_bri : { trunk 0, timeslot 2 } }",
              "{ seq 3, slot 2, pdu command : connect : 1 }", "{ seq 4, slot 1, pdu command : connect : 2 }"});
    EXPECT_EQ(requests(), (Strings{"MCC_ALLOCATE type=1 word1=512 word2=0 word3=1 word4=1 -> 0", "MCC_TIMESLOT -> 256",
                                   "connect output=256 source=2 -> 0", "connect output=2 source=256 -> 0"}));
    // An SS7 link on E1 trunk 0 time slot 16: the PSTN slot patches its HDLC channel itself.
    exchange({"{ seq 5, slot 3, pdu command : create : pstn : ss7 : { trunk 1, slc 0, dpc 2, opc 1, emergency FALSE } }",
              "{ seq 6, slot 4, pdu command : create : trunk : { trunk 0, timeslot 16 } }",
              "{ seq 7, slot 4, pdu command : connect : 3 }"});
    EXPECT_EQ(frames(), Strings{"FFFF0100"});  // SIO: the link starts aligning
    EXPECT_EQ(requests(), (Strings{"MCC_ALLOCATE type=3 word1=512 word2=0 word3=1 word4=4 -> 0", "MCC_TIMESLOT -> 257",
                                   "connect output=16 source=257 -> 0", "connect output=257 source=16 -> 0"}));
    // The network side of BRI trunk 1 time slot 1 (switch channel 5): only once both ways are known.
    exchange({"{ seq 8, slot 5, pdu command : create : pstn : isdn : { type bri, trunk 2, log 0, side network : NULL } }",
              "{ seq 9, slot 6, pdu command : create : trunk_bri : { trunk 1, timeslot 1 } }",
              "{ seq 10, slot 6, pdu command : connect : 5 }"});
    EXPECT_EQ(requests(), Strings{});
    exchange({"{ seq 11, slot 5, pdu command : connect : 6 }"});
    EXPECT_EQ(frames(), Strings{"FEFF030F000004FF"});  // the first TEI check
    EXPECT_EQ(requests(), (Strings{"MCC_ALLOCATE type=1 word1=512 word2=0 word3=1 word4=4 -> 0", "MCC_TIMESLOT -> 258",
                                   "connect output=5 source=258 -> 0", "connect output=258 source=5 -> 0"}));
    // A bare channel: BRI in SS7 mode is an SS7 channel.
    exchange({"{ seq 12, slot 7, pdu command : create : mcc : { type bri, mode ss7 } }"});
    EXPECT_EQ(requests(), (Strings{"MCC_ALLOCATE type=3 word1=512 word2=0 word3=1 word4=1 -> 0", "MCC_TIMESLOT -> 259"}));
}

TEST_F(SignallingSlots, PstnSlotsAnswerTheSs7RequestsOnlyWithAnSs7LinkAndACasSlotCarriesNothing)
{
    EXPECT_EQ(exchange({"{ seq 1, slot 1, pdu command : create : pstn : ss7 : { trunk 1, slc 0, dpc 2, opc 1, emergency FALSE } }",
                        "{ seq 2, slot 1, pdu command : ioctl : ss7RqBSN : NULL }",
                        "{ seq 3, slot 1, pdu command : ioctl : ss7Log : { state FALSE, raw-receive FALSE, raw-transmit FALSE, "
                        "mtp-transmit FALSE, mtp-receive FALSE, mtp-activate FALSE, timers FALSE, msu-processing TRUE } }",
                        "{ seq 4, slot 1, pdu command : ioctl : hdlcPackages : { } }",
                        "{ seq 5, slot 2, pdu command : create : pstn : isdn : { type pri, trunk 1, log 0, side user : NULL } }",
                        "{ seq 6, slot 2, pdu command : ioctl : ss7RqBSN : NULL }"}),
              (Strings{"{ seq 1, slot 1, pdu response : success : NULL }", "{ slot 1, pdu signal : ioctl : ss7BSN : 0 }",
                       "{ seq 2, slot 1, pdu response : success : NULL }", "{ seq 3, slot 1, pdu response : success : NULL }",
                       "{ seq 4, slot 1, pdu response : error : unsupported }",
                       "{ seq 5, slot 2, pdu response : success : NULL }",
                       "{ seq 6, slot 2, pdu response : error : unsupported }"}));
    // User data while the link is not in service is refused, with a line saying so.
    EXPECT_EQ(exchange({"{ seq 20, slot 1, pdu command : userData : '81 02 40 00 00 11'H }"}),
              Strings{"{ seq 20, slot 1, pdu response : error : unsupported }"});
    EXPECT_TRUE(gateway.daemon->wait_for_errors("pstn-slot: userData dropped, SS7 link not in service\n", answer_time));
    // Once aligning, the link has reset its sequence numbers.
    EXPECT_EQ(exchange({"{ seq 7, slot 1, pdu command : activate : empty : NULL }",
                        "{ seq 8, slot 1, pdu command : ioctl : ss7RqBSN : NULL }"}),
              (Strings{"{ seq 7, slot 1, pdu response : success : NULL }", "{ slot 1, pdu signal : ioctl : ss7BSN : 127 }",
                       "{ seq 8, slot 1, pdu response : success : NULL }"}));

    // A CAS slot runs its channel and nothing on it: user data is taken and dropped, and only the
    // channel's statistics are reported.
    gateway.board.clear_journal();
    EXPECT_EQ(exchange({"{ seq 9, slot 3, pdu command : create : pstn : cas : { trunk 1 } }",
                        "{ seq 10, slot 4, pdu command : create : trunk : { trunk 0, timeslot 1 } }",
                        "{ seq 11, slot 4, pdu command : connect : 3 }",
                        "{ seq 12, slot 3, pdu command : userData : '01 02'H }"}),
              (Strings{"{ seq 9, slot 3, pdu response : success : NULL }", "{ seq 10, slot 4, pdu response : success : NULL }",
                       "{ slot 4, pdu signal : transmitter : active : 1 }", "{ slot 4, pdu signal : receiver : active : 1 }",
                       "{ slot 3, pdu signal : receiver : active : -1 }", "{ seq 11, slot 4, pdu response : success : NULL }",
                       "{ seq 12, slot 3, pdu response : success : NULL }"}));
    std::optional<std::string> report = controller->wait_for("slot 3, pdu signal : ioctl", answer_time);
    EXPECT_EQ(report, "{ slot 3, pdu signal : ioctl : hdlcLinkInfo : { txSU 0, txDiscard 0, txError 0, txOverflow 0, rxSU 0 } }");
    EXPECT_EQ(frames(), Strings{});
}

TEST_F(SignallingSlots, MessagesTheDataLinksDropAreAnsweredWithTheReason)
{
    // The network side of a basic-rate line: a SETUP goes to every terminal, but a message for a
    // call that no terminal holds goes nowhere.
    const Strings network = exchange(
        {"{ seq 1, slot 1, pdu command : create : pstn : isdn : { type bri, trunk 1, log 0, side network : NULL } }",
         "{ seq 2, slot 1, pdu command : userData : '08 01 05 05 04 03 80 90 A3'H }",
         "{ seq 3, slot 1, pdu command : userData : '08 01 85 45 08 02 80 90'H }"});
    EXPECT_EQ(without(network, "pdu signal"),
              (Strings{"{ seq 1, slot 1, pdu response : success : NULL }", "{ seq 2, slot 1, pdu response : success : NULL }",
                       "{ seq 3, slot 1, pdu response : error : invalidParams }"}));
    EXPECT_TRUE(gateway.daemon->wait_for_errors("LAPD(NT BRI):no terminal holds call reference 5 (flag 1), message dropped\n",
                                                answer_time));

    // A primary-rate link not yet established keeps 128 messages and drops the ones after them.
    Strings commands{"{ seq 10, slot 2, pdu command : create : pstn : isdn : { type pri, trunk 1, log 0, side user : NULL } }"};
    for (int seq = 11; seq < 11 + 131; ++seq)
        commands.push_back("{ seq " + std::to_string(seq) + ", slot 2, pdu command : userData : '08 01 05 7D'H }");
    const Strings answered = without(exchange(commands), "pdu signal");
    ASSERT_EQ(answered.size(), 132u);
    EXPECT_EQ(answered[128], "{ seq 138, slot 2, pdu response : success : NULL }");
    for (int seq = 139; seq < 142; ++seq)
        EXPECT_EQ(answered[size_t(seq - 10)],
                  "{ seq " + std::to_string(seq) + ", slot 2, pdu response : error : insufficientResources }");
}

TEST_F(SignallingSlots, ANetworkSideKeepsTheFramesItsChannelRefusesAndSendsThemInOrderWhenItTakesFramesAgain)
{
    // The network side of BRI trunk 1 time slot 1 (switch channel 5), running once joined both ways.
    exchange({"{ seq 1, slot 1, pdu command : create : pstn : isdn : { type bri, trunk 2, log 0, side network : NULL } }",
              "{ seq 2, slot 2, pdu command : create : trunk_bri : { trunk 1, timeslot 1 } }",
              "{ seq 3, slot 2, pdu command : connect : 1 }", "{ seq 4, slot 1, pdu command : connect : 2 }"});
    ASSERT_TRUE(eventually([&] { return frames() == Strings{"FEFF030F000004FF"}; }, answer_time));
    const std::string channel = channel_file(256);
    // Broadcast SETUPs with call references 1, 2, ... while the driver takes nothing from the channel,
    // so that its queue fills: the answers, and the frames the SETUPs make.
    Strings broadcasts;
    auto setups = [&](int count, bool drained_after = true) {
        gateway.board.clear_journal();
        broadcasts.clear();
        Strings commands;
        for (int n = 1; n <= count; ++n) {
            char reference[3];
            std::snprintf(reference, sizeof reference, "%02X", n & 0x7F);
            commands.push_back("{ seq 1, slot 1, pdu command : userData : '08 01 " + std::string(reference) +
                               " 05 04 03 80 90 A3'H }");
            broadcasts.push_back("02FF030801" + std::string(reference) + "0504038090A3");
        }
        gateway.board.set_draining(channel, false);
        Strings answers = without(exchange(commands), "pdu signal");
        gateway.board.set_draining(channel, drained_after);
        return answers;
    };
    const std::string success = "{ seq 1, slot 1, pdu response : success : NULL }";

    // Forty are taken, and once the channel is drained again each reaches the line, in order.
    EXPECT_EQ(setups(40), Strings(40, success));
    EXPECT_TRUE(eventually([&] { return frames() == broadcasts; }, answer_time)) << frames().size();
    // Of two hundred, those that the driver's queue and the 135 waiting frames hold are taken; the
    // others are dropped, counted and refused.
    const Strings answers = setups(200);
    ASSERT_EQ(answers.size(), 200u);
    const size_t taken = size_t(std::count(answers.begin(), answers.end(), success));
    EXPECT_GT(taken, 135u);
    EXPECT_EQ(Strings(answers.begin() + long(taken), answers.end()),
              Strings(200 - taken, "{ seq 1, slot 1, pdu response : error : insufficientResources }"));
    EXPECT_TRUE(gateway.daemon->wait_for_errors("pstn-slot: queue full, frame dropped\n", answer_time));
    broadcasts.resize(taken);
    EXPECT_TRUE(eventually([&] { return frames() == broadcasts; }, answer_time)) << frames().size();
    EXPECT_TRUE(controller->wait_for("txOverflow " + std::to_string(200 - taken) + ",", answer_time));

    // A terminal's I frame that finds no room is not lost: the link keeps it and sends it again,
    // so its message is taken.
    gateway.board.push(channel, {0xFC, 0xFF, 0x03, 0x0F, 0x01, 0x00, 0x01, 0xFF});
    gateway.board.push(channel, {0x00, 0x81, 0x00, 0x00, 0x08, 0x01, 0x85, 0x07});
    ASSERT_TRUE(controller->wait_for("userData : '08 01 85 07'H", answer_time));
    setups(200, false);
    EXPECT_EQ(exchange({"{ seq 1, slot 1, pdu command : userData : '08 01 05 75'H }"}).back(), success);
    gateway.board.set_draining(channel, true);
    EXPECT_TRUE(eventually([&] {
        const Strings sent = frames();
        return std::any_of(sent.begin(), sent.end(), [](const std::string& frame) {
            return frame.size() == 16 && frame.compare(0, 4, "0281") == 0 && frame.compare(8, 8, "08010575") == 0;
        });
    }, answer_time));
}

TEST_F(SignallingSlots, RawHdlcFramesPackagesQueuesWhileNotReadyAndBatchesWhatItReceives)
{
    auto packages = [](int count) {
        std::string all;
        for (int n = 0; n < count; ++n)
            all += (all.empty() ? "" : ", ") + std::string("{ body '41 42'H }");
        return "ioctl : hdlcPackages : { " + all + " }";
    };
    // Before the channel exists the queue takes 120 packages: 121 in one command are refused whole,
    // and so is one more after 120 have been taken.
    EXPECT_EQ(exchange({"{ seq 1, slot 1, pdu command : create : hdlcParams : { trunk 1, log 0, address 258 } }",
                        "{ seq 2, slot 1, pdu command : " + packages(121) + " }",
                        "{ seq 21, slot 1, pdu command : " + packages(120) + " }",
                        "{ seq 22, slot 1, pdu command : " + packages(1) + " }"}),
              (Strings{"{ seq 1, slot 1, pdu response : success : NULL }",
                       "{ seq 2, slot 1, pdu response : error : insufficientResources }",
                       "{ seq 21, slot 1, pdu response : success : NULL }",
                       "{ seq 22, slot 1, pdu response : error : insufficientResources }"}));
    // The slot has no channel of its own to join to its line: it cannot be its own peer.
    EXPECT_EQ(without(exchange({"{ seq 10, slot 1, pdu command : connect : 1 }"}), "hdlcLinkInfo"),
              (Strings{"{ slot 1, pdu signal : transmitter : active : -1 }", "{ slot 1, pdu signal : receiver : active : -1 }",
                       "{ slot 1, pdu signal : receiver : inactive : NULL }",
                       "{ slot 1, pdu signal : transmitter : inactive : NULL }",
                       "{ seq 10, slot 1, pdu response : error : connectFail }"}));
    EXPECT_TRUE(gateway.daemon->wait_for_errors("HdlcSlot[0/*]: can't connect to itself\n", answer_time));
    gateway.board.clear_journal();
    exchange({"{ seq 3, slot 2, pdu command : create : trunk : { trunk 0, timeslot 5 } }",
              "{ seq 4, slot 2, pdu command : connect : 1 }"});
    ASSERT_TRUE(eventually([&] { return frames().size() >= 120; }, answer_time));
    Strings sent = frames();
    EXPECT_EQ(requests(), (Strings{"MCC_ALLOCATE type=0 word1=512 word2=0 word3=1 word4=4 -> 0", "MCC_TIMESLOT -> 256",
                                   "connect output=5 source=256 -> 0", "connect output=256 source=5 -> 0"}));
    ASSERT_EQ(sent.size(), 120u);
    // The refused packages spent no sequence number.
    EXPECT_EQ(sent[0], "0102004142");
    EXPECT_EQ(sent[1], "0102204142");
    EXPECT_EQ(sent[8], "0102004142");  // the ninth: the sequence bits wrap
    EXPECT_EQ(sent[119], "0102E04142");
    EXPECT_EQ(exchange({"{ seq 5, slot 1, pdu command : deactivate : NULL }"}),
              (Strings{"{ slot 1, pdu signal : ioctl : hdlcLinkInfo : { txSU 120, txDiscard 0, txError 0, "
                       "txOverflow 122, rxSU 0 } }",
                       "{ seq 5, slot 1, pdu response : success : NULL }"}));

    // A burst for the slot's address, with a frame for another address in it, ends with a frame
    // whose marker bit is clear: one signal.
    const std::string file = channel_file(256);
    gateway.board.command("push " + file + " 010220AA80 010240BB80 030400CC80 010260DD00");
    EXPECT_EQ(controller->wait_for("hdlcPackages", answer_time),
              "{ slot 1, pdu signal : ioctl : hdlcPackages : { { body 'aa 80'H }, { body 'bb 80'H }, { body 'dd 00'H } } }");
    // Without it, the burst goes when its time is up.
    gateway.board.command("push " + file + " 010280EE80 010280FF80");
    EXPECT_EQ(controller->wait_for("hdlcPackages", answer_time),
              "{ slot 1, pdu signal : ioctl : hdlcPackages : { { body 'ee 80'H }, { body 'ff 80'H } } }");
    // The next package carries the last sequence number received (4) and its own (120, so 0).
    gateway.board.clear_journal();
    exchange({"{ seq 6, slot 1, pdu command : ioctl : hdlcPackages : { { body 'CD'H } } }"});
    EXPECT_TRUE(eventually([&] { return frames() == Strings{"010204CD"}; }, answer_time));
}

TEST_F(SignallingSlots, AChannelControllerDataSlotHandsOverWholeFramesAndTheCountsCostNoDescriptor)
{
    gateway.board.set("/dev/mcc/ctl", "channels 4 2 8");
    // A channel whose switch channel cannot be learnt makes no slot, and goes back at once.
    gateway.board.fail("/dev/mcc/ctl", 0x20004D02, EIO);
    EXPECT_EQ(exchange({"{ seq 1, slot 1, pdu command : create : mcc : { type data, mode standard } }"}),
              Strings{"{ seq 1, slot 1, pdu response : error : insufficientResources }"});
    EXPECT_TRUE(eventually([&] { return gateway.board.state("/dev/mcc/ctl").empty(); }, answer_time));
    EXPECT_EQ(exchange({"{ seq 20, slot 1, pdu command : create : mcc : { type data, mode standard } }"}),
              Strings{"{ seq 20, slot 1, pdu response : success : NULL }"});
    std::vector<uint8_t> frame(300);
    for (size_t i = 0; i < frame.size(); ++i)
        frame[i] = uint8_t(i);
    gateway.board.push(channel_file(256), frame);
    std::optional<std::string> data = controller->wait_for("userData", answer_time);
    ASSERT_TRUE(data);
    EXPECT_EQ(std::count(data->begin(), data->end(), ' '), 9 + 299) << *data;
    EXPECT_NE(data->find("'00 01 02 03"), std::string::npos);
    EXPECT_NE(data->find("2a 2b'H"), std::string::npos);

    gateway.board.clear_journal();
    exchange({"{ seq 2, slot 1, pdu command : userData : '01 02 03'H }"});
    EXPECT_EQ(frames(), Strings{"010203"});

    auto descriptors = [&] {
        size_t count = 0;
        if (DIR* dir = opendir(("/proc/" + std::to_string(gateway.daemon->pid()) + "/fd").c_str())) {
            while (readdir(dir))
                ++count;
            closedir(dir);
        }
        return count;
    };
    const size_t before = descriptors();
    Strings queries;
    for (int seq = 3; seq < 103; ++seq)
        queries.push_back("{ seq " + std::to_string(seq) + ", pdu command : query : NULL }");
    Strings answers = exchange(queries);
    EXPECT_EQ(descriptors(), before);
    std::optional<std::string> report = controller->wait_for("pdu signal : query", answer_time);
    ASSERT_TRUE(report);
    EXPECT_NE(report->find("mcc-data 3, mcc-bri 2, mcc-trans 8,"), std::string::npos) << *report;
}

TEST_F(SignallingSlots, ASlotWhoseChannelEndsLetsItGoSignalsItDeactivatedAndRefusesWhatWouldNeedIt)
{
    auto failures = [&](const Strings& commands) {
        return without(without(exchange(commands), "pdu signal"), "pdu response : success");
    };
    // An ISDN slot, a QSIG D channel, a PSTN slot (CAS: no link of its own to go down by timer) and
    // a raw HDLC slot, the last two on channels they activated for their connections.
    EXPECT_EQ(failures({"{ seq 1, slot 1, pdu command : create : isdn : { type bri, trunk 1, log 0, side user : NULL } }",
                        "{ seq 2, slot 2, pdu command : create : ats-qsig : { side network : NULL, log 0 } }",
                        "{ seq 3, slot 3, pdu command : create : pstn : cas : { trunk 1 } }",
                        "{ seq 4, slot 4, pdu command : create : trunk : { trunk 0, timeslot 1 } }",
                        "{ seq 5, slot 4, pdu command : connect : 3 }",
                        "{ seq 6, slot 5, pdu command : create : hdlcParams : { trunk 1, log 0, address 258 } }",
                        "{ seq 7, slot 6, pdu command : create : trunk : { trunk 0, timeslot 5 } }",
                        "{ seq 8, slot 6, pdu command : connect : 5 }",
                        "{ seq 9, slot 7, pdu command : create : trunk : { trunk 0, timeslot 7 } }"}),
              Strings{});
    for (const std::string& file :
         {channel_file(256), std::string("/dev/dsp-data"), channel_file(257), channel_file(258)})
        gateway.board.end_of_file(file);

    // Each says so once, and lets its channel go.
    Strings deactivated;
    eventually(
        [&] {
            while (std::optional<std::string> message = controller->next(milliseconds(0)))
                if (message->find("pdu signal : deactivated") != std::string::npos)
                    deactivated.push_back(*message);
            return deactivated.size() >= 4;
        },
        answer_time);
    std::sort(deactivated.begin(), deactivated.end());
    EXPECT_EQ(deactivated, (Strings{"{ slot 1, pdu signal : deactivated : networkError }",
                                    "{ slot 2, pdu signal : deactivated : networkError }",
                                    "{ slot 3, pdu signal : deactivated : networkError }",
                                    "{ slot 5, pdu signal : deactivated : networkError }"}));
    EXPECT_TRUE(gateway.daemon->wait_for_errors("isdn-slot[600]: end of file, channel closed\n", answer_time));
    EXPECT_TRUE(eventually([&] { return gateway.board.state("/dev/mcc/ctl").empty(); }, answer_time));

    // What needs the channel is refused, each time with a line; the slots still go.
    Strings commands, refused;
    for (const auto& [slot, command, cause] : std::vector<std::tuple<int, std::string, std::string>>{
             {1, "userData : '08 01 05'H", "unsupported"}, {1, "activate : empty : NULL", "unsupported"},
             {2, "userData : '08 01 05'H", "unsupported"}, {2, "activate : empty : NULL", "unsupported"},
             {3, "userData : '01 02'H", "unsupported"}, {3, "activate : empty : NULL", "unsupported"},
             {3, "connect : 7", "connectFail"}, {5, "ioctl : hdlcPackages : { { body 'AB'H } }", "unsupported"},
             {5, "activate : empty : NULL", "unsupported"}, {5, "connect : 7", "connectFail"}}) {
        commands.push_back("{ seq 1, slot " + std::to_string(slot) + ", pdu command : " + command + " }");
        refused.push_back("{ seq 1, slot " + std::to_string(slot) + ", pdu response : error : " + cause + " }");
    }
    EXPECT_EQ(failures(commands), refused);
    for (const char* line :
         {"isdn-slot[256]: userData dropped, channel closed\n", "isdn-slot[600]: activate refused, channel closed\n",
          "pstn-slot: connect refused, channel closed\n", "HdlcSlot[0/*]: hdlcPackages dropped, channel closed\n"})
        EXPECT_TRUE(gateway.daemon->wait_for_errors(line, answer_time)) << line;
    EXPECT_EQ(failures({"{ seq 1, slot 1, pdu command : destroy : NULL }",
                        "{ seq 1, slot 2, pdu command : destroy : NULL }",
                        "{ seq 1, slot 3, pdu command : destroy : NULL }",
                        "{ seq 1, slot 5, pdu command : destroy : NULL }"}),
              Strings{});
}

TEST_F(SignallingSlots, QsigBChannelsAreAddedAndRemovedOnTheirOwnDChannelOnly)
{
    // A D channel the driver does not give makes no slot.
    gateway.board.fail("/dev/dsp-data", 0x40044211, EIO);
    EXPECT_EQ(exchange({"{ seq 0, slot 1, pdu command : create : ats-qsig : { side network : NULL, log 0 } }"}),
              Strings{"{ seq 0, slot 1, pdu response : error : insufficientResources }"});
    EXPECT_NE(gateway.daemon->errors().find("mcc/isdn: D_CHANNEL fail: Input/output error\n"), std::string::npos);
    gateway.board.clear_journal();
    EXPECT_EQ(exchange({"{ seq 1, slot 1, pdu command : create : ats-qsig : { side network : NULL, log 0 } }",
                        "{ seq 2, slot 2, pdu command : create : ats-qsig-b : { slot 1, subslot 2 } }",
                        "{ seq 3, slot 3, pdu command : create : isdn : { type pri, trunk 1, log 0, side user : NULL } }",
                        "{ seq 4, slot 4, pdu command : create : ats-qsig-b : { slot 3, subslot 1 } }",
                        "{ seq 5, slot 5, pdu command : create : ats-qsig-b : { slot 9, subslot 1 } }",
                        "{ seq 6, slot 1, pdu command : activate : empty : NULL }"}),
              (Strings{"{ seq 1, slot 1, pdu response : success : NULL }", "{ seq 2, slot 2, pdu response : success : NULL }",
                       "{ seq 3, slot 3, pdu response : success : NULL }",
                       "{ seq 4, slot 4, pdu response : error : insufficientResources }",
                       "{ seq 5, slot 5, pdu response : error : insufficientResources }",
                       "{ seq 6, slot 1, pdu response : success : NULL }"}));
    // The D channel establishes its link on the DSP data driver.
    EXPECT_TRUE(eventually([&] { return !testsupport::device_entries(gateway.board, "/dev/dsp-data", "frame").empty(); },
                           answer_time));
    Strings requests = testsupport::device_requests(gateway.board, "/dev/dsp-data");
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], "D_CHANNEL -> 600");
    EXPECT_EQ(requests[1], "ADD_B index=1 channel=-1 -> 0");
    EXPECT_NE(requests[2].find(" channel=600 bytes=02017F -> 3"), std::string::npos) << requests[2];

    // A new D channel takes over slot 1: the B channel of the old one leaves it alone.
    gateway.board.clear_journal();
    exchange({"{ seq 7, slot 1, pdu command : destroy : NULL }",
              "{ seq 8, slot 1, pdu command : create : ats-qsig : { side user : NULL, log 0 } }",
              "{ seq 9, slot 2, pdu command : destroy : NULL }",
              "{ seq 10, slot 2, pdu command : create : ats-qsig-b : { slot 1, subslot 1 } }",
              "{ seq 11, slot 2, pdu command : destroy : NULL }"});
    EXPECT_EQ(testsupport::device_requests(gateway.board, "/dev/dsp-data"),
              (Strings{"D_CHANNEL -> 604", "ADD_B index=0 channel=-1 -> 0", "REMOVE_B index=0 channel=605 -> 0"}));
    EXPECT_NE(gateway.daemon->errors().find("ats-qsig-b: Can't find signalling slot\n"), std::string::npos);
}

}  // namespace
