#pragma once

// The per-timeslot front end of the board's tone and DTMF processor "/dev/dtmf". A media slot that
// owns a TDM time slot inherits it (privately), names its time slot and takes the detector's
// events; the receiver offers the slot DTMF detection and rejection, the echo canceller, IVA
// detection, the dual-tone generator, DTMF and SELCAL dialling and the ring-back cadence. The
// requests themselves go through the one TonecReceiverService.

#include "asn1/modules/LGCP.h"
#include "asn1/modules/TERM.h"
#include "foundation/reactor/timer.h"
#include "foundation/util/cyclic_list.h"

#include <cstdint>

namespace Hardware {

class TonecReceiverService;

class TonecReceiver : private Containers::CyclicList {
public:
    // One detector event: the driver's code and timestamp, unchanged.
    struct Params {
        uint32_t code;
        uint32_t timestamp;
    };

    // Joins the ring of tone receivers at its tail; issues no request.
    TonecReceiver();
    // Leaves the ring and drops a pending dialling step; issues no request (see CleanBeforeDestroy).
    virtual ~TonecReceiver();
    TonecReceiver(const TonecReceiver&) = delete;
    TonecReceiver& operator=(const TonecReceiver&) = delete;

    virtual void tonec_event(const Params& params) = 0;
    virtual int tonec_timeslot() const = 0;
    // DTMF dialling has finished.
    virtual void tone_gen_complete();

    // Switches off in the driver what this receiver switched on; the owner calls it before
    // destroying the receiver.
    void CleanBeforeDestroy();

    bool configureDTMF(const LGCP::DTMFParams& params);
    bool enableDTMF(bool on);
    bool disableDTMF();
    bool echoCancel(bool on);
    bool enableDTMFReject(bool on);
    // Frequencies in Hz and levels; each must fit 16 bits in the driver's record.
    bool enableToneGenerator(int freq1, int freq2, int level1, int level2);
    bool enableSilence();
    // Without force it acts only while dialling; it ends the dialling or the ring-back cadence.
    bool disableToneGenerator(bool force);
    bool enableIVA(bool on);
    bool configureIVA(const LGCP::IVAParams& params);
    // Plays the digits as tones and pauses, then reports tone_gen_complete(); a list given while
    // dialling replaces the digits still to come.
    void translateDTMF(const LGCP::TranslateDtmfParams& params);
    void translateSelcal(const TERM::SelcalCommand& command);
    // Ring-back: 425 Hz for 1000 ms, silence for 3000 ms, until cancelled.
    void activateAudibleCall();
    // Ends the ring-back; DTMF dialling goes on.
    void cancelAudibleCall();

private:
    friend class TonecReceiverService;

    static TonecReceiverService& service();
    unsigned timeslot() const { return static_cast<unsigned>(tonec_timeslot()); }

    // The steps of dialling and of the ring-back cadence, armed one at a time on step_.
    void pause_end();
    void tone_end();
    void ringback_tone();
    void ringback_silence();

    bool enabled = false;  // accepts detector events: the DTMF detector was enabled under `id`
    Timer step_;
    bool dialing = false;
    bool generator_on = false;  // the generator was last given something other than all zero
    uint32_t id = 0;  // the event id of the last successful DTMF detector enable
    LGCP::TranslateDtmfParams dial_list_;  // digits still to be played, with the list's options
    bool iva_on = false;
    bool dtmf_on = false;
    bool reject_on = false;
};

// Every live tone receiver, oldest first.
extern Containers::CyclicList receivers;

}  // namespace Hardware
