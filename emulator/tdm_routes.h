#pragma once

// What the TDM switch model connects, for the models whose channels the switch joins to the lines
// (the channel controller's frame channels that a test taps by line channel).

#include <cstdint>

namespace Emulator {

// The channel that drives a switch output, or -1 when the output is disabled, driven with a
// constant, out of range, or there is no switch.
int32_t switch_source(int32_t output);

}  // namespace Emulator
