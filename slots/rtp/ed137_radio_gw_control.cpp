#include "slots/rtp/ed137_radio_gw_control.h"

namespace RTPSignalling {

namespace {

// How late the timer runs after the keep-alive falls due, so that it finds it due.
constexpr uint32_t keep_alive_margin_ms = 10;

}  // namespace

unsigned long ED137RadioGWControl::ProcessRadioStatus(unsigned long time, unsigned long interval)
{
    const uint32_t now = static_cast<uint32_t>(time);
    const uint32_t timeout = params.keepAlivePeriod * params.keepAliveMultiplier;
    if (timeout && static_cast<int32_t>(now - lastReceive) >= 0 && now - lastReceive >= timeout && notify)
        notify->RadioControlNotify(silence_code);
    if (Elapsed(lastKeepAliveSend, now) >= interval) {
        // The keep-alive is the rx form of the commanded state, also after a tx-form command.
        toNetwork.flags = (toNetwork.flags & ~ED137RadioState::forms) | ED137RadioState::rx_form |
            ED137RadioState::header;
        if (EncodeProto(toNetwork, outgoing) == 0) {
            SendProto(outgoing);
            lastKeepAliveSend = now;
        }
    }
    const uint32_t elapsed = Elapsed(lastKeepAliveSend, now);
    return elapsed > 0 && elapsed < interval ? interval - elapsed + keep_alive_margin_ms : interval;
}

bool ED137RadioGWControl::AccessFormChanToRadio(const ED137RadioState&)
{
    const bool transmits = params.radioType == TERM::ED137RadioType::radio_txrx ||
        params.radioType == TERM::ED137RadioType::radio || params.radioType == TERM::ED137RadioType::coupling;
    return transmits && (params.txRxMode == TERM::ED137RadioTxRxMode::tx ||
                         params.txRxMode == TERM::ED137RadioTxRxMode::txrx);
}

int ED137RadioGWControl::EncodeProto(const ED137RadioState& state, r2s_proto& proto)
{
    switch (state.Form()) {
    case ED137RadioState::rx_form:
        r2s_proto_init(&proto, r2s_proto_rx);
        r2s_proto_set_rx_header(&proto, state.pttType, state.squ, state.pttId, state.pm, state.ptts, state.sct);
        // The quality index in the high five bits, the method in the low three, as peers read it.
        if (state.HasSQI())
            r2s_proto_add_rx_sqi(&proto, state.sqiQuality, state.sqiMethod);
        return 0;
    case ED137RadioState::tx_form:
        r2s_proto_init(&proto, r2s_proto_tx);
        r2s_proto_set_tx_header(&proto, state.pttType, state.pttId, state.pm, state.ptts);
        return 0;
    default: return -1;
    }
}

}  // namespace RTPSignalling
