// Slot commands through the running daemon on the emulated board, counted in commands per second.
// Rounds: 1024 trunk slots created, connected in pairs through the TDM switch and destroyed; the
// E1 trunks have 128 time slots, so the slots go in eight rounds of 128 slot numbers, and the
// commands of each step of a round are sent at once and their answers awaited. Burst: every trunk
// time slot of the board (128 E1, 32 BRI) created, connected in pairs and destroyed, all 400
// commands sent at once.

#include "tests/support/daemon_process.h"

#include "asn1/modules/LGCP.h"
#include "asn1/runtime/coder_env.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <iterator>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <vector>

namespace {

constexpr int rounds = 8;
constexpr int round_slots = 128;

// A controller that sends batches of commands and counts the answers, leaving the signals aside.
class Controller : public testsupport::LoopbackConnection {
public:
    // Adds a command, written in value notation, to the batch.
    void add(const std::string& message)
    {
        LGCP::Message value;
        ASN1::CoderEnv environment;
        std::vector<char> payload;
        if (!value.setFromValueNotation(message) || !ASN1::encode(value, &environment, std::back_inserter(payload)))
            throw std::runtime_error("cannot encode " + message);
        size_t length = payload.size() + 4;
        batch_.insert(batch_.end(), {3, 0, static_cast<char>(length >> 8), static_cast<char>(length & 0xFF)});
        batch_.insert(batch_.end(), payload.begin(), payload.end());
        ++commands_;
    }

    // Sends the batch; true once every command of it is answered with success.
    bool run()
    {
        bool sent = send(fd(), batch_.data(), batch_.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(batch_.size());
        batch_.clear();
        bool succeeded = sent;
        for (; sent && commands_ > 0; --commands_) {
            LGCP::Message answer;
            do {
                if (!next(answer))
                    return false;
            } while (!answer.get_pdu().get_response());
            succeeded = succeeded && answer.get_pdu().get_response()->get_success();
        }
        return succeeded;
    }

private:
    bool next(LGCP::Message& message)
    {
        while (received_.size() < 4 || received_.size() < frame_length()) {
            char buffer[65536];
            ssize_t length = recv(fd(), buffer, sizeof buffer, 0);
            if (length <= 0)
                return false;
            received_.insert(received_.end(), buffer, buffer + length);
        }
        size_t length = frame_length();
        ASN1::CoderEnv environment;
        bool decoded = ASN1::decode(received_.data() + 4, received_.data() + length, &environment, message, true);
        received_.erase(received_.begin(), received_.begin() + length);
        return decoded;
    }
    size_t frame_length() const
    {
        return size_t{static_cast<uint8_t>(received_[2])} << 8 | static_cast<uint8_t>(received_[3]);
    }

    std::vector<char> batch_;
    int commands_ = 0;
    std::vector<char> received_;
};

std::string command(int slot, const std::string& body)
{
    return "{ seq " + std::to_string(slot) + ", slot " + std::to_string(slot) + ", pdu command : " + body + " }";
}

std::string create_trunk(const char* kind, int trunk, int timeslot)
{
    return std::string("create : ") + kind + " : { trunk " + std::to_string(trunk) + ", timeslot " +
        std::to_string(timeslot) + " }";
}

// Slot number n of a round holds E1 trunk n / 32, time slot n % 32; even numbers feed the odd ones.
bool rounds_cycle(Controller& controller)
{
    for (int round = 0; round < rounds; ++round) {
        int first = round * round_slots;
        for (int n = 0; n < round_slots; ++n)
            controller.add(command(first + n, create_trunk("trunk", n / 32, n % 32)));
        if (!controller.run())
            return false;
        for (int n = 0; n < round_slots; n += 2)
            controller.add(command(first + n, "connect : " + std::to_string(first + n + 1)));
        if (!controller.run())
            return false;
        for (int n = 0; n < round_slots; ++n)
            controller.add(command(first + n, "destroy : NULL"));
        if (!controller.run())
            return false;
    }
    return true;
}

constexpr int e1_slots = 128;
constexpr int board_slots = e1_slots + 32;

// Slots 0-127 hold the E1 time slots, 128-159 those of the eight BRI lines (four each).
bool burst_cycle(Controller& controller)
{
    for (int n = 0; n < board_slots; ++n)
        controller.add(command(n, n < e1_slots ? create_trunk("trunk", n / 32, n % 32)
                                               : create_trunk("trunk_bri", (n - e1_slots) / 4, (n - e1_slots) % 4)));
    for (int n = 0; n < board_slots; n += 2)
        controller.add(command(n, "connect : " + std::to_string(n + 1)));
    for (int n = 0; n < board_slots; ++n)
        controller.add(command(n, "destroy : NULL"));
    return controller.run();
}

void BM_SlotCommands(benchmark::State& state)
{
    const bool burst = state.range(0) == 1;
    testsupport::DaemonProcess daemon;
    Controller controller;
    if (!controller.connect_to(daemon.port())) {
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

}  // namespace
