#include "slots/circuit/mixer.h"

#include "slots/circuit/mixer_factory.h"
#include "slots/circuit/tdm_input.h"
#include "slots/circuit/tdm_output.h"

#include "foundation/util/ext_header.h"

#include <cerrno>
#include <cstring>
#include <iostream>

namespace Mixer {

namespace {

// The weight of a channel the server adds without a gain of the controller.
constexpr int32_t full_weight = 32767;

// " fail : <system error text>" of the last failed request.
std::ostream& failed(std::ostream& out) { return out << " fail : " << std::strerror(errno); }

}  // namespace

void Mixer::PutHeader(std::ostream& out) const { out << "mixer [" << unit << "]: "; }

bool Mixer::Channel2Slot(const LGCP::MixerChannel& channel, mix_slot& slot) const
{
    const ASN1::INTEGER* tdm = channel.get_tdm();
    if (!tdm)
        return false;
    slot = tdm_slot(tdm->getValue());
    return true;
}

int Mixer::TdmChannel(const LGCP::MixerChannel& channel) const
{
    const ASN1::INTEGER* tdm = channel.get_tdm();
    int number = tdm ? tdm->getValue() : -1;
    return number < MixerFactory::instance()->TdmChannels() ? number : -1;
}

int Mixer::channel2timeslot(int channel)
{
    int timeslot = mixer_ctl(MIX_TDM, tdm_slot(channel));
    if (timeslot < 0)
        std::cerr << ext::header(this) << "MIX_TDM" << " dev_no=" << unit << " type=" << 0 << " number=" << channel
                  << failed << std::endl;
    return timeslot;
}

bool Mixer::Held(int channel) const
{
    for (const MixerSlot* slot : slots)
        if (slot->Channel() == channel) {
            std::cerr << ext::header(this) << "channel " << channel << " is held by a live slot" << std::endl;
            return true;
        }
    return false;
}

Slot* Mixer::New(const LGCP::MixerInParams& params)
{
    int channel = TdmChannel(params.get_channel());
    if (channel >= 0 && Held(channel))
        return nullptr;
    int timeslot = channel < 0 ? -1 : channel2timeslot(channel);
    if (timeslot < 0)
        return nullptr;
    auto* input = new TdmInput(*this, channel, timeslot);
    if (params.hasOptionalField(LGCP::MixerInParams::Optional::summator)) {
        if (const ASN1::INTEGER* summator = params.get_summator().get_tdm()) {
            input->summatorSet = true;
            input->summator = summator->getValue();
            if (mixer_ctl(MIX_RX_ADD, mix_input{tdm_slot(input->summator), tdm_slot(channel), full_weight}) < 0)
                std::cerr << ext::header(this) << "MIX_RX_ADD" << failed << std::endl;
        } else {
            std::cerr << ext::header(this) << "wrong summator coding !" << std::endl;
        }
    }
    if (params.hasOptionalField(LGCP::MixerInParams::Optional::ecm)) {
        const LGCP::EchoCancelMode& mode = params.get_ecm();
        input->echoCancel(mode.get_ec().getValue() || mode.get_es().getValue());
    }
    Register(input);
    return input;
}

Slot* Mixer::New(const LGCP::MixerOutParams& params)
{
    int channel = TdmChannel(params.get_channel());
    // Setting the sum up would rewrite the one of the slot that holds the channel.
    if (channel >= 0 && Held(channel))
        return nullptr;
    if (!SetTX(params))
        return nullptr;
    int timeslot = channel < 0 ? -1 : channel2timeslot(channel);
    if (timeslot < 0) {
        // The sum set up for it would go on sounding on a channel nobody owns.
        ClearTX(params.get_channel());
        return nullptr;
    }
    auto* output = new TdmOutput(*this, channel, timeslot);
    Register(output);
    return output;
}

bool Mixer::ClearTX(const LGCP::MixerChannel& channel)
{
    mix_slot slot;
    if (!Channel2Slot(channel, slot)) {
        std::clog << ext::header(this) << "ClearTX error: translation fail" << std::endl;
        return false;
    }
    if (mixer_ctl(MIX_RX_CLEAR, slot) < 0) {
        std::cerr << ext::header(this) << "MIX_RX_CLEAR" << " dev_no=" << slot.dev_no << " type=" << slot.type
                  << " number=" << slot.number << failed << std::endl;
        return false;
    }
    return true;
}

bool Mixer::SetTX(const LGCP::MixerOutParams& params)
{
    const LGCP::MixerChannel& output = params.get_channel();
    if (!ClearTX(output))
        return false;
    mix_input record;
    Channel2Slot(output, record.rx);  // translated by ClearTX
    bool added = true;
    if (params.get_inputs().empty()) {
        record.tx = record.rx;
        record.weight = full_weight;
        added = mixer_ctl(MIX_RX_ADD, record) >= 0;
    }
    for (auto input = params.get_inputs().begin(); added && input != params.get_inputs().end(); ++input) {
        if (!Channel2Slot(input->get_channel(), record.tx)) {
            std::cerr << ext::header(this) << "SetTX error: translation fail [2]" << std::endl;
            ClearTX(output);
            return false;
        }
        record.weight = input->get_gain().getValue();
        added = mixer_ctl(MIX_RX_ADD, record) >= 0;
    }
    if (!added) {
        std::cerr << ext::header(this) << "MIX_RX_ADD" << failed << std::endl;
        // A partial sum would leave the output half configured.
        ClearTX(output);
    }
    return added;
}

void Mixer::Release(TdmInput& input)
{
    input.StopDialing();
    if (input.summator >= 0) {
        // The driver does not read the weight of a removal; it goes as zero, not as stack garbage.
        mix_input record{tdm_slot(input.summator), tdm_slot(input.channel), 0};
        if (mixer_ctl(MIX_RX_REMOVE, record) < 0)
            std::cerr << ext::header(this) << "MIX_RX_REMOVE" << " rx.number=" << input.summator
                      << " tx.number=" << input.channel << failed << std::endl;
    }
    UnRegister(&input);
}

void Mixer::Release(TdmOutput& output)
{
    output.StopDialing();
    std::clog << ext::header(this) << "clear tdm output " << output.channel << std::endl;
    mixer_ctl(MIX_RX_CLEAR, tdm_slot(output.channel));
    UnRegister(&output);
}

void Mixer::Reset()
{
    std::clog << ext::header(this) << "clear all inputs" << std::endl;
    int failures = 0;
    for (int number = 0; number < MixerFactory::instance()->TdmChannels(); ++number)
        if (mixer_ctl(MIX_RX_CLEAR, tdm_slot(number)) < 0)
            ++failures;
    if (failures)
        std::cerr << ext::header(this) << "reset fail: " << failures << " errors." << std::endl;
}

void Mixer::Clear()
{
    for (MixerSlot* slot : slots) {
        slot->Vanish();
        slot->OnAbort(0);
    }
}

void Mixer::Register(MixerSlot* slot) { slots.push_back(slot); }

void Mixer::UnRegister(MixerSlot* slot)
{
    slots.remove(slot);
    CheckForDestroy();
}

void Mixer::CheckForDestroy()
{
    if (vanished && slots.empty())
        delete this;
}

}  // namespace Mixer
