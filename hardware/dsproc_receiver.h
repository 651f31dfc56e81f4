#pragma once

// The per-timeslot front end of the board's voice-processing device "/dev/dsp". A media slot that
// owns a TDM time slot inherits it (privately) beside its tone receiver, names its time slot and
// takes the events; the receiver switches and configures the DSP features of the time slot (voice
// activity detection, BSS scoring, the noise gate, the SELCAL shaper, SD detection, muting, tone
// filters, delays and receive gain). The requests go through the one DSProcReceiverService.

#include "asn1/modules/LGCP.h"
#include "foundation/util/cyclic_list.h"

#include <cstdint>

// Event payloads of the DSP driver, read from its event record.
struct dsproc_bss_event {
    float score;
};
struct dsproc_tone_event {
    uint32_t frequency;
    uint8_t presence;  // non-zero: the tone is present
};
struct dsproc_flags_event {
    uint32_t flags;
    uint32_t mask;  // which bits of flags are valid
};

namespace Hardware {

class DSProcReceiverService;

// Voice activity per direction: -1 where the event does not report the direction, else the
// driver's value (non-zero: voice).
struct DSProcVADEvent {
    int32_t rx;
    int32_t tx;
};
struct DSProcSDEvent {
    int32_t rx;
};

class DSProcReceiver : private Containers::CyclicList {
public:
    // Joins the ring of DSP receivers at its tail; issues no request.
    DSProcReceiver();
    virtual ~DSProcReceiver();
    DSProcReceiver(const DSProcReceiver&) = delete;
    DSProcReceiver& operator=(const DSProcReceiver&) = delete;

    virtual void dsproc_vad_event(const DSProcVADEvent& event) = 0;
    virtual void dsproc_bss_event(const ::dsproc_bss_event* event) = 0;
    virtual void dsproc_sd_event(const DSProcSDEvent& event) = 0;
    virtual void dsproc_tone_flt_event(const dsproc_tone_event* event) = 0;
    virtual void dsproc_flags_event(const ::dsproc_flags_event* event) = 0;
    virtual int dsproc_timeslot() const = 0;

    // Switches off what this receiver turned on (SD and mute excepted) and always disables every
    // tone filter of the time slot; the owner calls it before destroying the receiver.
    void CleanBeforeDestroy();

    bool configureVAD(const LGCP::VADParams& params);
    bool enableVAD(bool on);
    bool disableVAD();
    bool enableBSS(bool on);
    bool disableBSS();
    bool enableNG(bool on);
    bool disableNG();
    bool enableSelcalSh(bool on);
    bool disableSelcalSh();
    bool configureSD();
    bool enableSD(bool on);
    bool disableSD();
    bool enableMute(bool rx, bool tx);
    bool disableMute();
    bool configureDelays(unsigned rx, unsigned tx, unsigned selcal);
    // The gain in dB must fit one signed byte of the driver's record.
    bool configureRxGain(int gain);
    bool configureToneFilter(unsigned freq, unsigned enable, int duration_ms, int level_dB);
    void disableToneAll();

private:
    friend class DSProcReceiverService;

    // A feature's state: -1 not yet known, 0 off, 1 on; and the event id of its last enable.
    struct Feature {
        int32_t state;
        uint32_t id;
    };

    static DSProcReceiverService& service();
    unsigned timeslot() const { return static_cast<unsigned>(dsproc_timeslot()); }

    Feature vad_{-1, 0};
    Feature bss_{0, 0};
    Feature ng_{0, 0};
    Feature selcal_sh_{0, 0};
    Feature sd_{-1, 0};
    int32_t mute_rx_ = -1;
    int32_t mute_tx_ = -1;
    uint32_t mute_id_ = 0;
    bool delays_set = false;  // the last configureDelays had a non-zero value
    bool gain_set = false;    // the last configureRxGain had a non-zero gain
};

// Every live DSP receiver, oldest first.
extern Containers::CyclicList dsproc_receivers;

}  // namespace Hardware
