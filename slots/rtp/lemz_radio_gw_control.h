#pragma once

// The gateway side of the LEMZ radio control: it takes the commands (types 1 to 13) that the peer
// sends to the radio gateway, reports the radio's state back (types 129 to 135) and repeats those
// reports from its status timer, so that a peer that joins late or lost a packet learns the state
// within a second. While a transmitter holds the PTT, packets of other senders are accepted only
// when they take the PTT with a higher priority.

#include "slots/rtp/lemz_radio_control.h"

namespace RTPSignalling {

class LemzRadioGWControl : public LemzRadioControl {
public:
    using LemzRadioControl::LemzRadioControl;

    // Sends what is due of the flag, channel, remote-channel and standby reports; the delay until
    // the oldest of them is due.
    unsigned long ProcessRadioStatus(unsigned long now, unsigned long interval) override;

    // A report merges into the commanded state; 0 when it is to be sent.
    int PutProtoFromRadioToChan(const LemzRadioState& state) override;
    // A command merges into the reported state, its sender as the transmitter.
    int PutProtoFromChanToRadio(const LemzRadioState& state) override;
    bool AccessFormChanToRadio(const LemzRadioState& state) override;
    // Only the reports are sent: -1 for any other command.
    int EncodeProto(const LemzRadioState& state, sig_proto& record) override;
};

}  // namespace RTPSignalling
