// How a slot names itself in log lines, and the signals its event translators make of driver events.

#include "scripted_service.h"
#include "test_slot.h"
#include "../foundation/reactor/reactor_test_support.h"

#include "server/ctrl_server.h"
#include "server/slots.h"

#include <gtest/gtest.h>

#include <functional>
#include <iomanip>
#include <sstream>

namespace {

using servertest::TestSlot;
using Strings = std::vector<std::string>;

std::string put(unsigned id, const char* name)
{
    TestSlot slot(name, -1, -1);
    slot.id = id;
    std::ostringstream out;
    out << slot << '|' << std::setw(3) << 7;
    return out.str();
}

TEST(SlotPut, NumberColonName)
{
    EXPECT_EQ(put(5, "trunk"), "05:trunk|  7");
    EXPECT_EQ(put(1023, "x"), "1023:x|  7");
    EXPECT_EQ(put(1500, "x"), "i1500:x|  7");
    EXPECT_EQ(put(Slot::no_id, "x"), "na:x|  7");
}

TEST(SlotEvents, TranslatorsMakeSignalsOrLogWhatTheyDrop)
{
    CtrlSrv::Server server;
    servertest::ScriptedService front;
    server.Bind(&front);
    server.Bind(Slots::instance());
    TestSlot slot("x", -1, -1);
    slot.id = 3;
    reactortest::CaptureStream errors(std::cerr);

    // Each event, with the signals it made and the lines it logged.
    struct Case {
        std::function<void()> event;
        Strings signals;
        std::string logged;
    };
    const std::vector<Case> cases{
        {[&] { slot.processTonecEvent(17, 100); }, {"tonec : { timestamp 100, event ced : NULL }"}, ""},
        {[&] { slot.processTonecEvent(18, 0); }, {"tonec : { timestamp 0, event cng : NULL }"}, ""},
        {[&] { slot.processTonecEvent(0, 1); }, {"tonec : { timestamp 1, event dtmf : 0 }"}, ""},
        {[&] { slot.processTonecEvent(127, 2); }, {"tonec : { timestamp 2, event dtmf : 127 }"}, ""},
        {[&] { slot.processTonecEvent(0x0500, 3); }, {"tonec : { timestamp 3, event iva : code : 5 }"}, ""},
        {[&] { slot.processTonecEvent(0x1500, 4); }, {"tonec : { timestamp 4, event iva : ringoff : NULL }"}, ""},
        {[&] { slot.processTonecEvent(0x1600, 5); }, {}, "bad DTMF code, ignored.\n"},
        {[&] { slot.processTonecEvent(0x80, 5); }, {}, "bad DTMF code, ignored.\n"},
        {[&] { slot.processTonecEvent(0xFFFFFF00, 5); }, {}, "bad DTMF code, ignored.\n"},
        {[&] { slot.processToneGenEvent(); }, {"tonec : { timestamp 0, event dtmfDone : NULL }"}, ""},
        {[&] { slot.processToneFltEvent(2100, 1); },
         {"tonec : { timestamp 0, event tone-presence : { freq 2100, presence TRUE } }"},
         ""},
        {[&] { slot.processToneFltEvent(2100, 0); },
         {"tonec : { timestamp 0, event tone-presence : { freq 2100, presence FALSE } }"},
         ""},
        {[&] { slot.processVADEvent(-1, -1); }, {}, "bad VAD event, ignored.\n"},
        {[&] { slot.processVADEvent(-1, 0); }, {"vad : { vad-tx FALSE }"}, ""},
        {[&] { slot.processVADEvent(2, 1); }, {"vad : { vad-rx TRUE, vad-tx TRUE }"}, ""},
        {[&] { slot.processSDEvent(-1); }, {}, "bad SD event, ignored.\n"},
        {[&] { slot.processSDEvent(0); }, {"sd : { sd-rx FALSE }"}, ""},
        {[&] { slot.processFlagsEvent(0xA0000000, 0xA0000000); },
         {"vad : { vad-rx TRUE }", "selcal : { in-progress TRUE }"},
         ""},
        {[&] { slot.processFlagsEvent(0xFFFFFFFF, 0x40000000); }, {"vad : { vad-tx TRUE }"}, ""},
        {[&] { slot.processFlagsEvent(0x00000000, 0x80000000); }, {"selcal : { in-progress FALSE }"}, ""},
        {[&] { slot.processFlagsEvent(0xFFFFFFFF, 0x1FFFFFFF); }, {}, ""},
        {[&] { slot.processBSSEvent(0.25f); }, {"bss : { score \"0.250000\" }"}, ""},
        {[&] { slot.processBSSEvent(-1e30f); }, {"bss : { score \"-10000000150474662198766888550\" }"}, ""},
        {[&] { slot.processRtpEvent(1, 7, 3000); }, {"rtp : pd : { value 7, timeout 3000 }"}, ""},
        {[&] { slot.processRtpEvent(2, 7, 3000); }, {}, ""},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        front.events.clear();
        size_t before = errors.text().size();
        cases[i].event();
        Strings signals;
        for (const std::string& event : front.events)
            signals.push_back(event.substr(event.find(' ') + 1));
        EXPECT_EQ(signals, cases[i].signals) << "case " << i;
        EXPECT_EQ(servertest::without_unsent(errors.text().substr(before)), cases[i].logged) << "case " << i;
    }
    Slots::instance()->server = nullptr;
}

}  // namespace
