// Slot commands through the running daemon on the emulated board, counted in commands per second.
//
// BM_SlotCommands, on the bare board: rounds: 1024 trunk slots created, connected in pairs through
// the TDM switch and destroyed; the E1 trunks have 128 time slots, so the slots go in eight rounds
// of 128 slot numbers, and the commands of each step of a round are sent at once and their answers
// awaited. Burst: every trunk time slot of the board (128 E1, 32 BRI) created, connected in pairs
// and destroyed, all 400 commands sent at once.
//
// BM_SlotType/<type>, on the fitted board (emulator/boards/default.board, with stand-ins for the
// child programs): as many slots of the type as the board has room for made and used (connected,
// activated, given user data or an ioctl, as the type takes them) in one batch, then destroyed in
// another. The "errors" counter is the error answers per pass.
//
// BM_MixedSlotsRss: 1024 slots of every type live at once; "rss_MiB" is the daemon's resident memory
// then (the target is at most 80 MiB), "slots" the daemon's own count.

#include "soak/daemon_probe.h"
#include "soak/slot_mix.h"
#include "soak/soak_controller.h"
#include "soak/soak_gateway.h"
#include "tests/support/daemon_process.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using soak::Command;
using soak::SoakController;

std::string n(int value) { return std::to_string(value); }

std::string create_trunk(const char* kind, int trunk, int timeslot)
{
    return std::string("create : ") + kind + " : { trunk " + n(trunk) + ", timeslot " + n(timeslot) + " }";
}

// Sends the batch; true once every command of it is answered with success.
bool all_succeed(SoakController& controller)
{
    const uint64_t errors = controller.errors();
    return controller.run() && controller.errors() == errors;
}

constexpr int rounds = 8;
constexpr int round_slots = 128;

// Slot number n of a round holds E1 trunk n / 32, time slot n % 32; even numbers feed the odd ones.
bool rounds_cycle(SoakController& controller)
{
    for (int round = 0; round < rounds; ++round) {
        int first = round * round_slots;
        for (int slot = first; slot < first + round_slots; ++slot)
            controller.add(slot, create_trunk("trunk", (slot - first) / 32, (slot - first) % 32));
        if (!all_succeed(controller))
            return false;
        for (int slot = first; slot < first + round_slots; slot += 2)
            controller.add(slot, "connect : " + n(slot + 1));
        if (!all_succeed(controller))
            return false;
        for (int slot = first; slot < first + round_slots; ++slot)
            controller.add(slot, "destroy : NULL");
        if (!all_succeed(controller))
            return false;
    }
    return true;
}

constexpr int e1_slots = 128;
constexpr int board_slots = e1_slots + 32;

// Slots 0-127 hold the E1 time slots, 128-159 those of the eight BRI lines (four each).
bool burst_cycle(SoakController& controller)
{
    for (int slot = 0; slot < board_slots; ++slot)
        controller.add(slot, slot < e1_slots ? create_trunk("trunk", slot / 32, slot % 32)
                                             : create_trunk("trunk_bri", (slot - e1_slots) / 4, (slot - e1_slots) % 4));
    for (int slot = 0; slot < board_slots; slot += 2)
        controller.add(slot, "connect : " + n(slot + 1));
    for (int slot = 0; slot < board_slots; ++slot)
        controller.add(slot, "destroy : NULL");
    return all_succeed(controller);
}

void BM_SlotCommands(benchmark::State& state)
{
    const bool burst = state.range(0) == 1;
    testsupport::DaemonProcess daemon;
    SoakController controller;
    if (!controller.connect(daemon.port())) {
        state.SkipWithError("the daemon does not listen");
        return;
    }
    for (auto _ : state) {
        if (!(burst ? burst_cycle(controller) : rounds_cycle(controller))) {
            state.SkipWithError("a slot command failed");
            break;
        }
    }
    // items_per_second: slot commands per second.
    const int commands = burst ? board_slots * 5 / 2 : rounds * (round_slots * 2 + round_slots / 2);
    state.SetItemsProcessed(state.iterations() * commands);
}

BENCHMARK(BM_SlotCommands)->ArgName("burst")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// One slot type: how many instances the fitted board has room for, how many slot numbers each
// takes, and the commands that make and use instance i on the slots from `first` on.
struct SlotType {
    const char* name;
    int count;
    int slots;
    std::function<std::vector<Command>(int i, int first, const soak::MixSettings&)> make;
};

const std::string lemz_flags = "{ prio 3, ptt FALSE, bss TRUE, vad-rx FALSE, vad-tx FALSE, sql FALSE, sh FALSE, "
                               "pwr FALSE, rv FALSE, resv FALSE, selcall 1, li 5 }";

std::string create_rtp(const std::string& payload, const std::string& radio)
{
    return "create : rtp : { codecRTP { payload " + payload + ", dhost { iaddr \"127.0.0.1\", port 30000 }" + radio +
           " }, txPayload " + payload + ", rxPayload " + payload + " }";
}

// A modem of the kind on slot `first`, started by E1 trunk 3's time slot `timeslot` on the next slot.
std::vector<Command> modem(int first, const std::string& params, int timeslot)
{
    return {{first, "create : modem : { cid \"\", cdid \"\"" + params + " }"},
            {first + 1, create_trunk("trunk", 3, timeslot)},
            {first + 1, "connect : " + n(first)}};
}

// E1 trunks 0 to 2 serve the trunk slots, trunk 3 the modems' calls; the players, recorders and
// T.38 programs share the 64 transparent channels of the channel controller.
const std::vector<SlotType> slot_types = {
    {"trunk", 90, 1, [](int i, int first, auto&) { return std::vector<Command>{{first, create_trunk("trunk", i / 30, 1 + i % 30)}}; }},
    {"trunk_bri", 16, 1, [](int i, int first, auto&) {
         return std::vector<Command>{{first, create_trunk("trunk_bri", i / 2, 1 + i % 2)}};
     }},
    {"map", 128, 1, [](int i, int first, auto&) {
         return std::vector<Command>{{first, "create : map : { receiver { bus 1, channel " + n(i) + " } }"}};
     }},
    {"ext", 64, 1, [](int i, int first, auto&) {
         return std::vector<Command>{{first, "create : ext : { transmitter " + n(i) + ", receiver " + n(64 + i) + " }"}};
     }},
    {"mixer", 60, 2, [](int i, int first, auto&) {
         const std::string unit = "unit " + n(i % 2) + ", channel tdm : ";
         return std::vector<Command>{{first, "create : mixerOut : { " + unit + n(i / 2 * 2 + 1) + ", inputs { } }"},
                                     {first + 1, "create : mixerIn : { " + unit + n(i / 2 * 2 + 2) + ", summator tdm : " +
                                                     n(i / 2 * 2 + 1) + " }"}};
     }},
    {"voice_player", 28, 1, [](int, int first, auto&) {
         return std::vector<Command>{{first, "create : voice : player : file : { name { \"welcome\" }, repeat 1 }"}};
     }},
    {"voice_record", 28, 1, [](int, int first, const soak::MixSettings& settings) {
         return std::vector<Command>{
             {first, "create : voice : record : { iaddr \"127.0.0.1\", port " + n(settings.record_port) + " }"}};
     }},
    {"modem", 4, 2, [](int i, int first, auto&) { return modem(first, "", 1 + i); }},
    {"fax", 4, 2, [](int i, int first, auto&) { return modem(first, ", fax NULL", 5 + i); }},
    {"digital_modem", 8, 2, [](int i, int first, auto&) { return modem(first, ", ddm { ddm8BIT }", 9 + i); }},
    {"t38soft", 8, 1, [](int, int first, auto&) {
         return std::vector<Command>{
             {first, "create : t38soft : { dhost { iaddr \"127.0.0.1\", port 4000 }, shost { iaddr \"127.0.0.1\", port "
                     "5000 }, rx-packet-size 160, rx-threshold 1, tx-threshold 2, args { } }"}};
     }},
    {"rtp", 60, 1, [](int, int first, auto&) {
         return std::vector<Command>{{first, create_rtp("ptG711-Alaw", "")}, {first, "ioctl : dtmf-enable : TRUE"}};
     }},
    {"rtp_lemz", 30, 1, [](int, int first, auto&) {
         return std::vector<Command>{
             {first, create_rtp("ptG729", ", radio { status lemz : { flags " + lemz_flags +
                                              ", freq { channel 3, frequency \"145.5\" }, remote { no 1, ch 2 }, "
                                              "squelshe on, rte h3e, standby-state-channel active, standby-group 7, "
                                              "standby-state-receiver standby } }")},
             {first, "ioctl : rtpExt : lemz : { addr { session-addr \"127.0.0.5\", session-ssrc 9 }, params wm-flags : "
                     "{ flags " + lemz_flags + " } }"}};
     }},
    {"rtp_ed137", 30, 1, [](int, int first, auto&) {
         return std::vector<Command>{
             {first, create_rtp("ptG729", ", pfactor 2, radio { status ed-137 : { header { ptt ptt-off, squ squ-on, "
                                          "ptt-id 9, ptt-mute FALSE, ptt-summation TRUE, sct TRUE } } }")},
             {first, "ioctl : rtpExt : ed-137 : { addr { session-addr \"10.0.0.5\", session-ssrc 7 }, params rx : { "
                     "header { ptt normal-ptt-on, squ squ-on, ptt-id 5, ptt-mute FALSE, ptt-summation FALSE, sct FALSE "
                     "} } }"}};
     }},
    {"pstn_ss7", 8, 1, [](int i, int first, auto&) {
         return std::vector<Command>{
             {first, "create : pstn : ss7 : { trunk 1, slc " + n(i) + ", dpc 2, opc 1, emergency FALSE }"},
             {first, "ioctl : ss7RqBSN : NULL"}};
     }},
    {"pstn_isdn", 4, 1, [](int i, int first, auto&) {
         return std::vector<Command>{
             {first, "create : pstn : isdn : { type pri, trunk " + n(i) + ", log 0, side user : NULL }"},
             {first, "activate : empty : NULL"}};
     }},
    {"pstn_cas", 4, 1, [](int i, int first, auto&) {
         return std::vector<Command>{{first, "create : pstn : cas : { trunk " + n(i) + " }"}};
     }},
    {"isdn", 8, 1, [](int i, int first, auto&) {
         return std::vector<Command>{{first, "create : isdn : { type bri, trunk " + n(i) + ", log 0, side user : NULL }"},
                                     {first, "activate : empty : NULL"},
                                     {first, "userData : '08010505'H"}};
     }},
    {"qsig", 8, 2, [](int, int first, auto&) {
         return std::vector<Command>{{first, "create : ats-qsig : { side network : NULL, log 0 }"},
                                     {first, "activate : empty : NULL"},
                                     {first + 1, "create : ats-qsig-b : { slot " + n(first) + ", subslot 1 }"}};
     }},
    {"mcc", 8, 1, [](int, int first, auto&) {
         return std::vector<Command>{{first, "create : mcc : { type data, mode standard }"}, {first, "userData : '0102'H"}};
     }},
    {"hdlc", 8, 1, [](int i, int first, auto&) {
         return std::vector<Command>{{first, "create : hdlcParams : { trunk 1, log 0, address " + n(258 + i) + " }"},
                                     {first, "ioctl : hdlcPackages : { { body '0102'H } }"}};
     }},
};

// The fitted board with a controller that has had the resource report (which finds the mixers).
struct FittedBoard {
    soak::SoakGateway gateway;
    SoakController controller;
    soak::MixSettings settings{gateway.record_port(), gateway.digital_modems()};

    bool ready()
    {
        if (!controller.connect(gateway.port()))
            return false;
        controller.add(-1, "query : NULL");
        return controller.run();
    }
    // Makes the instances of the type from slot `first` on; the slot after the last.
    int make(const SlotType& type, int count, int first, std::vector<int>& made)
    {
        for (int i = 0; i < count; ++i, first += type.slots)
            for (const Command& command : type.make(i, first, settings)) {
                controller.add(command.slot, command.body);
                if (command.body.rfind("create", 0) == 0)
                    made.push_back(command.slot);
            }
        return first;
    }
    bool destroy(const std::vector<int>& made)
    {
        for (auto slot = made.rbegin(); slot != made.rend(); ++slot)
            controller.add(*slot, "destroy : NULL");
        const bool answered = controller.run();
        // What the fax programs do at their end, which the stand-ins leave undone.
        gateway.release_kept_modems();
        return answered;
    }
};

void BM_SlotType(benchmark::State& state, const SlotType& type)
{
    FittedBoard board;
    if (!board.ready()) {
        state.SkipWithError("the daemon does not answer");
        return;
    }
    if (std::string(type.name) == "digital_modem" && !board.settings.digital_modems) {
        state.SkipWithError("no network namespace of its own for the digital modems' interfaces");
        return;
    }
    const uint64_t commands = board.controller.commands();
    const uint64_t errors = board.controller.errors();
    for (auto _ : state) {
        std::vector<int> made;
        board.make(type, type.count, 0, made);
        if (!board.controller.run() || !board.destroy(made)) {
            state.SkipWithError(board.controller.failure().c_str());
            break;
        }
    }
    state.SetItemsProcessed(board.controller.commands() - commands);
    state.counters["errors"] = benchmark::Counter(double(board.controller.errors() - errors),
                                                  benchmark::Counter::kAvgIterations);
}

void BM_MixedSlotsRss(benchmark::State& state)
{
    FittedBoard board;
    if (!board.ready()) {
        state.SkipWithError("the daemon does not answer");
        return;
    }
    soak::DaemonProbe probe(board.gateway.daemon_pid(), board.gateway.root());
    soak::DaemonFigures live;
    for (auto _ : state) {
        std::vector<int> made;
        int first = 0;
        for (const SlotType& type : slot_types)
            if (std::string(type.name) != "digital_modem" || board.settings.digital_modems)
                first = board.make(type, type.count, first, made);
        // The rest of the 1024 on the backplane's bus 2 to 4.
        for (int channel = 0; first < 1024; ++first, ++channel) {
            board.controller.add(first, "create : map : { receiver { bus " + n(2 + channel / 128) + ", channel " +
                                            n(channel % 128) + " } }");
            made.push_back(first);
        }
        if (!board.controller.run()) {
            state.SkipWithError(board.controller.failure().c_str());
            break;
        }
        state.PauseTiming();
        live = probe.figures();
        state.ResumeTiming();
        if (!board.destroy(made)) {
            state.SkipWithError(board.controller.failure().c_str());
            break;
        }
    }
    state.counters["rss_MiB"] = double(live.rss_kib) / 1024;
    state.counters["slots"] = double(live.slots);
    state.counters["errors"] = double(board.controller.errors());
    std::string errors;
    for (const auto& [kind, count] : board.controller.error_kinds())
        errors += (errors.empty() ? "" : ", ") + kind + " x" + n(int(count));
    state.SetLabel(errors);
}

const bool registered = [] {
    for (const SlotType& type : slot_types)
        benchmark::RegisterBenchmark((std::string("BM_SlotType/") + type.name).c_str(),
                                     [&type](benchmark::State& state) { BM_SlotType(state, type); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    benchmark::RegisterBenchmark("BM_MixedSlotsRss", BM_MixedSlotsRss)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();
    return true;
}();

}  // namespace
