#pragma once

// The summing-mixer driver "/dev/mixer": its request codes, its records and the one call that
// issues a request. The records are kept as plain values and written in the board's byte order
// only when a request goes out.

#include <cstddef>
#include <cstdint>

namespace Mixer {

// Request codes of the driver, type 'M'.
constexpr uint32_t MIX_RX_CLEAR = 0x800C4D02;   // mix_slot: empty the channel's sum
constexpr uint32_t MIX_RX_ADD = 0x801C4D03;     // mix_input: add tx to the sum of rx
constexpr uint32_t MIX_RX_REMOVE = 0x801C4D04;  // mix_input: take tx out of the sum of rx
constexpr uint32_t MIX_TDM = 0x800C4D06;        // mix_slot: the result is the channel's switch channel
// Coded as a write, yet the driver fills the record in: the unit after the one passed.
constexpr uint32_t MIX_ENUM = 0x80104D07;

// One mixer channel (12 bytes).
struct mix_slot {
    int32_t dev_no = 0;  // the unit
    int32_t type = 0;    // 0: a TDM channel
    int32_t number = 0;  // the channel within the unit
};

// A source and the summator it is added to or removed from (28 bytes).
struct mix_input {
    mix_slot rx;         // the summator
    mix_slot tx;         // the source
    int32_t weight = 0;  // signed
};

// One step of the enumeration of the units (16 bytes).
struct mix_enum {
    int32_t unit = -1;  // -1 before the first step, then the unit answered last
    int32_t tdm_channels = 0;
    int32_t reserved = 0;  // not read
    int32_t mixer_inputs = 0;
};

// Opens the device read-only for this one request and closes it again; the driver's result, or
// -1 with the request's errno (also when the device does not open).
int mixer_ctl(uint32_t request, uint8_t* record, size_t size);
int mixer_ctl(uint32_t request, const mix_slot& slot);
int mixer_ctl(uint32_t request, const mix_input& input);
// The record is updated with the driver's answer.
int mixer_ctl(uint32_t request, mix_enum& step);

}  // namespace Mixer
