#pragma once

// The ED-137 radio control of the radio's side of the link (the gateway): it takes PTT commands
// from the voice system only when the radio can transmit, sends the commanded state in the rx form
// at least every status interval as a keep-alive, and reports the voice system's silence beyond
// keep-alive period x multiplier, at every expiry until it is heard again.

#include "slots/rtp/ed137_radio_control.h"

namespace RTPSignalling {

class ED137RadioGWControl : public ED137RadioControl {
public:
    using ED137RadioControl::ED137RadioControl;

    // Supervision and keep-alive; the delay to the next run: the interval, or the rest of it until
    // the keep-alive falls due, and 10 ms more.
    unsigned long ProcessRadioStatus(unsigned long now, unsigned long interval) override;
    // A radio that transmits (types radio-txrx, radio, coupling in the modes tx and txrx).
    bool AccessFormChanToRadio(const ED137RadioState& state) override;
    int EncodeProto(const ED137RadioState& state, r2s_proto& proto) override;
};

}  // namespace RTPSignalling
