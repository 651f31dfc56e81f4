#pragma once

// A QSIG D channel served by the DSP data driver "/dev/dsp-data", always at primary rate; its
// B channels are added to and removed from the driver on the same descriptor.

#include "signalling/slots/isdn_slot.h"

#include <cstdint>

class AtsQsigSlot : public IsdnSlot {
public:
    static constexpr uint32_t channel_code = 0x40044211;     // the result is the D channel's channel
    static constexpr uint32_t add_b_code = 0x8008420F;       // {index, -1}: the driver writes the channel
    static constexpr uint32_t remove_b_code = 0x80084210;    // {index, channel}

    AtsQsigSlot(Fd fd, int channel, ISDN::LAPD* link);

    bool IBeforeDestroy() override;
    const char* GetName() const override { return "ATS-QSIG"; }

    // Adds B channel `index` to the driver; the channel it gives, or -1 (logged), also once the D
    // channel has ended.
    int NewBChannel(uint32_t index);
    // Nothing once the D channel has ended.
    void RemoveBChannel(uint32_t index, int channel);

    // Tells this D channel from a later one that takes over its slot number.
    const uint64_t serial;

private:
    static uint64_t last_serial_;
};
