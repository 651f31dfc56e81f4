// Every fault the board emulator injects, on every device the daemon drives, while slots of that
// device live: each request of the device failing with EIO, the device absent, its latest open
// stalled and drained again, a record too short for anything, and end of file. Whatever happens,
// the daemon answers every command once, says on its error stream what failed (with the system's
// error text, where a request or an open failed), stays up and does not spin: in the second after
// the faults it uses under half a second of CPU.

#include "gateway.h"

#include "support/process_cpu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <thread>

namespace {

using namespace systemtest;
using Strings = std::vector<std::string>;

const milliseconds answer_time(30000);
const std::filesystem::path source_dir = std::filesystem::path(__FILE__).parent_path();

struct Command {
    int slot;  // -1: none
    std::string body;
};

// A device and what makes slots that use it (creates, connects, ioctls, ...). A failed request
// or open is logged with the system's error text, except where the daemon says it in words of its
// own ("logs": by request name, "absent": for the open), or not at all (an empty text): requests
// whose failure only ends a scan or leaves a value alone.
struct DeviceCase {
    const char* device;
    std::vector<Command> make;
    std::map<std::string, std::string> logs = {};
    std::string absent = "No such file or directory";
};

std::ostream& operator<<(std::ostream& out, const DeviceCase& c) { return out << c.device; }

const std::string e1_slot = "create : trunk : { trunk 0, timeslot 1 }";
const std::string rtp_slot = "create : rtp : { codecRTP { payload ptG711-Alaw, dhost { iaddr \"127.0.0.1\", port 30000 "
                             "} }, txPayload ptG711-Alaw, rxPayload ptG711-Alaw }";
const std::string lemz_flags = "{ prio 3, ptt FALSE, bss TRUE, vad-rx FALSE, vad-tx FALSE, sql FALSE, sh FALSE, "
                               "pwr FALSE, rv FALSE, resv FALSE, selcall 1, li 5 }";

const DeviceCase cases[] = {
    {"/dev/hal",
     {{1, e1_slot},
      {2, "create : trunk_bri : { trunk 0, timeslot 1 }"},
      {1, "connect : 2"},
      {3, "create : map : { receiver { bus 0, channel 5 } }"},
      {-1, "clockCfg : { clkSel0 internal, bextEn disabled, source -1 }"},
      {-1, "query : NULL"}},
     // The monitoring's readings and the switch's background refresh pass failures over.
     {{"dip", ""}, {"power", ""}, {"disable", ""}, {"clock-select", "clkctl: HW_CLOCK_SELECT fail."},
      {"spi-read", "spi: read error: channel="}}},
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
          "rx-packet-size 160, rx-threshold 1, tx-threshold 2, args { } }"}}},
    {"/dev/maintenance", {{1, e1_slot}, {-1, "trunkCfg : { trunk 0, mode master }"}}},
    {"/dev/e1-cas",
     {{1, "create : pstn : cas : { trunk 3 }"},
      {1, "ioctl : cas : { channel { path 3, timeslot 1 }, cmd open : 1 }"},
      {1, "ioctl : cas : { channel { path 3, timeslot 1 }, cmd set : 5 }"}}},
    {"/dev/dtmf",
     {{1, e1_slot},
      {2, rtp_slot},
      {2, "connect : 1"},
      {2, "ioctl : dtmf-enable : TRUE"},
      {2, "ioctl : dtmf-reject-enable : TRUE"},
      {2, "ioctl : iva-enable : TRUE"}}},
    {"/dev/dsp",
     {{1, e1_slot}, {2, rtp_slot}, {2, "connect : 1"}, {2, "ioctl : vad-enable : TRUE"}, {2, "ioctl : sd-enable : TRUE"}}},
    {"/dev/dsp-data",
     {{1, "create : ats-qsig : { side network : NULL, log 0 }"},
      {1, "activate : empty : NULL"},
      {2, "create : ats-qsig-b : { slot 1, subslot 1 }"},
      {1, "userData : '0801050F'H"}},
     {{"ADD_B", "ats-qsig: add B channel fail !!!"}}},
    {"/dev/mixer",
     {{-1, "query : NULL"},
      {1, "create : mixerOut : { unit 0, channel tdm : 1, inputs { } }"},
      {2, "create : mixerIn : { unit 0, channel tdm : 2, summator tdm : 1 }"},
      {3, e1_slot},
      {3, "connect : 2"}},
     {{"enumerate", ""}},
     ""},
    {"/dev/mctl",
     {{-1, "query : NULL"},
      {1, "create : modem : { cid \"1\", cdid \"2\" }"},
      {2, e1_slot},
      {2, "connect : 1"},
      {3, "create : modem : { cid \"\", cdid \"\", fax NULL }"},
      {4, "create : trunk : { trunk 0, timeslot 2 }"},
      {4, "connect : 3"}}},
    {"/dev/voice",
     {{-1, "query : NULL"},
      {1, "create : voice : player : file : { name { \"welcome\" }, repeat 1 }"},
      {2, e1_slot},
      {1, "connect : 2"},
      {3, rtp_slot}},
     // The counts and the driver's version stay as they were.
     {{"channels", ""}, {"info", ""}}},
    {"/dev/rtp",
     {{1, e1_slot},
      {2, rtp_slot},
      {2, "connect : 1"},
      {2, "ioctl : pd-enable : { timeout 500 }"},
      {2, "ioctl : encoder-mode : alaw"}}},
    {"/dev/rtp_ext",
     {{1, "create : rtp : { codecRTP { payload ptG729, dhost { iaddr \"127.0.0.1\", port 30000 }, radio { status lemz "
          ": { flags " + lemz_flags + ", freq { channel 3, frequency \"145.5\" }, remote { no 1, ch 2 }, squelshe on, "
          "rte h3e, standby-state-channel active, standby-group 7, standby-state-receiver standby } } }, txPayload "
          "ptG729, rxPayload ptG729 }"},
      {1, "ioctl : rtpExt : lemz : { addr { session-addr \"127.0.0.5\", session-ssrc 9 }, params wm-flags : { flags " +
              lemz_flags + " } }"},
      {2, "create : rtp : { codecRTP { payload ptG729, dhost { iaddr \"127.0.0.1\", port 30000 }, pfactor 2, radio { "
          "status ed-137 : { header { ptt ptt-off, squ squ-on, ptt-id 9, ptt-mute FALSE, ptt-summation TRUE, sct TRUE "
          "} } } }, txPayload ptG729, rxPayload ptG729 }"},
      {2, "ioctl : rtpExt : ed-137 : { addr { session-addr \"10.0.0.5\", session-ssrc 7 }, params rx : { header { "
          "ptt normal-ptt-on, squ squ-on, ptt-id 5, ptt-mute FALSE, ptt-summation FALSE, sct FALSE } } }"}},
     {{"RTP_EXT_INIT", "init rtp_ext session fail !!!"},
      {"RTP_EXT_ATTACH", "attach rtp_ext session fail !!!"},
      {"RTP_EXT_FILTER", "set filer rtp_ext session fail !!!"}},
     "create rtp_ext session fail !!!"},
    {"/dev/misc/gw-wd", {{1, e1_slot}}},
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
    // its only one; the seqs go on from run to run.
    void run(const std::vector<Command>& commands, const std::string& when)
    {
        std::map<int, int> answers;
        for (const Command& command : commands) {
            answers[++seq] = 0;
            controller->send("{ seq " + std::to_string(seq) +
                             (command.slot < 0 ? "" : ", slot " + std::to_string(command.slot)) +
                             ", pdu command : " + command.body + " }");
        }
        for (size_t waiting = answers.size(); waiting > 0;) {
            std::optional<std::string> message = controller->next(answer_time);
            if (!message) {
                ADD_FAILURE() << when << ": " << waiting << " commands unanswered";
                return;
            }
            if (message->find("pdu response :") == std::string::npos)
                continue;
            const int answered = std::atoi(message->c_str() + message->find("seq ") + 4);
            auto entry = answers.find(answered);
            if (entry == answers.end() || entry->second++ != 0)
                ADD_FAILURE() << when << ": an answer to no command waiting: " << *message;
            else
                --waiting;
        }
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

    // When the fault hit the daemon, the line that says so, if one is expected, is on its error
    // stream after `from`.
    void expect_logged(bool hit, const std::string& text, size_t from, const std::string& when)
    {
        if (!hit || text.empty())
            return;
        auto errors = [&] { return gateway.daemon->errors().substr(from); };
        EXPECT_TRUE(eventually([&] { return errors().find(text) != std::string::npos; }, milliseconds(5000)))
            << when << ": no \"" << text << "\" in:\n" << errors().substr(0, 1500);
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

TEST_P(Faults, EachEndsInALogLineNeverInACrashASpinOrALostAnswer)
{
    const DeviceCase& device = GetParam();
    const std::vector<Command> destroy = destroys(device.make);

    // Each request of the device fails while its slots are made and used.
    Strings requests = gateway.board.command(std::string("requests ") + device.device);
    for (const std::string& request : requests) {
        const uint32_t code = std::stoul(request.substr(0, request.find(' ')), nullptr, 16);
        const std::string name = request.substr(request.find(' ') + 1);
        const std::string when = name + " failing";
        gateway.board.clear_journal();
        const size_t log_size = gateway.daemon->errors().size();
        gateway.board.fail(device.device, code, EIO, 1000000);
        run(device.make, when);
        // Requests made every second or so (the trunks' status, the BRI chips' registers) meet it too.
        std::this_thread::sleep_for(milliseconds(1100));
        gateway.board.fail(device.device, code, EIO, 0);
        run(destroy, when);
        auto logged = device.logs.find(name);
        expect_logged(hit("EIO"), logged == device.logs.end() ? "Input/output error" : logged->second, log_size, when);
    }

    // The device is absent while its slots are made.
    gateway.board.clear_journal();
    const size_t log_size = gateway.daemon->errors().size();
    gateway.board.set_absent(device.device, true);
    run(device.make, "absent");
    gateway.board.set_absent(device.device, false);
    run(destroy, "absent");
    expect_logged(hit("ENOENT"), device.absent, log_size, "absent");
    expect_no_spin("after its requests failed and it was absent");

    // Its latest open stalls and drains, gets a record too short for anything and ends (a device
    // that the daemon opens only for a request has none left open).
    run(device.make, "stream faults");
    if (open_now()) {
        gateway.board.set_draining(device.device, false);
        run({{-1, "ping : NULL"}}, "stalled");
        gateway.board.set_draining(device.device, true);
        gateway.board.push(device.device, {0});
        gateway.board.end_of_file(device.device);
        run({{-1, "ping : NULL"}}, "at its end");
        expect_no_spin("after its end");
    }
    run(destroy, "after its end");
    ASSERT_TRUE(gateway.daemon->running());
    run(device.make, "made again");
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
