#include "slots/circuit/mixer_slot.h"

#include "slots/circuit/mixer.h"

#include "board/hw_mux.h"

#include "foundation/util/ext_header.h"

#include <iostream>

namespace Mixer {

bool MixerSlot::IBeforeDestroy()
{
    if (left) {
        mixer.UnRegister(this);
        return true;
    }
    HwMux::instance()->Disable(timeslot);
    ReleaseChannel();
    CleanFrontEnds();
    return true;
}

void MixerSlot::Vanish()
{
    // Silenced first when dialling, as at a destroy; an output's tone sounds without a dialling.
    if (dialing)
        enableSilence();
    StopToneGenerator(true);
    CleanFrontEnds();
    // The routes go with the unit: a listener would hear, and a source would feed, the returning
    // unit's slots on the channel.
    OnChangeOutputStream(false);
    OnChangeInputStream(false);
    left = true;
}

void MixerSlot::CleanFrontEnds()
{
    TonecReceiver::CleanBeforeDestroy();
    DSProcReceiver::CleanBeforeDestroy();
}

void MixerSlot::StopDialing()
{
    if (!dialing)
        return;
    enableSilence();
    StopToneGenerator(true);
}

bool MixerSlot::StopToneGenerator(bool force)
{
    dialing = false;
    return disableToneGenerator(force);
}

std::optional<bool> MixerSlot::SharedIoctl(const LGCP::IoctlParams& params)
{
    using Row = LGCP::IoctlParams;
    switch (params.currentSelection()) {
    case Row::translateDTMF:
        // An empty list completes inside the call.
        dialing = true;
        translateDTMF(*params.get_translateDTMF());
        return true;
    case Row::dtmf_params:
        return configureDTMF(*params.get_dtmf_params());
    case Row::vad_params:
        return configureVAD(*params.get_vad_params());
    case Row::vad_enable:
        return enableVAD(params.get_vad_enable()->getValue());
    case Row::vad_disable:
        return disableVAD();
    case Row::sd_params:
        return configureSD();
    case Row::sd_enable:
        return enableSD(params.get_sd_enable()->getValue());
    case Row::sd_disable:
        return disableSD();
    case Row::iva_enable:
        return enableIVA(params.get_iva_enable()->getValue());
    case Row::delays: {
        const LGCP::Delays& delays = *params.get_delays();
        using Field = LGCP::Delays::Optional;
        unsigned rx = delays.hasOptionalField(Field::rx) ? delays.get_rx().getValue() : 0;
        unsigned tx = delays.hasOptionalField(Field::tx) ? delays.get_tx().getValue() : 0;
        if (delays.hasOptionalField(Field::selcal))
            std::cerr << ext::header(&mixer) << "error: selcal delay isn't supported for mixer!!! Set to zero."
                      << std::endl;
        return configureDelays(rx, tx, 0);
    }
    case Row::tone_filter: {
        const LGCP::ToneFilter& filter = *params.get_tone_filter();
        return configureToneFilter(filter.get_freq().getValue(), filter.get_enable().getValue(),
                                   filter.get_duration_th_msec().getValue(), filter.get_det_level_dB().getValue());
    }
    default:
        return std::nullopt;
    }
}

void MixerSlot::dsproc_tone_flt_event(const dsproc_tone_event* event)
{
    processToneFltEvent(event->frequency, event->presence);
}

void MixerSlot::dsproc_flags_event(const ::dsproc_flags_event* event)
{
    processFlagsEvent(event->flags, event->mask);
}

}  // namespace Mixer
