#pragma once

// The workstation side of the LEMZ radio control, opposite the gateway: it sends the commands
// (types 1 to 13) and takes the gateway's reports (types 129 to 135) from every sender. It repeats
// nothing.

#include "slots/rtp/lemz_radio_control.h"

namespace RTPSignalling {

class LemzRadioWSControl : public LemzRadioControl {
public:
    using LemzRadioControl::LemzRadioControl;

    // A command merges into the commanded state; 0 when it is to be sent.
    int PutProtoFromRadioToChan(const LemzRadioState& state) override;
    // A report merges into the reported state, its sender as the transmitter unless it names one.
    int PutProtoFromChanToRadio(const LemzRadioState& state) override;
    // Only the commands are sent: -1 for any other.
    int EncodeProto(const LemzRadioState& state, sig_proto& record) override;
};

}  // namespace RTPSignalling
