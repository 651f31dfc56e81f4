#include "monitoring/snmp_agent_ctrl.h"

#include "monitoring/i_snmp_agent_notify.h"
#include "monitoring/monitoring_ctl.h"

#include "foundation/tshark_fields.h"
#include "support/fake_snmp_agent.h"
#include "support/temp_root.h"
#include "../foundation/reactor/reactor_test_support.h"

#include <gmock/gmock.h>

namespace {

using Strings = std::vector<std::string>;

using FakeAgent = testsupport::FakeSnmpAgent;

class SnmpLink : public reactortest::ReactorTest, public ISnmpAgentNotify {
protected:
    void OnSnmpAgentConnect(const std::string& name) override { names.push_back(name); }

    // Runs reactor passes with the clock frozen at `ms` after the start, until done() holds or
    // ten seconds of real time have gone.
    bool at(unsigned ms, const std::function<bool()>& done)
    {
        Mux::timeval now = start;
        Mux::timevaladd(now, Mux::make_from_msec(ms));
        Mux::set_cached_time_for_tests(now);
        struct Check {
            void run() { (held = done()) || std::chrono::steady_clock::now() > end ? multiplexer.terminate() : void(); }
            std::function<bool()> done;
            std::chrono::steady_clock::time_point end;
            bool held = false;
        } check{done, std::chrono::steady_clock::now() + std::chrono::seconds(10)};
        // Never due on the frozen clock: it keeps each poll to a millisecond.
        Timer tick;
        tick.set(1, [] {});
        Dpc dpc;
        dpc.Bind(&check, &Check::run);
        dpc.Activate();
        multiplexer.run(false, true);
        return check.held;
    }

    static std::string set(int uniq, const std::string& table, const std::string& object, int index, const char* value)
    {
        return "{ uniq " + std::to_string(uniq) + ", id name : { section \"" + table + "\", name \"" + object +
               "\", index " + std::to_string(index) + " }, value \"" + value + "\" }";
    }

    Mux::timeval start = [] { Mux::timeval now; Mux::gettimeval(now); return now; }();
    reactortest::CaptureStream debug{std::clog}, errors{std::cerr}, out{std::cout};
    FakeAgent vask, qx, lemzgw;
    IniFile::File file;
    Strings names;
    SnmpAgentCtrl link;
};

TEST_F(SnmpLink, ItemsReachTheAgentsOfTheirTypesPingsKeepThemAndSilentOnesAreDropped)
{
    std::istringstream("[snmpagent]\nhost=" + vask.host() + "\nname=vask\n[snmpagent]\nhost=" + qx.host() +
                       "\nname=4\n[snmpagent]\nhost=" + lemzgw.host() + "\nname=lemzgw\n[snmpagent]\nhost=10.0.0.5\n"
                       "name=vask\n[snmpagent]\nhost=10.0.0.256:705\nname=vask\n[snmpagent]\nhost=127.0.0.1:0\n"
                       "name=vask\n[snmpagent]\nhost=127.0.0.1:705\nname=vask2\n") >> file;
    link.Bind(this);
    link.CreateInstances(file["snmpagent"]);
    for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(link.agents().at(i)->state(), i < 3 ? SnmpAgentInstance::started : SnmpAgentInstance::not_started);
    EXPECT_THAT(errors.text(), testing::ContainsRegex("^(snmpagent: [^\n]*\n){3}$"));
    ASSERT_TRUE(at(0, [&] { return names.size() == 3; }));
    EXPECT_THAT(names, testing::UnorderedElementsAre("vask", "4", "lemzgw"));

    // Trap receivers and ready lists go to every agent at once, queued items in one batch per type.
    link.SendTrapsink({"10.1.1.1", "10.1.1.2:162"});
    MON::SnmpSetCommands ready;
    ASSERT_TRUE(ready.setFromValueNotation("{ commands { " + set(77, "../x", "a/b", 0, "v") + " } }"));
    link.Send(ready);
    link.Send(SnmpAgentCtrl::powerStatus, "3");
    link.Send(SnmpAgentCtrl::temperature, "45");
    link.Send(SnmpAgentCtrl::sgBuildVersion, 2, std::string("b7\0x", 4));
    link.Send(SnmpAgentCtrl::MonitoringItemType(35), "lost");
    link.Send(MON::SnmpSetCommands()), link.SendTrapsink({});
    ASSERT_TRUE(at(0, [&] { return vask.messages().size() + qx.messages().size() + lemzgw.messages().size() == 8; }));
    const std::string batch = "{ pdu command : snmp-set : { commands { ";
    const Strings both{
        "{ pdu command : snmp-trapsink-set : { trapsinks { { host \"10.1.1.1\" }, { host \"10.1.1.2:162\" } } } }",
        batch + set(77, "../x", "a/b", 0, "v") + " } } }"};
    EXPECT_THAT(vask.texts, testing::ElementsAre(both[0], both[1],
                                                 batch + set(1, "gatewayCommon", "powerStatus", 0, "3") + ", " +
                                                     set(3, "gatewayCommon", "temperature", 0, "45") + " } } }"));
    EXPECT_THAT(qx.texts, testing::ElementsAre(both[0], both[1],
                                               batch + set(2, "gatewayCommon", "powerStatus", 0, "3") + ", " +
                                                   set(4, "statusGeneral", "sgBuildVersion", 2, "b7") + " } } }"));
    EXPECT_EQ(lemzgw.texts, both);

    // Every 5 s a ping; "lemzgw.qx" answers each with bytes that do not decode, still a sign of life.
    const std::string ping = "{ pdu command : ping : NULL }";
    for (unsigned ms = 5000; ms <= 35000; ms += 5000) {
        ASSERT_TRUE(at(ms, [&] { return qx.messages().size() + vask.messages().size() == 6 + ms / 2500; })) << ms;
        EXPECT_EQ(qx.texts.back() + vask.texts.back(), ping + ping);
        // Exactly 30 s of silence is not yet too much.
        EXPECT_TRUE(ms == 35000 || !vask.closed) << ms;
        const size_t reported = errors.text().size();
        ASSERT_EQ(send(qx.peer, "\3\0\0\5\xFF", 5, MSG_NOSIGNAL), 5);
        ASSERT_TRUE(at(ms, [&] { return errors.text().size() > reported; }));
    }
    ASSERT_TRUE(at(35000, [&] { return vask.messages(), lemzgw.messages(), vask.closed && lemzgw.closed &&
                                       link.agents()[0]->state() == SnmpAgentInstance::connection_lost; }));
    EXPECT_EQ(link.agents()[1]->state(), SnmpAgentInstance::connected);
    EXPECT_EQ(std::count(lemzgw.texts.begin(), lemzgw.texts.end(), ping), 7);
    // Bytes that are no frame are logged under the name of the agent that sent them.
    ASSERT_EQ(send(qx.peer, "\x07", 1, MSG_NOSIGNAL), 1);
    const std::string bad_start = "snmpagent.4 " + qx.host() + " bad TPKT packet start.\n";
    EXPECT_TRUE(at(35000, [&] { return debug.text().find(bad_start) != std::string::npos; })) << debug.text();
    // So are a length too small for a frame and, 3 s on, a frame whose rest never came.
    ASSERT_EQ(send(qx.peer, "\3\0\0\3\3\0\0\x08\1", 9, MSG_NOSIGNAL), 9);
    const std::string too_small = "snmpagent.4 " + qx.host() + " TPKT too small 3\n";
    EXPECT_TRUE(at(35000, [&] { return debug.text().find(too_small) != std::string::npos; })) << debug.text();
    const std::string timeout = "snmpagent.4 " + qx.host() + " TPKT packet timeout.\n";
    EXPECT_TRUE(at(38000, [&] { return debug.text().find(timeout) != std::string::npos; })) << debug.text();

    // The TPKT frames as they came, read by tshark as segments of one TCP stream to the TPKT port
    // (their payloads are no transport PDUs, which tshark would look for inside). The test set-up
    // installs tshark: without it the wire goes unchecked, which is a failure, not a pass.
    ASSERT_TRUE(foundationtest::tshark_available()) << "tshark or text2pcap is missing";
    std::string framing;
    for (const auto& frame : vask.frames)
        framing += "3|" + std::to_string(frame.size()) + "||\n";
    EXPECT_EQ(foundationtest::tshark_fields(vask.frames, "-T 40000,102",
                                            "--disable-protocol cotp -T fields -E separator='|' -e tpkt.version "
                                            "-e tpkt.length -e _ws.expert -e _ws.malformed"),
              framing);

    // The bytes of the batch, read by an independent decoder: Erlang/OTP's ASN.1 coder.
    const std::string export_file = testsupport::build_program("asn1/gen/export/MON.asn");
    if (std::system("command -v escript >/dev/null 2>&1") != 0 || !std::filesystem::exists(export_file))
        GTEST_SKIP() << "escript (Erlang/OTP) or the plain ASN.1 export of MON is missing";
    testsupport::TempRoot work;
    std::filesystem::copy_file(export_file, work / "/MON.asn");
    std::string hex;
    for (auto byte = vask.frames[2].begin() + 4; byte != vask.frames[2].end(); ++byte)
        hex += {"0123456789ABCDEF"[*byte >> 4], "0123456789ABCDEF"[*byte & 15]};
    std::ofstream(work / "/cases")
        << "{1, 'MON', 'Message', <<16#" << hex << ":" << hex.size() * 4 << ">>, {'Message', {command, {'snmp-set', "
        << "{'SnmpSetCommands', [{'SnmpSetCommand', 1, {name, {'IniName', \"gatewayCommon\", \"powerStatus\", 0}}, "
        << "\"3\"}, {'SnmpSetCommand', 3, {name, {'IniName', \"gatewayCommon\", \"temperature\", 0}}, \"45\"}]}}}}}.\n";
    const std::string escript =
        std::filesystem::path(__FILE__).parent_path().parent_path() / "asn1/crosscheck/erlang_per.escript";
    ASSERT_EQ(std::system(("escript " + escript + " crosscheck " + work.path() + " " + (work / "/beam") + " " +
                           (work / "/cases") + " " + (work / "/results") + " >/dev/null").c_str()), 0);
    EXPECT_EQ(work.read_file("/results"), "1 " + hex + " ok\n");
}

TEST_F(SnmpLink, AnAgentWrittenToMoreOftenThanThePingIntervalIsPingedWhenSilentAndKeptWhileItAnswers)
{
    std::istringstream("[snmpagent]\nhost=" + vask.host() + "\nname=vask\n") >> file;
    link.CreateInstances(file["snmpagent"]);
    ASSERT_TRUE(at(0, [&] { return link.agents()[0]->state() == SnmpAgentInstance::connected; }));

    // A ready list every 2 s, as from a controller's snmp-set commands. The agent sends nothing but
    // an answer to each ping (bytes that do not decode: a sign of life all the same, and the error
    // line shows when it has been read).
    MON::SnmpSetCommands ready;
    ASSERT_TRUE(ready.setFromValueNotation("{ commands { " + set(1, "t", "o", 0, "v") + " } }"));
    const std::string ping = "{ pdu command : ping : NULL }";
    unsigned answered = 0;
    for (unsigned ms = 0, seen = 0; ms <= 40000; ms += 2000) {
        // The timers due by now fire on the first pass; a ping they send comes before the list.
        at(ms, [] { return true; });
        link.Send(ready);
        ASSERT_TRUE(at(ms, [&] { return vask.messages().size() > seen && vask.texts.back() != ping; })) << ms;
        for (; seen < vask.texts.size(); ++seen) {
            if (vask.texts[seen] != ping)
                continue;
            const size_t reported = errors.text().size();
            ASSERT_EQ(send(vask.peer, "\3\0\0\5\xFF", 5, MSG_NOSIGNAL), 5);
            ASSERT_TRUE(at(ms, [&] { return errors.text().size() > reported; })) << ms;
            answered = ms;
        }
        // Pinged within a step of 5 s of silence, never dropped.
        ASSERT_LE(ms - answered, 6000u) << "no ping since " << answered;
        ASSERT_EQ(link.agents()[0]->state(), SnmpAgentInstance::connected) << ms;
    }
}

}  // namespace

namespace {

size_t pushes(FakeAgent& agent)
{
    const Strings& texts = agent.messages();
    return std::count_if(texts.begin(), texts.end(),
                         [](const std::string& text) { return text.find("snmp-set") != std::string::npos; });
}

TEST_F(SnmpLink, TheMonitoringServicePushesItsWholeStateOncePerPassOfAgentsComingUpOrFramerChanges)
{
    // Made before the service, the root outlives it: it lasts as long as the process. Later tests
    // move TOVRASEL_ROOT; the service empties its tree at exit, so it is put back first.
    static testsupport::TempRoot root;
    root.write_file("/proc/driver/hdlc/peb22554/0", "");
    MonitoringCtl& service = *MonitoringCtl::instance();
    std::atexit([] { setenv("TOVRASEL_ROOT", root.path().c_str(), 1); });
    std::istringstream("[snmpagent]\nhost=" + vask.host() + "\nname=vask\n[snmpagent]\nhost=" + qx.host() +
                       "\nname=vask\n") >> file;
    service.Configure(file);
    ASSERT_TRUE(at(0, [&] { return pushes(vask) > 0 && pushes(qx) > 0; }));
    // Everything the service had to send is out once a few passes have run and something it sends
    // at once, the trap receivers, has come after it.
    LGCP::DisplayParams receivers;
    ASSERT_TRUE(receivers.setFromValueNotation("snmpTrapReceivers : { \"10.1.1.1\" }"));
    const std::string sinks = "{ pdu command : snmp-trapsink-set : { trapsinks { { host \"10.1.1.1\" } } } }";
    auto settled = [&] {
        auto sent = [&](FakeAgent& agent) {
            const Strings& texts = agent.messages();
            return std::count(texts.begin(), texts.end(), sinks);
        };
        const auto before = sent(vask);
        int checks = 0;
        at(0, [&] { return ++checks > 8; });
        service.OnDisplayCMD(receivers);
        return at(0, [&] { return sent(vask) > before && sent(qx) > before; });
    };
    ASSERT_TRUE(settled());
    const size_t first = pushes(vask);
    EXPECT_EQ(pushes(qx), first);

    // Two agents coming up in one pass: one push, which every agent gets.
    service.OnSnmpAgentConnect("vask"), service.OnSnmpAgentConnect("vask");
    ASSERT_TRUE(settled());
    EXPECT_EQ(pushes(vask), first + 1);
    EXPECT_EQ(pushes(qx), first + 1);

    // A trunk without a framer changes nothing; a framer's trunk state pushes once, on the next pass.
    LGCP::Signal signal;
    ASSERT_TRUE(signal.setFromValueNotation(
        "trunkStatus : { trunk 3, state lossCarrier, slips 0, lossBF 0, lossCarrier 0, lossAIS 0, lossRAI 0, "
        "name \"e1\", clockMaster FALSE, type e1 }"));
    service.OnSignal(signal);
    ASSERT_TRUE(settled());
    EXPECT_EQ(pushes(vask), first + 1);
    signal.get_trunkStatus()->set_trunk(0);
    service.OnSignal(signal);
    service.OnSignal(signal);
    ASSERT_TRUE(settled());
    EXPECT_EQ(pushes(vask), first + 2);
    EXPECT_EQ(pushes(qx), first + 2);
    EXPECT_NE(vask.texts[vask.texts.size() - 2].find("name \"e1StatusDsc\", index 1 }, value \"No Carrier\""),
              std::string::npos);

    // The BRI line of the same number is no E1 framer: its reports change nothing.
    ASSERT_TRUE(signal.setFromValueNotation(
        "trunkStatus : { trunk 0, state normal, slips 0, lossBF 0, lossCarrier 0, lossAIS 0, lossRAI 0, "
        "name \"bri\", clockMaster FALSE, type bri }"));
    service.OnSignal(signal);
    ASSERT_TRUE(settled());
    EXPECT_EQ(pushes(vask), first + 2);
}

}  // namespace
