#pragma once

// One B channel of a QSIG D-channel slot, added to the DSP data driver at creation and removed
// from it at destruction. It does not keep its D channel alive: it finds it again by its slot
// number, and only when that number still holds the same D channel.

#include "server/slot.h"

#include <cstdint>
#include <ostream>

class AtsQsigBSlot : public Slot {
public:
    AtsQsigBSlot(uint32_t parent, uint64_t parent_serial, uint32_t index, int channel);

    bool IBeforeDestroy() override;
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return true; }
    int IGetTransmitChannel() override { return channel; }
    int IGetReceiveChannel() override { return channel; }
    const char* GetName() const override { return "ATS-QSIG-B"; }
    void PutHeader(std::ostream& out) const { out << "ats-qsig-b: "; }

    const uint32_t parent;  // the controller slot number of the D channel
    const uint32_t index;   // the controller's subslot less one
    const int channel;      // as the driver gave it

private:
    const uint64_t parent_serial_;
};
