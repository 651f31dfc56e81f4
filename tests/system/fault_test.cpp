// Every fault the board emulator injects, on every device the daemon drives, while slots of that
// device live: each request of the device failing with EIO (through the slots' destroys, so that
// teardown requests fail too), its latest open stalled and drained again, a record too short for
// anything, end of file, and the device absent. Each fault must reach the device, save those that
// a case lists as out of the daemon's reach, with the reason. Whatever happens, the daemon answers
// every command once, says on its error stream what failed (with the system's error text, where a
// request or an open failed), keeps no descriptor of the slots it destroyed, stays up and does not
// spin: in the second after the faults it uses under half a second of CPU. Made again at the end,
// the slots are answered as before the faults: nothing was left held.

#include "gateway.h"

#include "support/process_cpu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <thread>

namespace {

using namespace systemtest;
using Strings = std::vector<std::string>;

const milliseconds answer_time(30000);
// Within this a request that the daemon makes periodically (the power every 2 s, the trunks'
// status and the BRI chips' registers every second) meets a fault, and a closed descriptor reaches
// the board.
const milliseconds periodic_time(10000);
const std::filesystem::path source_dir = std::filesystem::path(__FILE__).parent_path();

// Where a command goes: a slot, no slot, or the board emulator's control (what the board hands
// the daemon, such as a received packet).
constexpr int no_slot = -1;
constexpr int board = -2;

struct Command {
    int slot;
    std::string body;
};

// What the cases name besides the requests: the faults other than a request failing.
const std::string absent_fault = "absent";
const std::string stream_faults = "stream faults";

// A device and what makes slots that use it and makes the daemon use the device (creates,
// connects, ioctls, ...). A failed request or open is logged with the system's error text, except
// where the daemon says it in words of its own ("logs": by request name, "absent": for the open),
// or not at all (an empty text): requests whose failure only ends a scan, leaves a value alone or
// goes back to the controller in a signal. "unreached": the faults that cannot reach the device,
// each with the reason (by request name, absent_fault or stream_faults), which the test checks do
// not; every other one must.
struct DeviceCase {
    const char* device;
    std::vector<Command> make;
    std::map<std::string, std::string> logs = {};
    std::string absent = "No such file or directory";
    std::map<std::string, std::string> unreached = {};
};

std::ostream& operator<<(std::ostream& out, const DeviceCase& c) { return out << c.device; }

const std::string e1_slot = "create : trunk : { trunk 0, timeslot 1 }";
const std::string rtp_slot = "create : rtp : { codecRTP { payload ptG711-Alaw, dhost { iaddr \"127.0.0.1\", port 30000 "
                             "} }, txPayload ptG711-Alaw, rxPayload ptG711-Alaw }";
const std::string lemz_flags = "{ prio 3, ptt FALSE, bss TRUE, vad-rx FALSE, vad-tx FALSE, sql FALSE, sh FALSE, "
                               "pwr FALSE, rv FALSE, resv FALSE, selcall 1, li 5 }";
const std::string lemz_status = "status lemz : { flags " + lemz_flags + ", freq { channel 3, frequency \"145.5\" }, "
                                "remote { no 1, ch 2 }, squelshe on, rte h3e, standby-state-channel active, "
                                "standby-group 7, standby-state-receiver standby }";
std::string cas(int timeslot, const std::string& command)
{
    return "ioctl : cas : { channel { path 3, timeslot " + std::to_string(timeslot) + " }, cmd " + command + " }";
}
std::string ed137_rx(const std::string& ptt)
{
    return "ioctl : rtpExt : ed-137 : { addr { session-addr \"10.0.0.5\", session-ssrc 7 }, params rx : { header { "
           "ptt " + ptt + ", squ squ-on, ptt-id 5, ptt-mute FALSE, ptt-summation FALSE, sct FALSE } } }";
}

// Why a test-only request of the emulator never comes from the daemon.
const char* const frame_tap = "a test's tap on the frames, never a request of the daemon";

const DeviceCase cases[] = {
    {"/dev/hal",
     {{1, e1_slot},
      {2, "create : trunk_bri : { trunk 0, timeslot 1 }"},
      {1, "connect : 2"},
      {3, "create : map : { receiver { bus 0, channel 5 } }"},
      {no_slot, "clockCfg : { clkSel0 internal, bextEn disabled, source -1 }"},
      {no_slot, "query : NULL"},
      {no_slot, "display : framer : { e1 1, info line : TRUE }"},
      {no_slot, "testBpc : { bus 2, seed 7, mode write : NULL, timeslot-start 0, timeslot-length 2 }"},
      {no_slot, "testBpc : { bus 2, seed 7, mode disconnect : NULL, timeslot-start 0, timeslot-length 2 }"}},
     // The monitoring's readings and LED writes and the switch's background refresh pass failures over.
     {{"dip", ""}, {"power", ""}, {"leds", ""}, {"disable", ""}, {"clock-select", "clkctl: HW_CLOCK_SELECT fail."},
      {"spi-read", "spi: read error: channel="}},
     {},
     {{"spi-write", "the chips' registers are written when they are set up at start and at exit, and for the clock "
                    "only while the clock select has no device"},
      {absent_fault, "the switch, the clock select, the BRI chips and the monitoring hold it from start to exit"}}},
    {"/dev/mcc/ctl",
     {{1, "create : trunk : { trunk 1, timeslot 5 }"},
      {2, "create : pstn : ss7 : { trunk 1, slc 0, dpc 2, opc 1, emergency FALSE }"},
      {1, "connect : 2"},
      {2, "activate : empty : NULL"},
      {3, "create : hdlcParams : { trunk 1, log 0, address 258 }"},
      {3, "ioctl : hdlcPackages : { { body '0102'H } }"},
      {4, "create : mcc : { type data, mode standard }"},
      {4, "userData : '0102'H"},
      {5, "create : isdn : { type bri, trunk 1, log 0, side user : NULL }"},
      {5, "activate : empty : NULL"},
      {6, "create : t38soft : { dhost { iaddr \"127.0.0.1\", port 4000 }, shost { iaddr \"127.0.0.1\", port 5000 }, "
          "rx-packet-size 160, rx-threshold 1, tx-threshold 2, args { } }"},
      {no_slot, "query : NULL"}},
     // The counts of a query stay 0.
     {{"MCC_CHANNELS", ""}},
     {},
     {{"tap", frame_tap}}},
    {"/dev/maintenance",
     {{1, e1_slot}, {no_slot, "trunkCfg : { trunk 0, mode master }"}},
     {},
     {},
     {{absent_fault, "opened for the first trunk status and held"}}},
    {"/dev/e1-cas",
     {{1, "create : pstn : cas : { trunk 3 }"},
      {no_slot, cas(1, "open : 1")},
      {no_slot, cas(1, "set : 5")},
      {no_slot, cas(1, "close : NULL")},
      {no_slot, cas(0, "close : NULL")}},
     // A refused request goes back to the controller in the cas signal; while the device is
     // missing, each status step tries to open it again without a word.
     {{"trunk-open", ""}, {"trunk-close", ""}, {"set", ""}, {"get", ""}, {"channel", ""}},
     ""},
    {"/dev/dtmf",
     {{no_slot, "query : NULL"},
      {1, e1_slot},
      {2, rtp_slot},
      {2, "connect : 1"},
      {2, "ioctl : dtmf-params : { threshold { twist 8, ratio 8, noise 100 }, level { silence 100 } }"},
      {2, "ioctl : dtmf-enable : TRUE"},
      {2, "ioctl : dtmf-reject-enable : TRUE"},
      {2, "ioctl : echoSuppressor : TRUE"},
      {2, "ioctl : echoSuppressor : FALSE"},
      {2, "ioctl : translateDTMF : { digits { { freq1 697, freq2 1209 } } }"},
      {2, "ioctl : selcal : { signs \"1234\" }"},
      {3, "create : mixerIn : { unit 0, channel tdm : 3 }"},
      {3, "ioctl : iva-params : { det_lvl_dB -30 }"},
      {3, "ioctl : iva-enable : TRUE"}}},
    {"/dev/dsp",
     {{1, e1_slot},
      {2, rtp_slot},
      {2, "connect : 1"},
      {2, "ioctl : vad-params : v2 : { voice-th-msec 100, silence-th-msec 200, e-th-dB -30 }"},
      {2, "ioctl : vad-enable : TRUE"},
      {2, "ioctl : sd-enable : TRUE"}},
     // Without the driver's parameter version the values of the first one are sent.
     {{"DSPROC_VERSION", ""}}},
    {"/dev/dsp-data",
     {{1, "create : ats-qsig : { side network : NULL, log 0 }"},
      {1, "activate : empty : NULL"},
      {2, "create : ats-qsig-b : { slot 1, subslot 1 }"},
      {1, "userData : '0801050F'H"}},
     // The B channel's removal is not looked at: the slot goes in any case.
     {{"ADD_B", "ats-qsig: add B channel fail !!!"}, {"REMOVE_B", ""}},
     {},
     {{"tap", frame_tap}}},
    {"/dev/mixer",
     {{no_slot, "query : NULL"},
      {1, "create : mixerOut : { unit 0, channel tdm : 1, inputs { } }"},
      {2, "create : mixerIn : { unit 0, channel tdm : 2, summator tdm : 1 }"},
      {3, e1_slot},
      {3, "connect : 2"}},
     {{"enumerate", ""}},
     "",
     {{stream_faults, "every request opens the device and closes it again"}}},
    {"/dev/mctl",
     {{no_slot, "query : NULL"},
      {1, "create : modem : { cid \"1\", cdid \"2\" }"},
      {2, e1_slot},
      {2, "connect : 1"},
      {3, "create : modem : { cid \"\", cdid \"\", fax NULL }"},
      {4, "create : trunk : { trunk 0, timeslot 2 }"},
      {4, "connect : 3"},
      {5, "create : modem : { cid \"3\", cdid \"4\", ddm { ddmV110, ddm8BIT }, dmp { { offset 5, value 9 } }, "
          "originate NULL }"},
      {6, "create : trunk : { trunk 0, timeslot 3 }"},
      {6, "connect : 5"},
      {7, "create : modem : { cid \"\", cdid \"\", originate NULL, fax NULL }"},
      {8, "create : trunk : { trunk 0, timeslot 4 }"},
      {8, "connect : 7"}}},
    {"/dev/voice",
     {{no_slot, "query : NULL"},
      {1, "create : voice : player : file : { name { \"welcome\" }, repeat 1 }"},
      {2, e1_slot},
      {1, "connect : 2"},
      {3, rtp_slot}},
     // The counts and the driver's version stay as they were.
     {{"channels", ""}, {"info", ""}},
     {},
     {{stream_faults, "opened only for the channel counts of a query"}}},
    {"/dev/rtp",
     {{1, e1_slot},
      {2, rtp_slot},
      {2, "connect : 1"},
      {1, "connect : 2"},
      {2, "ioctl : pd-enable : { timeout 500 }"},
      {2, "ioctl : encoder-mode : alaw"},
      // A radio slot whose header extension another process holds attaches it on the RTP device.
      {3, "create : rtp : { codecRTP { payload ptG729, dhost { iaddr \"127.0.0.1\", port 30002 }, radio { " +
              lemz_status + " }, rtp-e2m { slot 1, channel 2, mode only-rtp : { fd 7, pid 300 } } }, txPayload "
              "ptG729, rxPayload ptG729 }"}},
     // The stream hooks and the teardown do not look at the driver's answers.
     {{"RTP_START_INPUT", ""},
      {"RTP_STOP_INPUT", ""},
      {"RTP_TEARDOWN_1", ""},
      {"RTP_TEARDOWN_2", ""},
      {"RTP_TEARDOWN_3", ""},
      {"RTP_PD_DISABLE", ""},
      {"RTP_ATTACH_EXT", "attach rtp session fail !!!"}}},
    {"/dev/rtp_ext",
     {{1, "create : rtp : { codecRTP { payload ptG729, dhost { iaddr \"127.0.0.1\", port 30000 }, radio { " +
              lemz_status + " } }, txPayload ptG729, rxPayload ptG729 }"},
      {1, "ioctl : rtpExt : lemz : { addr { session-addr \"127.0.0.5\", session-ssrc 9 }, params wm-flags : { flags " +
              lemz_flags + " } }"},
      {2, "create : rtp : { codecRTP { payload ptG729, dhost { iaddr \"127.0.0.1\", port 30000 }, pfactor 2, radio { "
          "status ed-137 : { header { ptt ptt-off, squ squ-on, ptt-id 9, ptt-mute FALSE, ptt-summation TRUE, sct TRUE "
          "} } } }, txPayload ptG729, rxPayload ptG729 }"},
      {2, ed137_rx("normal-ptt-on")},
      // A packet from the voice system holding the PTT, read with its information.
      {board, "set /dev/rtp_ext packet 5 10.0.0.5 0102"},
      {2, ed137_rx("ptt-off")}},
     {{"RTP_EXT_INIT", "init rtp_ext session fail !!!"},
      {"RTP_EXT_ATTACH", "attach rtp_ext session fail !!!"},
      {"RTP_EXT_DETACH", "detach rtp_ext session fail !!!"},
      {"RTP_EXT_FILTER", "set filer rtp_ext session fail !!!"},
      {"RTP_EXT_UNFILTER", "reset filer rtp_ext session fail !!!"},
      // Counted in the session's statistics; the packet is read without it.
      {"RTP_EXT_INFO", ""}},
     "create rtp_ext session fail !!!"},
    {"/dev/misc/gw-wd",
     {{1, e1_slot}},
     {},
     {},
     {{absent_fault, "opened when the loop starts and held"}}},
};

class Faults : public ::testing::TestWithParam<DeviceCase> {
protected:
    static Gateway::Options options()
    {
        Gateway::Options options;
        options.board = (source_dir.parent_path().parent_path() / "emulator/boards/default.board").string();
        options.start = false;
        return options;
    }

    void SetUp() override
    {
        const std::filesystem::path stand_in = source_dir / "stand_in_program.sh";
        for (const char* program : {"/usr/local/sbin/pppd", "/usr/local/sbin/fax", "/usr/local/bin/fax",
                                    "/usr/local/sbin/t38"})
            std::filesystem::copy_file(stand_in, gateway.root.prepare(program));
        gateway.root.write_file("/stand-in/behaviour", "wait");
        gateway.start();
        controller = gateway.controller("controller", {"--hide", "trunkStatus", "--timeout", "600000"});
    }

    // Sends the commands at once and takes messages until each has had its answer, which must be
    // its only one; the seqs go on from run to run. A line for the board waits for the answers to
    // the commands before it; the board may refuse it, when a fault left nothing to take it. The
    // answers, in the order of the commands.
    Strings run(const std::vector<Command>& commands, const std::string& when)
    {
        Strings answers;
        std::map<int, size_t> waiting;  // seq: where its answer goes
        auto take_answers = [&] {
            while (!waiting.empty()) {
                std::optional<std::string> message = controller->next(answer_time);
                if (!message) {
                    ADD_FAILURE() << when << ": " << waiting.size() << " commands unanswered";
                    waiting.clear();
                    return;
                }
                const size_t response = message->find("pdu response :");
                if (response == std::string::npos)
                    continue;
                auto entry = waiting.find(std::atoi(message->c_str() + message->find("seq ") + 4));
                if (entry == waiting.end()) {
                    ADD_FAILURE() << when << ": an answer to no command waiting: " << *message;
                    continue;
                }
                answers[entry->second] = message->substr(response);
                waiting.erase(entry);
            }
        };
        for (const Command& command : commands) {
            if (command.slot == board) {
                take_answers();
                try {
                    gateway.board.command(command.body);
                } catch (const std::runtime_error&) {
                }
                continue;
            }
            waiting[++seq] = answers.size();
            answers.emplace_back();
            controller->send("{ seq " + std::to_string(seq) +
                             (command.slot == no_slot ? "" : ", slot " + std::to_string(command.slot)) +
                             ", pdu command : " + command.body + " }");
        }
        take_answers();
        return answers;
    }

    std::vector<Command> destroys(const std::vector<Command>& make) const
    {
        std::vector<Command> commands;
        for (auto command = make.rbegin(); command != make.rend(); ++command)
            if (command->body.rfind("create", 0) == 0)
                commands.push_back({command->slot, "destroy : NULL"});
        return commands;
    }

    // Whether the journal shows a request or open of the device answered with the error.
    bool hit(const std::string& error)
    {
        for (const testsupport::JournalEntry& entry : gateway.board.journal())
            if (entry.device == GetParam().device && entry.result.find("-1 " + error) == 0)
                return true;
        return false;
    }

    // Whether the fault reached the device, at the latest at the next turn of a periodic request:
    // a fault the case lists as out of reach must not, every other one must.
    bool expect_reached(const std::string& fault, const std::string& error)
    {
        const bool reached = eventually([&] { return hit(error); }, periodic_time);
        auto listed = GetParam().unreached.find(fault);
        if (listed != GetParam().unreached.end())
            EXPECT_FALSE(reached) << fault << " reached the device, though listed as out of reach: " << listed->second;
        else
            EXPECT_TRUE(reached) << fault << ": the fault never reached the device";
        return reached;
    }

    // The line that says that the fault hit the daemon, if one is expected, is on its error
    // stream after `from`.
    void expect_logged(const std::string& text, size_t from)
    {
        if (text.empty())
            return;
        auto errors = [&] { return gateway.daemon->errors().substr(from); };
        EXPECT_TRUE(eventually([&] { return errors().find(text) != std::string::npos; }, milliseconds(5000)))
            << "no \"" << text << "\" in:\n" << errors().substr(0, 1500);
    }

    // The opens of the device since the journal was cleared that are not closed again.
    std::set<std::string> left_open()
    {
        std::set<std::string> files;
        for (const testsupport::JournalEntry& entry : gateway.board.journal()) {
            if (entry.device != GetParam().device)
                continue;
            const std::string file = entry.fields.substr(0, entry.fields.find(' '));
            if (entry.request == "open" && entry.result == "0")
                files.insert(file);
            else if (entry.request == "close")
                files.erase(file);
        }
        return files;
    }

    // Whether the daemon holds the device open: the board drains a latest open of it (as it
    // does by default) or has none.
    bool open_now()
    {
        try {
            gateway.board.set_draining(GetParam().device, true);
            return true;
        } catch (const std::runtime_error&) {
            return false;
        }
    }

    // The daemon's CPU time in the next second, with the faults' slots still there.
    void expect_no_spin(const std::string& when)
    {
        const double before = testsupport::cpu_seconds(gateway.daemon->pid());
        std::this_thread::sleep_for(milliseconds(1000));
        EXPECT_LT(testsupport::cpu_seconds(gateway.daemon->pid()) - before, 0.5) << when;
    }

    Gateway gateway{options()};
    std::unique_ptr<ControllerProcess> controller;
    int seq = 0;
};

TEST_P(Faults, EachReachesTheDeviceAndEndsInALogLineNeverInACrashASpinALostAnswerOrAHeldResource)
{
    const DeviceCase& device = GetParam();
    const std::vector<Command> destroy = destroys(device.make);
    const Strings answers = run(device.make, "before the faults");
    run(destroy, "before the faults");

    // Each request of the device fails while its slots are made, used and destroyed.
    Strings requests = gateway.board.command(std::string("requests ") + device.device);
    for (const std::string& request : requests) {
        const uint32_t code = std::stoul(request.substr(0, request.find(' ')), nullptr, 16);
        const std::string name = request.substr(request.find(' ') + 1);
        SCOPED_TRACE(name + " failing");
        gateway.board.clear_journal();
        const size_t log_size = gateway.daemon->errors().size();
        gateway.board.fail(device.device, code, EIO, 1000000);
        run(device.make, "made");
        run(destroy, "destroyed");
        const bool reached = expect_reached(name, "EIO");
        gateway.board.fail(device.device, code, EIO, 0);
        if (reached) {
            auto logged = device.logs.find(name);
            expect_logged(logged == device.logs.end() ? "Input/output error" : logged->second, log_size);
        }
        EXPECT_TRUE(eventually([&] { return left_open().empty(); }, periodic_time))
            << "opens of the destroyed slots left: " << left_open().size();
    }

    // Its latest open stalls and drains, gets a record too short for anything and ends (a case
    // lists a device that the daemon opens only for a request: none is left open); it is absent
    // from its end on, so that a daemon that lets it go meets the absence when it opens it again.
    run(device.make, "stream faults");
    const bool held = open_now();
    auto listed = device.unreached.find(stream_faults);
    if (listed != device.unreached.end())
        EXPECT_FALSE(held) << "held open, though listed as out of reach: " << listed->second;
    else
        EXPECT_TRUE(held) << "no open of the device is left for the stream faults";
    const bool streamed = held && listed == device.unreached.end();
    if (streamed) {
        gateway.board.set_draining(device.device, false);
        run({{no_slot, "ping : NULL"}}, "stalled");
        gateway.board.set_draining(device.device, true);
        gateway.board.push(device.device, {0});
    }
    gateway.board.clear_journal();
    const size_t log_size = gateway.daemon->errors().size();
    gateway.board.set_absent(device.device, true);
    if (streamed) {
        gateway.board.end_of_file(device.device);
        run({{no_slot, "ping : NULL"}}, "at its end");
        expect_no_spin("after its end");
    }
    run(destroy, "after its end");

    // The device is absent while its slots are made.
    run(device.make, "absent");
    const bool reached = expect_reached(absent_fault, "ENOENT");
    gateway.board.set_absent(device.device, false);
    run(destroy, "absent");
    if (reached) {
        SCOPED_TRACE("absent");
        expect_logged(device.absent, log_size);
    }
    expect_no_spin("after its requests failed, it ended and was absent");

    ASSERT_TRUE(gateway.daemon->running());
    const Strings again = run(device.make, "made again");
    EXPECT_EQ(again, answers) << "something the faults' slots held is held still";
    run(destroy, "made again");
}

INSTANTIATE_TEST_SUITE_P(Devices, Faults, ::testing::ValuesIn(cases),
                         [](const ::testing::TestParamInfo<DeviceCase>& info) {
                             std::string name = info.param.device;
                             name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }),
                                        name.end());
                             return name;
                         });

}  // namespace
