#include "slots/rtp/lemz_radio_gw_control.h"

#include <algorithm>

namespace RTPSignalling {

namespace {

// The least time between two reports of one kind that the timer sends.
constexpr uint32_t report_spacing_ms = 1000;
// Added to the delay so that the oldest report is surely due when the timer fires.
constexpr uint32_t due_margin_ms = 10;

}  // namespace

unsigned long LemzRadioGWControl::ProcessRadioStatus(unsigned long now_ms, unsigned long interval)
{
    const auto now = uint32_t(now_ms);
    // Across the wrap of the millisecond clock too; a time ahead of now counts as none.
    auto elapsed = [now](uint32_t since) { return int32_t(now - since) > 0 ? now - since : 0u; };
    auto send = [this, now](int32_t command, uint32_t& last) {
        commanded.command = command;
        sig_proto record;
        if (EncodeProto(commanded, record) == 0) {
            SendProtoToChan(record);
            last = now;
        }
    };
    if (elapsed(lastFlagSend) >= report_spacing_ms)
        send(commanded.ptt ? WM_TRANS : WM_FLAG, lastFlagSend);
    if (elapsed(lastChannelSend) >= report_spacing_ms && commanded.channel >= 0 && commanded.frequency >= 0.0f)
        send(WM_CHAN, lastChannelSend);
    if (commanded.remoteNo >= 0 && commanded.remoteCh >= 0)
        send(WM_SELECT_RC_CHAN, lastRemoteSend);
    if (elapsed(lastStandbySend) >= report_spacing_ms && commanded.standbyChannel >= 0 &&
        commanded.standbyGroup >= 0 && commanded.standbyReceiver >= 0)
        send(WM_STANDBY, lastStandbySend);

    const uint32_t oldest = std::max(
        {elapsed(lastFlagSend), elapsed(lastChannelSend), elapsed(lastRemoteSend), elapsed(lastStandbySend)});
    return oldest > 0 && oldest < interval ? interval - oldest + due_margin_ms : interval;
}

int LemzRadioGWControl::PutProtoFromRadioToChan(const LemzRadioState& state)
{
    MergeGatewayReport(state, commanded, true);
    return isDefaultInitCommand(state.command) ? -1 : 0;
}

int LemzRadioGWControl::PutProtoFromChanToRadio(const LemzRadioState& state)
{
    reported.transAddr = state.sourceAddr;
    reported.transSsrc = state.sourceSsrc;
    MergeGatewayCommand(state, reported);
    return isDefaultInitCommand(state.command) ? -1 : 0;
}

bool LemzRadioGWControl::AccessFormChanToRadio(const LemzRadioState& state)
{
    return commanded.ptt == 0 || commanded.transAddr == ownAddress.address() ||
        (isPTTCommand(state.command) && state.prio < commanded.prio && state.ptt != 0) ||
        commanded.transAddr == state.sourceAddr;
}

int LemzRadioGWControl::EncodeProto(const LemzRadioState& state, sig_proto& record)
{
    return PackState(state, record, WM_FLAG, WM_STANDBY);
}

}  // namespace RTPSignalling
