// Fax programs and the software T.38 program driven by the test controller, with stand-in
// programs in the root: what they are started with (the argument lines the stand-ins write), what
// the controller hears of their ends, what the T.38 program's channel carries and its instance
// count.

#include "gateway.h"

#include "support/journal_requests.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <regex>
#include <sstream>

namespace {

using namespace systemtest;
using Lines = std::vector<std::string>;

const milliseconds answer_time(10000);

// The texts, then `count` more: the prefix followed by 0, 1, ...
Lines numbered(Lines texts, const std::string& prefix, int count)
{
    for (int n = 0; n < count; ++n)
        texts.push_back(prefix + std::to_string(n));
    return texts;
}

std::string answer(int seq, int slot, const std::string& text = "success : NULL")
{
    return "{ seq " + std::to_string(seq) + ", slot " + std::to_string(slot) + ", pdu response : " + text + " }";
}

std::string signal(int slot, const std::string& signal)
{
    return "{ slot " + std::to_string(slot) + ", pdu signal : " + signal + " }";
}

// The accounting of a fax program that handled the pages.
std::string pages(int slot, int count)
{
    return signal(slot, "modemProceeding : acct : { octetsOut { low 0, high 0 }, octetsIn { low " +
                            std::to_string(count) + ", high 0 }, packetsOut { low 0, high 0 }, packetsIn { low 0, "
                                                    "high 0 }, time { low 0, high 0 } }");
}

// The T.38 program that the daemon last said it started ("t38 daemon[<id>] successfully
// started"), while that process is the daemon's child and runs the program; else 0, so that a
// test never signals an id it misread or a process it did not start.
pid_t running_t38(Gateway& gateway)
{
    static const std::regex started("t38 daemon\\[([1-9][0-9]{0,8})\\] successfully started");
    const std::string errors = gateway.daemon->errors();
    std::string id;
    for (std::sregex_iterator match(errors.begin(), errors.end(), started), end; match != end; ++match)
        id = match->str(1);
    if (id.empty())
        return 0;
    // "<id> (<name>) <state> <parent> ...": the name may hold blanks and parentheses.
    const std::string stat = testsupport::file_text("/proc/" + id + "/stat");
    size_t name_end = stat.rfind(')');
    if (name_end == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(name_end + 1));
    char state = 0;
    pid_t parent = 0;
    fields >> state >> parent;
    const std::string program = gateway.root / "/usr/local/sbin/t38" + '\0';
    bool runs = testsupport::file_text("/proc/" + id + "/cmdline").find(program) != std::string::npos;
    return parent == gateway.daemon->pid() && runs ? std::stoi(id) : 0;
}

class FaxT38 : public ::testing::Test {
protected:
    // The stand-in becomes the program and does what the behaviour says.
    void stand_in(const std::string& program, const std::string& behaviour)
    {
        std::filesystem::copy_file(std::filesystem::path(__FILE__).parent_path() / "stand_in_program.sh",
                                   gateway.root.prepare(program), std::filesystem::copy_options::overwrite_existing);
        gateway.root.write_file("/stand-in/behaviour", behaviour);
    }
    // The texts quoted, as a stand-in's argument line (`json`: paths under the root) or as a
    // list in value notation.
    std::string quoted(const Lines& texts, bool json = true)
    {
        std::string line;
        for (const std::string& text : texts)
            line += (line.empty() ? "" : json ? "," : ", ") + ('"' + (json && text[0] == '/' ? gateway.root / text : text) + '"');
        return json ? "[" + line + "]\n" : "{ " + line + " }";
    }
    // Sends the command for the slot (none when negative); the next `count` messages the
    // controller hears.
    Lines send(int slot, const std::string& command, size_t count = 0)
    {
        controller->send("{ seq " + std::to_string(++seq) + (slot < 0 ? "" : ", slot " + std::to_string(slot)) +
                         ", pdu command : " + command + " }");
        return next(count);
    }
    Lines next(size_t count)
    {
        Lines taken;
        for (std::optional<std::string> message; taken.size() < count && (message = controller->next(answer_time));)
            taken.push_back(*message);
        return taken;
    }
    // A modem call (the modem parameters after `cdid`) on the next modem, fed by the trunk slot:
    // once the modem has reported its streams on its channel, the `count` messages the controller
    // hears.
    Lines modem(int slot, int channel, const std::string& params, size_t count, int trunk = 1)
    {
        send(slot, "create : modem : { cid \"\", cdid \"\"" + (params.empty() ? "" : ", " + params) + " }", 1);
        Lines heard = send(trunk, "connect : " + std::to_string(slot), 3 + count);
        const std::string stream = " : active : " + std::to_string(channel);
        EXPECT_EQ(Lines(heard.begin(), heard.begin() + std::min<size_t>(3, heard.size())),
                  (Lines{signal(slot, "transmitter" + stream), signal(slot, "receiver" + stream), answer(seq, trunk)}));
        return Lines(heard.begin() + std::min<size_t>(3, heard.size()), heard.end());
    }
    // The arguments the stand-ins have written, once there are `count` lines.
    std::string started(long count)
    {
        std::string text;
        eventually(
            [&] {
                text = gateway.root.read_file("/stand-in/argv");
                return std::count(text.begin(), text.end(), '\n') >= count;
            },
            answer_time);
        return text;
    }

    Gateway gateway{Gateway::quiet()};
    std::unique_ptr<ControllerProcess> controller = gateway.controller();
    int seq = 0;
};

TEST_F(FaxT38, FaxProgramsReportTheirPagesAsAccountingAndOneThatNeverRanOnlyAborts)
{
    gateway.board.set("/dev/mctl", "modems 4");
    send(1, "create : trunk : { trunk 0, timeslot 1 }", 3);
    // A transfer with the controller's arguments, at most 60 of them; its exit code counts the pages.
    stand_in("/usr/local/sbin/fax", "exit 3");
    EXPECT_EQ(modem(2, 480, "fax NULL, execargs " + quoted(numbered({}, "", 65), false), 2),
              (Lines{pages(2, 3), signal(2, "abort : 768")}));
    EXPECT_EQ(started(1), quoted(numbered({"/usr/local/sbin/fax", "-m", "0"}, "", 60)));
    // One that never ran handled no page. Each slot keeps its modem until its destroy.
    EXPECT_EQ(modem(3, 481, "fax NULL, execfile \"/usr/local/sbin/absent\", execargs { }", 1),
              Lines{signal(3, "abort : 512")});

    // A reception names its file by the local time of its start; a destroy hangs it up, and the
    // end of the program, after its accounting, answers the destroy.
    stand_in("/usr/local/bin/fax", "wait");
    std::time_t before = std::time(nullptr);
    EXPECT_EQ(modem(4, 482, "fax NULL", 0), Lines{});
    std::string received = started(2);
    received.erase(0, received.find('\n') + 1);
    Lines expected;
    for (std::time_t at = before; at <= std::time(nullptr); ++at) {
        char name[64];
        std::strftime(name, sizeof name, "/var/fax-%H-%M-%S.g3", std::localtime(&at));
        expected.push_back(quoted({"/usr/local/bin/fax", "-m", "2", "receive", name}));
    }
    EXPECT_NE(std::find(expected.begin(), expected.end(), received), expected.end()) << received;
    EXPECT_EQ(send(4, "destroy : NULL", 2), (Lines{pages(4, 0), answer(8, 4)}));
    ASSERT_TRUE(gateway.modem_free(2));

    // An outgoing fax without arguments only starts the call in the driver; its slot goes at once.
    EXPECT_EQ(modem(5, 482, "originate NULL, fax NULL", 0), Lines{});
    EXPECT_EQ(testsupport::device_requests(gateway.board, "/dev/mctl", "fax-originate"),
              Lines{"fax-originate modem=2 arg=-1 -> 0"});
    EXPECT_EQ(send(5, "destroy : NULL", 1), Lines{answer(11, 5)});
}

TEST_F(FaxT38, AFaxSlotHoldsItsModemUntilItsDestroyWhetherItsProgramReachedItOrNot)
{
    gateway.board.set("/dev/mctl", "modems 2");
    const Lines all_free{"modem=0 free", "modem=1 free"};
    send(1, "create : trunk : { trunk 0, timeslot 1 }", 3);
    // Destroys the slot, whose program's end first reports no page when `accounting` says so,
    // and waits until its modem is free.
    auto destroy = [this](int slot, bool accounting, int modem) {
        Lines expected{answer(seq + 1, slot)};
        if (accounting)
            expected.insert(expected.begin(), pages(slot, 0));
        EXPECT_EQ(send(slot, "destroy : NULL", expected.size()), expected) << slot;
        ASSERT_TRUE(gateway.modem_free(modem)) << slot;
    };
    // The modem and the fax modem of the README's session, whose pppd and fax program are
    // missing, many times over: each modem comes back with the destroy of its slot.
    for (int slot = 2; slot < 22; slot += 2) {
        ASSERT_EQ(modem(slot, 480, "", 1), Lines{signal(slot, "abort : 512")});
        ASSERT_EQ(modem(slot + 1, 481, "fax NULL, execargs { }", 1), Lines{signal(slot + 1, "abort : 512")});
        destroy(slot, false, 0);
        destroy(slot + 1, false, 1);
    }
    EXPECT_EQ(gateway.board.state("/dev/mctl"), all_free);

    // Programs that never open the modem: one that crashes, whose slot holds the modem after it,
    // a reception hung up by the destroy in the second before it runs, and a transfer hung up
    // while it runs.
    stand_in("/usr/local/sbin/fax", "kill KILL");
    for (int slot = 22; slot < 25; ++slot) {
        ASSERT_EQ(modem(slot, 480, "fax NULL, execargs { }", 2), (Lines{pages(slot, 0), signal(slot, "abort : 9")}));
        EXPECT_EQ(gateway.board.state("/dev/mctl").at(0).rfind("modem=0 file=", 0), 0u);
        destroy(slot, false, 0);
    }
    stand_in("/usr/local/sbin/fax", "wait");
    for (int slot = 25; slot < 31; slot += 2) {
        EXPECT_EQ(modem(slot, 480, "fax NULL", 0), Lines{});
        destroy(slot, true, 0);
        EXPECT_EQ(modem(slot + 1, 480, "fax NULL, execargs { }", 0), Lines{});
        started(4 + (slot - 25) / 2);
        EXPECT_EQ(gateway.board.state("/dev/mctl").at(0).rfind("modem=0 file=", 0), 0u);
        destroy(slot + 1, true, 0);
    }
    EXPECT_EQ(gateway.board.state("/dev/mctl"), all_free);
}

TEST_F(FaxT38, AFaxSlotWhoseProgramEndedKeepsItsModemAndItsRoutesUntilItsDestroy)
{
    gateway.board.set("/dev/mctl", "modems 2");
    for (int slot : {1, 2})
        send(slot, "create : trunk : { trunk 0, timeslot " + std::to_string(slot) + " }", 3);
    // Each modem call is connected both ways with its trunk slot; its program is missing.
    EXPECT_EQ(modem(3, 480, "fax NULL, execargs { \"x\" }", 1), Lines{signal(3, "abort : 512")});
    EXPECT_EQ(send(3, "connect : 1", 1), Lines{answer(5, 3)});
    // The next call gets another modem while the ended fax slot lives; nothing reaches trunk 1.
    gateway.board.clear_journal();
    EXPECT_EQ(modem(4, 481, "", 1, 2), Lines{signal(4, "abort : 512")});
    EXPECT_EQ(send(4, "connect : 2", 1), Lines{answer(8, 4)});
    EXPECT_EQ(testsupport::switch_requests(gateway.board),
              (Lines{"connect output=481 source=2 -> 0", "connect output=2 source=481 -> 0"}));
    // The fax slot's destroy takes down its own routes only and gives its modem to the next call.
    gateway.board.clear_journal();
    EXPECT_EQ(send(3, "destroy : NULL", 1), Lines{answer(9, 3)});
    EXPECT_EQ(testsupport::switch_requests(gateway.board),
              (Lines{"write output=480 value=213 -> 0", "write output=1 value=213 -> 0"}));
    ASSERT_TRUE(gateway.modem_free(0));
    EXPECT_EQ(modem(5, 480, "", 1), Lines{signal(5, "abort : 512")});
}

TEST_F(FaxT38, TheT38ProgramRunsOnItsChannelWithTheAddressesAndIsAskedForItsInstancesWithATimeLimit)
{
    const std::string create = "create : t38soft : { dhost { iaddr \"10.0.0.5\", port 4000 }, shost { iaddr "
                               "\"10.0.0.9\", port 5000 }, rx-packet-size 160, rx-threshold 1, tx-threshold 2, args ";
    // Missing, the program ends with 1005, of which the wait status keeps 237.
    EXPECT_EQ(send(1, create + "{ } }", 4),
              (Lines{answer(1, 1), signal(1, "transmitter : active : 256"), signal(1, "receiver : active : 256"),
                     signal(1, "abort : 60672")}));
    // At most 27 of the controller's arguments; the channel is its standard input.
    stand_in("/usr/local/sbin/t38", "write t38-frame");
    gateway.board.set("/dev/mcc/ctl", "next-timeslot 300");
    EXPECT_EQ(send(2, create + quoted(numbered({}, "-", 28), false) + " }", 3),
              (Lines{answer(2, 2), signal(2, "transmitter : active : 300"), signal(2, "receiver : active : 300")}));
    EXPECT_EQ(started(1), quoted(numbered({"/usr/local/sbin/t38", "--child", "--remote", "10.0.0.5/4000/5000"}, "-", 27)));
    EXPECT_TRUE(eventually([&] { return gateway.board.capture(300) == "t38-frame"; }, answer_time));
    EXPECT_NE(gateway.board.state("/dev/mcc/ctl").back().find(" timeslot=300 words=160,0,1,2 "), std::string::npos);
    // The destroy is answered at once, and SIGTERM ends the program and so its channel.
    EXPECT_EQ(send(2, "destroy : NULL", 1), Lines{answer(3, 2)});
    EXPECT_TRUE(eventually([&] { return gateway.board.state("/dev/mcc/ctl").empty(); }, answer_time));

    // A program killed by a signal is reported with it.
    stand_in("/usr/local/sbin/t38", "wait");
    EXPECT_EQ(send(3, create + "{ } }", 3).at(0), answer(4, 3));
    pid_t program = 0;
    ASSERT_TRUE(eventually([&] { return (program = running_t38(gateway)) > 0; }, answer_time));
    kill(program, SIGKILL);
    EXPECT_EQ(next(1), Lines{signal(3, "abort : 9")});
    EXPECT_TRUE(gateway.daemon->wait_for_errors("03:t38 soft: t38 daemon terminated by signal=9\n", answer_time));

    stand_in("/usr/local/sbin/t38", "count 4");
    Lines report = send(-1, "query : NULL", 2);
    EXPECT_NE(report.at(1).find(" t38-instances 4,"), std::string::npos) << report.at(1);
    // One that prints nothing is given up after 2 s; the heartbeat is answered meanwhile.
    stand_in("/usr/local/sbin/t38", "sleep 30");
    auto asked = std::chrono::steady_clock::now();
    send(-1, "query : NULL", 1);
    Lines answers = send(-1, "ping : NULL", 2);
    EXPECT_LT(std::chrono::steady_clock::now() - asked, milliseconds(3000));
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers.at(0), "{ seq 7, pdu response : success : NULL }");
    EXPECT_NE(answers.at(1).find(" t38-instances 0,"), std::string::npos) << answers.at(1);
}

}  // namespace
