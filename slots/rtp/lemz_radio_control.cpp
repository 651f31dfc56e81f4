#include "slots/rtp/lemz_radio_control.h"

#include "foundation/reactor/clock.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <type_traits>

namespace RTPSignalling {

namespace {

using Params = TERM::LemzRadioModifierParams;

constexpr size_t packet_buffer = 1024;

// The command of each alternative of the controller's radio commands, in alternative order.
constexpr int32_t command_of[] = {GW_FLAG,           GW_ADJUST_CHAN,    GW_FLAG_PTT,        GW_FLAG_BSS,
                                  GW_FLAG_SH,        GW_FLAG_PW,        GW_FLAG_RV,         GW_FLAG_RS,
                                  GW_SEL_CALL,       GW_SELECT_RC_CHAN, GW_ADJUST_SQUELSHE, GW_ADJUST_RTE,
                                  GW_ADJUST_STANDBY, WM_FLAG,           WM_TRANS,           WM_RADIO_QUALITY,
                                  WM_CHAN,           WM_SEL_CALL_TRANS, WM_SELECT_RC_CHAN,  WM_STANDBY};

// The header fields beside the priority: the state's and the packet's.
const std::pair<uint32_t LemzRadioState::*, uint32_t sig_proto::*> header_fields[] = {
    {&LemzRadioState::ptt, &sig_proto::flag_p},   {&LemzRadioState::bss, &sig_proto::flag_b},
    {&LemzRadioState::vadRx, &sig_proto::flag_r}, {&LemzRadioState::vadTx, &sig_proto::flag_t},
    {&LemzRadioState::sql, &sig_proto::flag_s},   {&LemzRadioState::sh, &sig_proto::flag_sh},
    {&LemzRadioState::pwr, &sig_proto::flag_pw},  {&LemzRadioState::rv, &sig_proto::flag_rv},
    {&LemzRadioState::resv, &sig_proto::flag_rs}, {&LemzRadioState::selcall, &sig_proto::flag_c},
    {&LemzRadioState::li, &sig_proto::status}};

// A number as the controller's texts carry it.
std::string decimal_text(float value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%4.6f", double(value));
    return text;
}

float decimal_value(const ASN1::IA5String& text) { return std::strtof(text.getValue().c_str(), nullptr); }

std::string dotted(uint32_t address) { return inet_ntoa(in_addr{address}); }

uint32_t address_value(const ASN1::IA5String& text) { return inet_addr(text.getValue().c_str()); }

void set_caller_id(char (&callerId)[sig_proto_caller_id_size], const char* text, size_t length)
{
    std::memset(callerId, 0, sizeof callerId);
    std::memcpy(callerId, text, std::min(length, sizeof callerId - 1));
}

void read_flags(const TERM::RadioFlags& flags, LemzRadioState& state)
{
    state.prio = flags.get_prio().getValue();
    state.ptt = flags.get_ptt().getValue();
    state.bss = flags.get_bss().getValue();
    state.vadRx = flags.get_vad_rx().getValue();
    state.vadTx = flags.get_vad_tx().getValue();
    state.sql = flags.get_sql().getValue();
    state.sh = flags.get_sh().getValue();
    state.pwr = flags.get_pwr().getValue();
    state.rv = flags.get_rv().getValue();
    state.resv = flags.get_resv().getValue();
    state.selcall = uint32_t(flags.get_selcall().getValue());
    state.li = uint32_t(flags.get_li().getValue());
}

void write_flags(const LemzRadioState& state, TERM::RadioFlags& flags)
{
    flags.set_prio(state.prio);
    flags.set_ptt(state.ptt != 0);
    flags.set_bss(state.bss != 0);
    flags.set_vad_rx(state.vadRx != 0);
    flags.set_vad_tx(state.vadTx != 0);
    flags.set_sql(state.sql != 0);
    flags.set_sh(state.sh != 0);
    flags.set_pwr(state.pwr != 0);
    flags.set_rv(state.rv != 0);
    flags.set_resv(state.resv != 0);
    flags.set_selcall(state.selcall);
    flags.set_li(state.li);
}

void read_frequency(const TERM::RadioFrequency& frequency, LemzRadioState& state)
{
    state.channel = frequency.get_channel().getValue();
    state.frequency = decimal_value(frequency.get_frequency());
}

void write_frequency(const LemzRadioState& state, TERM::RadioFrequency& frequency)
{
    frequency.set_channel(state.channel);
    frequency.set_frequency(decimal_text(state.frequency));
}

void read_remote(const TERM::RadioRemote& remote, LemzRadioState& state)
{
    state.remoteNo = remote.get_no().getValue();
    state.remoteCh = remote.get_ch().getValue();
}

void write_remote(const LemzRadioState& state, TERM::RadioRemote& remote)
{
    remote.set_no(uint32_t(state.remoteNo));
    remote.set_ch(uint32_t(state.remoteCh));
}

// The transmitter of a trans or sel-call command; the caller ID when it has one.
template <class Command>
void read_transmitter(const Command& command, LemzRadioState& state)
{
    read_flags(command.get_flags(), state);
    state.transAddr = address_value(command.get_ip());
    state.transSsrc = uint32_t(command.get_ssrc().getValue());
    if constexpr (!std::is_same_v<Command, TERM::RadioCommandWMTrans>) {
        const std::string& cid = command.get_cid().getValue();
        set_caller_id(state.callerId, cid.data(), cid.size());
    }
}

template <class Command>
void write_transmitter(const LemzRadioState& state, Command& command)
{
    write_flags(state, command.get_flags());
    command.set_ip(dotted(state.transAddr));
    command.set_ssrc(state.transSsrc);
    if constexpr (!std::is_same_v<Command, TERM::RadioCommandWMTrans>)
        command.set_cid(state.callerId);
}

// The command of the received state as the controller's radio command.
void write_command(const LemzRadioState& state, Params& params)
{
    switch (state.command) {
    case GW_FLAG: write_flags(state, params.select_gw_set_flags().get_flags()); break;
    case GW_ADJUST_CHAN: write_frequency(state, params.select_gw_set_freq().get_freq()); break;
    case GW_FLAG_PTT: write_flags(state, params.select_gw_set_ptt().get_flags()); break;
    case GW_FLAG_BSS: write_flags(state, params.select_gw_set_bss().get_flags()); break;
    case GW_FLAG_SH: write_flags(state, params.select_gw_set_sh().get_flags()); break;
    case GW_FLAG_PW: write_flags(state, params.select_gw_set_pwr().get_flags()); break;
    case GW_FLAG_RV: write_flags(state, params.select_gw_set_rv().get_flags()); break;
    case GW_FLAG_RS: write_flags(state, params.select_gw_set_resv().get_flags()); break;
    case GW_SEL_CALL: write_transmitter(state, params.select_gw_set_selcall()); break;
    case GW_SELECT_RC_CHAN: write_remote(state, params.select_gw_set_remote().get_remote()); break;
    case GW_ADJUST_SQUELSHE:
        params.select_gw_set_squelshe().get_squelshe().setValue(state.squelshe);
        break;
    case GW_ADJUST_RTE: params.select_gw_set_rte().get_rte().setValue(state.rte); break;
    case GW_ADJUST_STANDBY: params.select_gw_set_standby().get_state().setValue(state.standbyChannel); break;
    case WM_FLAG: write_flags(state, params.select_wm_flags().get_flags()); break;
    case WM_TRANS: write_transmitter(state, params.select_wm_trans()); break;
    case WM_RADIO_QUALITY: params.select_wm_quality().set_bss_val(decimal_text(state.quality)); break;
    case WM_CHAN: {
        TERM::RadioCommandWMChan& chan = params.select_wm_chan();
        write_frequency(state, chan.get_freq());
        chan.get_squelshe().setValue(state.squelshe);
        chan.get_rte().setValue(state.rte);
        break;
    }
    case WM_SEL_CALL_TRANS: write_transmitter(state, params.select_wm_selcall()); break;
    case WM_SELECT_RC_CHAN: write_remote(state, params.select_wm_remote().get_remote()); break;
    case WM_STANDBY: {
        TERM::RadioCommandWMStandby& standby = params.select_wm_standby();
        standby.get_state_channel().setValue(state.standbyChannel);
        standby.set_group(uint32_t(state.standbyGroup));
        standby.get_state_receiver().setValue(state.standbyReceiver);
        break;
    }
    default: break;
    }
}

}  // namespace

bool isPTTCommand(int command)
{
    switch (command) {
    case GW_FLAG:
    case GW_FLAG_PTT:
    case GW_SEL_CALL:
    case WM_FLAG:
    case WM_TRANS:
    case WM_SEL_CALL_TRANS: return true;
    default: return false;
    }
}

bool isDefaultInitCommand(int command) { return command <= 0; }

LemzRadioControl::LemzRadioControl(int channel, const rtp_ext_attach_session_params& attach,
                                   const rtp_ext_init_params& init)
    : RadioControl(channel, attach, init)
{
    Init();
}

LemzRadioControl::LemzRadioControl(const rtp_ext_init_params& init) : RadioControl(init) { Init(); }

LemzRadioControl::LemzRadioControl(int channel, Fd rtp, const rtp_attach_session_params& attach)
    : RadioControl(channel, rtp, attach)
{
    Init();
}

void LemzRadioControl::Init()
{
    lastFlagSend = lastChannelSend = lastRemoteSend = lastStandbySend = lastActivity = Mux::milliseconds();
    sig_proto_init(&current);
    sig_proto_init(&held);
}

bool LemzRadioControl::SendASNToChan(const TERM::RadioStatus& status) { return SendLemz(status.get_lemz()); }

bool LemzRadioControl::SendASNToChan(const TERM::RadioModifier& modifier) { return SendLemz(modifier.get_lemz()); }

template <class Message>
bool LemzRadioControl::SendLemz(const Message* message)
{
    if (!message)
        return false;
    LemzRadioState state = commanded;
    DecodeASN(*message, state);
    SendRadioStateToChan(state);
    return true;
}

bool LemzRadioControl::GetSQU() { return commanded.sql != 0; }

void LemzRadioControl::OnRtpExtEvent(int, short revents) { ReadPackets(revents); }

int LemzRadioControl::PutProtoFromRadioToChan(const LemzRadioState&) { return 0; }

int LemzRadioControl::PutProtoFromChanToRadio(const LemzRadioState&) { return 0; }

bool LemzRadioControl::AccessFormChanToRadio(const LemzRadioState&) { return true; }

int LemzRadioControl::EncodeProto(const LemzRadioState&, sig_proto&) { return 0; }

int LemzRadioControl::DecodePacket(const uint8_t* payload, int length, uint32_t ssrc, uint32_t address)
{
    sig_proto_init(&current);
    int result = sig_proto_unpack(&current, payload, length);
    if (result == 0) {
        current.source_addr = address;
        current.source_ssrc = ssrc;
    }
    return result;
}

bool LemzRadioControl::PacketDiffers() const { return cmp_sig_proto_header(&held, &current) != 0; }

void LemzRadioControl::HoldPacket() { held = current; }

void LemzRadioControl::HandlePacket() { OnRtpProtoRXEvent(held); }

void LemzRadioControl::OnRtpProtoRXEvent(const sig_proto& record)
{
    LemzRadioState state;
    DecodeProto(record, state);
    if (AccessFormChanToRadio(state)) {
        PutProtoFromChanToRadio(state);
        TERM::RtpRadioRequest request;
        EncodeASN(commanded, state, request);
        if (trace)
            std::clog << GetPrefix() << "command=0x" << std::hex << state.command << std::dec
                      << " send extension to controller: " << request << std::endl;
        if (notify)
            notify->RadioControlNotify(request);
    }
    FollowTransmitter();
}

void LemzRadioControl::SendRadioStateToChan(const LemzRadioState& state)
{
    sig_proto record{};
    if (PutProtoFromRadioToChan(state) == 0 && EncodeProto(state, record) == 0) {
        SendProtoToChan(record);
        const uint32_t now = Mux::milliseconds();
        lastActivity = now;
        if (!keepAliveSuppressed) {
            switch (state.command) {
            case WM_FLAG:
            case WM_TRANS:
            case WM_SEL_CALL_TRANS: lastFlagSend = now; break;
            case WM_CHAN: lastChannelSend = now; break;
            case WM_SELECT_RC_CHAN: lastRemoteSend = now; break;
            case WM_STANDBY: lastStandbySend = now; break;
            default: break;
            }
        }
    }
    if (trace) {
        TERM::RtpRadioRequest request;
        EncodeStatusASN(commanded, request);
        std::clog << GetPrefix() << "command=0x" << std::hex << state.command << std::dec
                  << " receive extension from controller: " << request << std::endl;
    }
    FollowTransmitter();
}

void LemzRadioControl::FollowTransmitter()
{
    // A PTT whose transmitter is not known narrows nothing: a filter on 0.0.0.0 would shut out
    // every sender, the higher-priority PTT and the release among them.
    UpdateAccess(commanded.ptt != 0 && commanded.transAddr != 0, in_addr{commanded.transAddr});
}

int LemzRadioControl::SendProtoToChan(sig_proto& record)
{
    uint8_t buffer[packet_buffer];
    return WritePacket(buffer, sig_proto_pack(&record, buffer, sizeof buffer));
}

void LemzRadioControl::DecodeProto(const sig_proto& record, LemzRadioState& state)
{
    state.command = int32_t(record.type);
    state.prio = int32_t(record.priority);
    for (const auto& [field, packed] : header_fields)
        state.*field = record.*packed;
    state.sourceAddr = record.source_addr;
    state.sourceSsrc = record.source_ssrc;
    const sig_proto::Body& body = record.body;
    switch (record.type) {
    case GW_ADJUST_CHAN:
        state.channel = int32_t(body.gw_adjust_chan.id);
        state.frequency = body.gw_adjust_chan.freq;
        break;
    case GW_SEL_CALL:
        set_caller_id(state.callerId, body.gw_sel_call.callerID,
                      strnlen(body.gw_sel_call.callerID, sizeof body.gw_sel_call.callerID));
        break;
    case GW_SELECT_RC_CHAN:
    case WM_SELECT_RC_CHAN:
        state.remoteNo = body.gw_select_rc_chan.interface;
        state.remoteCh = body.gw_select_rc_chan.channel;
        break;
    case GW_ADJUST_SQUELSHE: state.squelshe = body.gw_adjust_squelsh.squelsh; break;
    case GW_ADJUST_RTE: state.rte = body.gw_adjust_rte.rte; break;
    case GW_ADJUST_STANDBY: state.standbyChannel = body.gw_adjust_standby.state; break;
    case WM_TRANS:
        state.transAddr = body.wm_trans.session_addr.s_addr;
        state.transSsrc = body.wm_trans.ssrc;
        break;
    case WM_RADIO_QUALITY: state.quality = body.wm_radio_quality.radio_quality; break;
    case WM_CHAN:
        state.channel = int32_t(body.wm_chan.id);
        state.frequency = body.wm_chan.freq;
        state.squelshe = body.wm_chan.squelsh;
        state.rte = body.wm_chan.rte;
        break;
    case WM_SEL_CALL_TRANS:
        state.transAddr = body.wm_sel_call_trans.session_addr.s_addr;
        state.transSsrc = body.wm_sel_call_trans.ssrc;
        set_caller_id(state.callerId, body.wm_sel_call_trans.callerID,
                      strnlen(body.wm_sel_call_trans.callerID, sizeof body.wm_sel_call_trans.callerID));
        break;
    case WM_STANDBY:
        state.standbyChannel = body.wm_standby.state;
        state.standbyGroup = body.wm_standby.group;
        state.standbyReceiver = body.wm_standby.receiver_state;
        break;
    default: break;
    }
}

int LemzRadioControl::PackState(const LemzRadioState& state, sig_proto& record, uint32_t first, uint32_t last)
{
    if (state.command < int32_t(first) || state.command > int32_t(last))
        return -1;
    sig_proto_init(&record);
    record.type = uint32_t(state.command);
    record.source_addr = state.sourceAddr;
    record.source_ssrc = state.sourceSsrc;
    record.priority = uint32_t(state.prio);
    for (const auto& [field, packed] : header_fields)
        record.*packed = state.*field;
    const in_addr transmitter{state.transAddr};
    const auto caller_length = uint8_t(strnlen(state.callerId, sizeof state.callerId - 1));
    switch (state.command) {
    case GW_ADJUST_CHAN: sig_proto_set_gw_adjust_chan(&record, uint32_t(state.channel), state.frequency); break;
    case GW_SEL_CALL: sig_proto_set_gw_selcall(&record, state.callerId, caller_length); break;
    case GW_SELECT_RC_CHAN:
        sig_proto_set_gw_select_rc_chan(&record, uint8_t(state.remoteNo), uint8_t(state.remoteCh));
        break;
    case GW_ADJUST_SQUELSHE: sig_proto_set_gw_adjust_squelsh(&record, uint8_t(state.squelshe)); break;
    case GW_ADJUST_RTE: sig_proto_set_gw_adjust_rte(&record, uint8_t(state.rte)); break;
    case GW_ADJUST_STANDBY: sig_proto_set_gw_adjust_standby(&record, uint8_t(state.standbyChannel)); break;
    case WM_TRANS: sig_proto_set_wm_transmite(&record, transmitter, state.transSsrc); break;
    case WM_RADIO_QUALITY: sig_proto_set_wm_radio_quality(&record, state.quality); break;
    case WM_CHAN:
        sig_proto_set_wm_chan(&record, uint32_t(state.channel), state.frequency, uint8_t(state.squelshe),
                              uint8_t(state.rte));
        break;
    case WM_SEL_CALL_TRANS:
        sig_proto_set_wm_selcall_transmite(&record, transmitter, state.transSsrc, state.callerId, caller_length);
        break;
    case WM_SELECT_RC_CHAN:
        sig_proto_set_wm_select_rc_chan(&record, uint8_t(state.remoteNo), uint8_t(state.remoteCh));
        break;
    case WM_STANDBY:
        sig_proto_set_wm_standby(&record, uint8_t(state.standbyChannel), uint8_t(state.standbyGroup),
                                 uint8_t(state.standbyReceiver));
        break;
    default: break;
    }
    return 0;
}

void LemzRadioControl::MergeGatewayCommand(const LemzRadioState& from, LemzRadioState& into)
{
    const int32_t command = from.command;
    const bool all = isDefaultInitCommand(command);
    // A flag travels with GW_FLAG and with its own command.
    auto flag = [&](uint32_t LemzRadioState::*field, int32_t own) {
        if (all || command == GW_FLAG || command == own)
            into.*field = from.*field;
    };
    into.command = command;
    into.prio = from.prio;
    flag(&LemzRadioState::ptt, GW_FLAG_PTT);
    flag(&LemzRadioState::bss, GW_FLAG_BSS);
    flag(&LemzRadioState::sh, GW_FLAG_SH);
    flag(&LemzRadioState::rv, GW_FLAG_RV);
    flag(&LemzRadioState::pwr, GW_FLAG_PW);
    flag(&LemzRadioState::resv, GW_FLAG_RS);
    if (all || command == GW_ADJUST_CHAN) {
        into.channel = from.channel;
        into.frequency = from.frequency;
    }
    if (all || command == GW_SEL_CALL)
        std::memcpy(into.callerId, from.callerId, sizeof into.callerId);
    if (all || command == GW_SELECT_RC_CHAN) {
        into.remoteNo = from.remoteNo;
        into.remoteCh = from.remoteCh;
    }
    if (all || command == GW_ADJUST_SQUELSHE)
        into.squelshe = from.squelshe;
    if (all || command == GW_ADJUST_RTE)
        into.rte = from.rte;
    if (all || command == GW_ADJUST_STANDBY)
        into.standbyChannel = from.standbyChannel;
}

void LemzRadioControl::MergeGatewayReport(const LemzRadioState& from, LemzRadioState& into, bool withTrans)
{
    const int32_t command = from.command;
    const bool all = isDefaultInitCommand(command);
    into.command = command;
    into.prio = from.prio;
    for (const auto& header : header_fields)
        into.*header.first = from.*header.first;
    if (all || command == WM_CHAN) {
        into.channel = from.channel;
        into.frequency = from.frequency;
        into.squelshe = from.squelshe;
        into.rte = from.rte;
    }
    if (all || command == WM_SELECT_RC_CHAN) {
        into.remoteNo = from.remoteNo;
        into.remoteCh = from.remoteCh;
    }
    if (all || command == WM_SEL_CALL_TRANS || (withTrans && command == WM_TRANS)) {
        into.transAddr = from.transAddr;
        into.transSsrc = from.transSsrc;
    }
    if (all || command == WM_RADIO_QUALITY)
        into.quality = from.quality;
    if (all || command == WM_STANDBY) {
        into.standbyChannel = from.standbyChannel;
        into.standbyGroup = from.standbyGroup;
        into.standbyReceiver = from.standbyReceiver;
    }
}

void LemzRadioControl::EncodeStatusASN(const LemzRadioState& state, TERM::RtpRadioRequest& request)
{
    TERM::LemzRadioStatus& status = request.get_status().select_lemz();
    write_flags(state, status.get_flags());
    write_frequency(state, status.get_freq());
    write_remote(state, status.get_remote());
    status.get_squelshe().setValue(state.squelshe);
    status.get_rte().setValue(state.rte);
    status.get_standby_state_channel().setValue(state.standbyChannel);
    status.set_standby_group(uint32_t(state.standbyGroup));
    status.get_standby_state_receiver().setValue(state.standbyReceiver);
}

void LemzRadioControl::EncodeASN(const LemzRadioState& commanded, const LemzRadioState& received,
                                 TERM::RtpRadioRequest& request)
{
    EncodeStatusASN(commanded, request);
    TERM::LemzRadioModifier& modifier = request.get_request().select_lemz();
    modifier.get_addr().set_session_addr(dotted(received.sourceAddr));
    modifier.get_addr().set_session_ssrc(received.sourceSsrc);
    write_command(received, modifier.get_params());
}

void LemzRadioControl::DecodeASN(const TERM::LemzRadioStatus& status, LemzRadioState& state)
{
    state.command = 0;
    read_flags(status.get_flags(), state);
    read_frequency(status.get_freq(), state);
    read_remote(status.get_remote(), state);
    state.squelshe = status.get_squelshe().getValue();
    state.rte = status.get_rte().getValue();
    state.standbyChannel = status.get_standby_state_channel().getValue();
    state.standbyGroup = status.get_standby_group().getValue();
    state.standbyReceiver = status.get_standby_state_receiver().getValue();
}

void LemzRadioControl::DecodeASN(const TERM::LemzRadioModifier& modifier, LemzRadioState& state)
{
    state.command = 0;
    state.sourceAddr = address_value(modifier.get_addr().get_session_addr());
    state.sourceSsrc = uint32_t(modifier.get_addr().get_session_ssrc().getValue());
    const Params& params = modifier.get_params();
    const int alternative = params.currentSelection();
    if (alternative < 0 || alternative >= int(std::size(command_of)))
        return;
    state.command = command_of[alternative];
    switch (alternative) {
    case Params::gw_set_flags:
    case Params::gw_set_ptt:
    case Params::gw_set_bss:
    case Params::gw_set_sh:
    case Params::gw_set_pwr:
    case Params::gw_set_rv:
    case Params::gw_set_resv:
        read_flags(static_cast<const TERM::RadioCommandGWSetFlags*>(params.getSelection())->get_flags(), state);
        break;
    case Params::gw_set_freq: read_frequency(params.get_gw_set_freq()->get_freq(), state); break;
    case Params::gw_set_selcall: read_transmitter(*params.get_gw_set_selcall(), state); break;
    case Params::gw_set_remote: read_remote(params.get_gw_set_remote()->get_remote(), state); break;
    case Params::gw_set_squelshe: state.squelshe = params.get_gw_set_squelshe()->get_squelshe().getValue(); break;
    case Params::gw_set_rte: state.rte = params.get_gw_set_rte()->get_rte().getValue(); break;
    case Params::gw_set_standby: state.standbyChannel = params.get_gw_set_standby()->get_state().getValue(); break;
    case Params::wm_flags: read_flags(params.get_wm_flags()->get_flags(), state); break;
    case Params::wm_trans: read_transmitter(*params.get_wm_trans(), state); break;
    case Params::wm_quality: state.quality = decimal_value(params.get_wm_quality()->get_bss_val()); break;
    case Params::wm_chan: {
        const TERM::RadioCommandWMChan& chan = *params.get_wm_chan();
        read_frequency(chan.get_freq(), state);
        state.squelshe = chan.get_squelshe().getValue();
        state.rte = chan.get_rte().getValue();
        break;
    }
    case Params::wm_selcall: read_transmitter(*params.get_wm_selcall(), state); break;
    case Params::wm_remote: read_remote(params.get_wm_remote()->get_remote(), state); break;
    case Params::wm_standby: {
        const TERM::RadioCommandWMStandby& standby = *params.get_wm_standby();
        state.standbyChannel = standby.get_state_channel().getValue();
        state.standbyGroup = standby.get_group().getValue();
        state.standbyReceiver = standby.get_state_receiver().getValue();
        break;
    }
    default: break;
    }
}

}  // namespace RTPSignalling
