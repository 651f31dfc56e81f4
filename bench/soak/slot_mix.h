#pragma once

// The commands of the soak: rounds that make a slot of every type on the fitted board, connect
// them through the switch, use them (activation, user data, ioctl), tell the monitoring service
// what it displays, and destroy the slots again. The
// slot numbers move through the table from round to round, and so do the time slots, channels and
// mixer units they take.

#include <string>
#include <vector>

namespace soak {

struct Command {
    int slot;          // -1: a command without a slot
    std::string body;  // after "pdu command :", in value notation
};

struct MixSettings {
    int record_port = 0;          // where voice recorders send what they record
    bool digital_modems = false;  // whether the host has the digital modems' interfaces
};

class SlotMix {
public:
    static constexpr int slots_per_round = 30;

    explicit SlotMix(const MixSettings& settings) : settings_(settings) {}

    // What makes the slots of round n, connects and uses them.
    std::vector<Command> build(int round) const;
    // What destroys them.
    std::vector<Command> teardown(int round) const;
    // Signalling frames that the board hands the latest signalling channel of a round, as hex
    // records for the emulator's push.
    std::vector<std::string> frames(int round) const;

private:
    static int base(int round);

    MixSettings settings_;
};

}  // namespace soak
