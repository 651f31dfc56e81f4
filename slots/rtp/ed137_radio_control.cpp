#include "slots/rtp/ed137_radio_control.h"

#include "foundation/os/big_endian.h"
#include "foundation/reactor/clock.h"

#include <arpa/inet.h>
#include <initializer_list>
#include <iostream>
#include <poll.h>
#include <string>
#include <tuple>

namespace RTPSignalling {

namespace {

using State = ED137RadioState;

auto words(const State& s)
{
    return std::tie(s.flags, s.pttType, s.squ, s.pttId, s.pm, s.ptts, s.sct, s.sqiMethod, s.sqiQuality, s.address,
                    s.ssrc);
}

// A header of the controller in the form, with the signal quality when one is given.
void take(State& state, uint32_t form, const TERM::ED137RadioHeader& header, const TERM::ED137RadioExtensionSQI* sqi)
{
    state.flags = form | State::header;
    state.pttType = static_cast<uint32_t>(header.get_ptt().getValue());
    state.squ = static_cast<uint32_t>(header.get_squ().getValue());
    state.pttId = static_cast<uint32_t>(header.get_ptt_id().getValue());
    state.pm = header.get_ptt_mute().getValue();
    state.ptts = header.get_ptt_summation().getValue();
    state.sct = header.get_sct().getValue();
    if (sqi) {
        state.flags |= State::sqi;
        state.sqiMethod = static_cast<uint32_t>(sqi->get_bss_method().getValue());
        state.sqiQuality = static_cast<uint32_t>(sqi->get_bss_quality().getValue());
    }
}

TERM::ED137RadioHeader header_of(const State& state)
{
    TERM::ED137RadioHeader header;
    header.get_ptt().setValue(static_cast<int>(state.pttType));
    header.get_squ().setValue(static_cast<int>(state.squ));
    header.set_ptt_id(state.pttId);
    header.set_ptt_mute(state.pm != 0);
    header.set_ptt_summation(state.ptts != 0);
    header.set_sct(state.sct != 0);
    return header;
}

TERM::ED137RadioExtensionSQI sqi_of(const State& state)
{
    TERM::ED137RadioExtensionSQI sqi;
    sqi.get_bss_method().setValue(static_cast<int>(state.sqiMethod));
    sqi.set_bss_quality(state.sqiQuality);
    return sqi;
}

// The radio status as the controller knows it: the header and the signal quality.
TERM::RadioStatus status_of(const State& state)
{
    TERM::RadioStatus status;
    TERM::ED137RadioStatus& ed137 = status.select_ed_137();
    ed137.set_header(header_of(state));
    ed137.set_sqi(sqi_of(state));
    return status;
}

// The state replaces the kept one, but for the signal quality when it carries none.
void adopt(State& kept, const State& state)
{
    const uint32_t method = kept.sqiMethod, quality = kept.sqiQuality;
    kept = state;
    if (!state.HasSQI())
        std::tie(kept.sqiMethod, kept.sqiQuality) = std::tie(method, quality);
}

std::string dotted(uint32_t address)
{
    char text[INET_ADDRSTRLEN];
    in_addr value{address};
    return inet_ntop(AF_INET, &value, text, sizeof text);
}

}  // namespace

bool ED137RadioState::IsEqual(const ED137RadioState& other) const { return words(*this) == words(other); }

ED137RadioControl::ED137RadioControl(int channel, const rtp_ext_attach_session_params& attach,
                                     const rtp_ext_init_params& init)
    : RadioControl(channel, attach, init)
{
    Init();
}

ED137RadioControl::ED137RadioControl(const rtp_ext_init_params& init) : RadioControl(init) { Init(); }

ED137RadioControl::ED137RadioControl(int channel, Fd rtp, const rtp_attach_session_params& attach)
    : RadioControl(channel, rtp, attach)
{
    Init();
}

void ED137RadioControl::Init()
{
    lastActivity = lastKeepAliveSend = lastReport = lastReceive = Mux::milliseconds();
    for (r2s_proto* packet : {&current, &held, &outgoing})
        r2s_proto_init(packet, r2s_proto_none);
}

bool ED137RadioControl::SendASNToChan(const TERM::RadioStatus& radio)
{
    const TERM::ED137RadioStatus* status = radio.get_ed_137();
    if (!status)
        return false;
    State state = toNetwork;
    const bool sqi = status->hasOptionalField(TERM::ED137RadioStatus::Optional::sqi);
    take(state, State::rx_form, status->get_header(), sqi ? &status->get_sqi() : nullptr);
    SendRadioStateToChan(state);
    return true;
}

bool ED137RadioControl::SendASNToChan(const TERM::RadioModifier& radio)
{
    const TERM::ED137RadioModifier* modifier = radio.get_ed_137();
    if (!modifier)
        return false;
    State state = toNetwork;
    state.flags = 0;
    state.address = inet_addr(modifier->get_addr().get_session_addr().getValue().c_str());
    state.ssrc = static_cast<uint32_t>(modifier->get_addr().get_session_ssrc().getValue());
    if (const TERM::ED137RadioTxCommand* tx = modifier->get_params().get_tx()) {
        take(state, State::tx_form, tx->get_header(), nullptr);
    } else if (const TERM::ED137RadioRxCommand* rx = modifier->get_params().get_rx()) {
        const bool sqi = rx->hasOptionalField(TERM::ED137RadioRxCommand::Optional::sqi);
        take(state, State::rx_form, rx->get_header(), sqi ? &rx->get_sqi() : nullptr);
    }
    SendRadioStateToChan(state);
    return true;
}

void ED137RadioControl::OnRtpExtEvent(int, short revents)
{
    // The time of the batch: what its packets are received and reported at.
    if (revents & POLLIN)
        lastActivity = Mux::milliseconds();
    ReadPackets(revents);
}

int ED137RadioControl::PutProtoFromRadioToChan(const ED137RadioState& state)
{
    adopt(toNetwork, state);
    return 0;
}

int ED137RadioControl::PutProtoFromChanToRadio(const ED137RadioState& state)
{
    adopt(fromNetwork, state);
    return 0;
}

int ED137RadioControl::DecodePacket(const uint8_t* payload, int length, uint32_t ssrc, uint32_t address)
{
    r2s_proto_init(&current, r2s_proto_none);
    int result = r2s_proto_unpack_tx(&current, payload, length);
    if (result == 0) {
        current.source_ssrc = ssrc;
        current.source_address = address;
        lastReceive = lastActivity;
    }
    return result;
}

void ED137RadioControl::OnRtpProtoRXEvent(const r2s_proto& packet)
{
    State state;
    state.address = packet.source_address;
    state.ssrc = packet.source_ssrc;
    if (packet.form == r2s_proto_rx) {
        const r2s_proto_rx_header& h = packet.rx;
        state.flags = State::rx_form | State::header;
        std::tie(state.pttType, state.squ, state.pttId, state.pm, state.ptts, state.sct) =
            std::tie(h.ptt_type, h.squ, h.ptt_id, h.pm, h.ptts, h.sct);
        // The quality index in the high five bits, the method in the low three, as peers send it.
        for (unsigned i = 0; i < packet.count && i < r2s_proto_max_additionals; ++i)
            if (packet.additionals[i].kind == r2s_proto_sqi) {
                state.flags |= State::sqi;
                state.sqiQuality = packet.additionals[i].values[0];
                state.sqiMethod = packet.additionals[i].values[1];
            }
    } else {
        const r2s_proto_tx_header& h = packet.tx;
        state.flags = State::tx_form | State::header;
        std::tie(state.pttType, state.pttId, state.pm, state.ptts) = std::tie(h.ptt_type, h.ptt_id, h.pm, h.ptts);
    }
    if (!AccessFormChanToRadio(state))
        return;
    if (state.IsEqual(fromNetwork) && Elapsed(lastReport, lastActivity) < statusInterval)
        return;
    PutProtoFromChanToRadio(state);

    TERM::RtpRadioRequest request;
    request.set_status(status_of(toNetwork));
    TERM::ED137RadioModifier& modifier = request.get_request().select_ed_137();
    modifier.get_addr().set_session_addr(dotted(state.address));
    modifier.get_addr().set_session_ssrc(state.ssrc);
    if (state.Form() == State::rx_form) {
        TERM::ED137RadioRxCommand& rx = modifier.get_params().select_rx();
        rx.set_header(header_of(state));
        if (state.HasSQI())
            rx.set_sqi(sqi_of(state));
    } else {
        modifier.get_params().select_tx().set_header(header_of(state));
    }
    if (trace)
        std::clog << GetPrefix() << " command=0x" << std::hex << state.flags << std::dec
                  << " send extension to controller: " << request << std::endl;
    lastReport = lastActivity;
    if (notify)
        notify->RadioControlNotify(request);
}

bool ED137RadioControl::NeedSendProto(const ED137RadioState& state) const
{
    // The third and fourth settings of the session: below 1, every command goes out.
    if (BigEndian::get_i32(extInit.bytes.data(), 16) < 1 || BigEndian::get_i32(extInit.bytes.data(), 12) < 1)
        return true;
    return !state.IsEqual(toNetwork);
}

void ED137RadioControl::SendRadioStateToChan(const ED137RadioState& state)
{
    if (!NeedSendProto(state))
        return;
    PutProtoFromRadioToChan(state);
    if (EncodeProto(toNetwork, outgoing) == 0) {
        SendProto(outgoing);
        lastActivity = Mux::milliseconds();
        // The commanded rx-form state stands for the keep-alive that would follow it.
        if (!keepAliveSuppressed && toNetwork.Form() == State::rx_form)
            lastKeepAliveSend = lastActivity;
    }
    if (trace)
        std::clog << GetPrefix() << "command=0x" << std::hex << state.flags << std::dec
                  << " receive extension from controller: " << status_of(toNetwork) << std::endl;
    // While PTT is on, only the voice system holding it is heard; a state that names no voice
    // system narrows nothing, as a filter on 0.0.0.0 would silence every sender.
    UpdateAccess(toNetwork.pttType != 0 && toNetwork.address != 0, in_addr{toNetwork.address});
}

void ED137RadioControl::SendProto(r2s_proto& proto)
{
    uint8_t payload[max_payload];
    WritePacket(payload, r2s_proto_pack(&proto, payload, sizeof payload));
}

}  // namespace RTPSignalling
