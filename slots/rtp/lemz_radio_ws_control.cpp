#include "slots/rtp/lemz_radio_ws_control.h"

namespace RTPSignalling {

int LemzRadioWSControl::PutProtoFromRadioToChan(const LemzRadioState& state)
{
    MergeGatewayCommand(state, commanded);
    return isDefaultInitCommand(state.command) ? -1 : 0;
}

int LemzRadioWSControl::PutProtoFromChanToRadio(const LemzRadioState& state)
{
    reported.transAddr = state.sourceAddr;
    reported.transSsrc = state.sourceSsrc;
    MergeGatewayReport(state, reported, false);
    return isDefaultInitCommand(state.command) ? -1 : 0;
}

int LemzRadioWSControl::EncodeProto(const LemzRadioState& state, sig_proto& record)
{
    return PackState(state, record, GW_FLAG, GW_ADJUST_STANDBY);
}

}  // namespace RTPSignalling
