#include "slots/circuit/play_slot_generic.h"

#include "slots/circuit/voice_factory.h"

#include "foundation/os/device.h"

PlaySlotGeneric::PlaySlotGeneric(Fd channel) : VoiceSlot(Device::request(channel, timeslot_code), channel) {}

bool PlaySlotGeneric::IBeforeDestroy()
{
    if (factory)
        static_cast<VoiceFactory*>(factory)->OnDestroy(this);
    return true;
}
