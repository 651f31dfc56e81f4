#include "signalling/slots/pstn_slot.h"

#include "signalling/isdn/lapd_nt.h"
#include "signalling/slots/channel_end.h"
#include "signalling/slots/hdlc_link_info.h"
#include "signalling/slots/stack_user_data.h"
#include "signalling/ss7/slc.h"

#include "foundation/util/ext_header.h"

#include <iostream>

PstnSlot::PstnSlot(const LGCP::PstnParams& params)
{
    hdlc_.notify = this;
    Protocol* link = nullptr;
    if (const LGCP::SS7Params* ss7 = params.get_ss7()) {
        slc_ = new SS7::SLC;
        slc_->channel = &hdlc_;
        slc_->trunk = uint32_t(ss7->get_trunk().getValue());
        slc_->slc = uint32_t(ss7->get_slc().getValue());
        slc_->dpc = uint32_t(ss7->get_dpc().getValue());
        slc_->opc = uint32_t(ss7->get_opc().getValue());
        slc_->emergency = ss7->get_emergency().getValue();
        hdlc_.id = uint32_t(ss7->get_trunk().getValue());
        trunk_ = uint32_t(ss7->get_trunk().getValue()) - 1;
        sink_ = slc_;
        link = slc_;
    } else if (const LGCP::IsdnParams* isdn = params.get_isdn()) {
        const bool bri = isdn->get_type().getValue() == LGCP::IsdnType::bri;
        const bool network = isdn->get_side().get_network();
        const int log = isdn->get_log().getValue();
        if (bri && network) {
            kind_ = bri_network;
            lapd_nt_ = new ISDN::LAPD_NT;
            lapd_nt_->set_log(uint32_t(log));
            link = lapd_nt_;
        } else {
            kind_ = bri ? bri_user : isdn_primary;
            const int trunk = isdn->get_trunk().getValue();
            lapd_ = new ISDN::LAPD(ISDN::Side::user, 0);
            lapd_->side = network ? ISDN::Side::network : ISDN::Side::user;
            lapd_->link_number = uint32_t(trunk);
            lapd_->log_level = uint32_t(log);
            lapd_->listener = this;
            lapd_->channel = &hdlc_;
            hdlc_.log = log;
            hdlc_.id = uint32_t(trunk);
            if (bri)
                lapd_->change_to_bri();
            trunk_ = uint32_t(trunk) - 1;
            sink_ = lapd_;
            link = lapd_;
        }
    }
    if (link)
        add_protocol_tail(link);
    update_timer_.set(update_ms, &PstnSlot::OnUpdateTimer, this);
}

// The channel goes first, so that no event of it reaches a link being deleted.
PstnSlot::~PstnSlot() { hdlc_.deactivate(); }

void PstnSlot::OnTrunkStatus(unsigned int trunk, const ACP::TrunkState::NamedNumber& state)
{
    if (trunk != trunk_ || !slc_ || state == last_state_)
        return;
    slc_->OnTrunkHardStatus(state == ACP::TrunkState::normal);
    last_state_ = state;
}

bool PstnSlot::IActivate(const TERM::TermActivateParams&)
{
    if (refused_without_channel(*this, channel_ended_, "activate refused"))
        return false;
    iactivate();
    return true;
}

bool PstnSlot::IDeactivate()
{
    deactivate();
    return true;
}

void PstnSlot::local_deactivate()
{
    ProtocolsFamily::local_deactivate();
    waiting_.clear();
}

void PstnSlot::iactivate()
{
    // Activation closes the channel first: what waited for it goes with it.
    waiting_.clear();
    if (hdlc_.activate())
        activate();
    else
        OnDeactivated();
}

bool PstnSlot::IUserData(const std::vector<char>& data)
{
    if (refused_without_channel(*this, channel_ended_, "userData dropped"))
        return false;
    // A CAS slot runs no protocol: its octets go nowhere.
    if (!tail())
        return true;
    // The link would drop the MSU without a word: the slot refuses it while the link is down.
    if (slc_ && slc_->state_id() != SS7::SLC::Worked::id) {
        std::cerr << ext::header(this) << "userData dropped, SS7 link not in service" << std::endl;
        return false;
    }
    send_user_data(*this, *this, data);
    return true;
}

bool PstnSlot::Ioctl(const LGCP::IoctlParams& params)
{
    if (!slc_)
        return false;
    if (params.get_ss7RqBSN()) {
        LGCP::IoctlResponse response;
        response.select_ss7BSN().setValue(int(slc_->bsnt()));
        OnIoctlResponse(response);
        return true;
    }
    if (const LGCP::SS7L2Log* log = params.get_ss7Log()) {
        SS7::SLC::Trace& trace = slc_->trace;
        trace.state = log->get_state().getValue();
        trace.raw_receive = log->get_raw_receive().getValue();
        trace.raw_transmit = log->get_raw_transmit().getValue();
        trace.mtp_transmit = log->get_mtp_transmit().getValue();
        trace.mtp_receive = log->get_mtp_receive().getValue();
        trace.mtp_activate = log->get_mtp_activate().getValue();
        trace.timers = log->get_timers().getValue();
        trace.msu_processing = log->get_msu_processing().getValue();
        return true;
    }
    return false;
}

bool PstnSlot::IHwConnectReceiver(Slot& source)
{
    if (refused_without_channel(*this, channel_ended_, "connect refused"))
        return false;
    if (e1()) {
        const int trunk = source.GetTrunk();
        if (unsigned(trunk) > 3) {
            std::cerr << ext::header(this) << "invalid trunk number: " << trunk << std::endl;
            return false;
        }
        const int timeslot = source.GetTrunkTimeSlot();
        if (unsigned(timeslot) > 31) {
            std::cerr << ext::header(this) << "invalid timeslot: " << timeslot << std::endl;
            return false;
        }
        hdlc_.trunk = trunk;
        hdlc_.timeslot = uint32_t(timeslot);
    }
    hdlc_.mode = e1() ? kind_ : 2;
    hdlc_.tdm_a = source.IGetTransmitChannel();
    if (e1() || hdlc_.tdm_b != -1)
        iactivate();
    return true;
}

bool PstnSlot::IHwConnectTransmitter(Slot& destination)
{
    if (refused_without_channel(*this, channel_ended_, "connect refused"))
        return false;
    if (!e1()) {
        hdlc_.tdm_b = destination.IGetReceiveChannel();
        if (hdlc_.tdm_a != -1)
            iactivate();
    }
    return true;
}

bool PstnSlot::IHwDisconnectTransmitter(Slot& destination)
{
    if (!e1())
        deactivate();
    Slot::IHwDisconnectTransmitter(destination);
    return true;
}

bool PstnSlot::IHwDisconnectReceiver(Slot& source)
{
    deactivate();
    Slot::IHwDisconnectReceiver(source);
    return true;
}

void PstnSlot::on_hdlc_receive(Packet& frame)
{
    if (kind_ == bri_network)
        receive(frame);
    else if (sink_)
        sink_->on_hdlc_receive(frame);
}

void PstnSlot::on_hdlc_error(HDLC::Notify::Cause::Type cause)
{
    // The channel closed itself on a failed read, and the driver never gives a channel back: the
    // slot lets it go for good. The link goes down, and what waited for the channel with it; the
    // controller hears of it here, once, and not again from the link.
    channel_ended_ = true;
    if (sink_)
        sink_->on_hdlc_error(cause);
    deactivate();
    report_deactivated();
}

void PstnSlot::on_hdlc_ready()
{
    if (kind_ == bri_network)
        send_waiting();
    else if (sink_)
        sink_->on_hdlc_ready();
}

void PstnSlot::transmit(Packet& frame)
{
    if (kind_ != bri_network)
        return;
    if (waiting_.empty() && hdlc_.hdlc_transmit(frame))
        return;
    // A closed channel or a failed write loses the frame, and the channel counts it; only a full
    // driver queue leaves the channel open and not ready.
    if (!hdlc_.is_open() || hdlc_.is_ready())
        return;
    // A kept frame holds its packet: it is kept only while the pool has its reserve, which the
    // controller's link needs (a stalled channel would otherwise hold its frames at any price).
    const bool pool_low = !packet_pool_can_queue(0);
    if (!pool_low && waiting_.put(frame))
        return;
    ++overflows_;
    std::cerr << ext::header(this) << (pool_low ? "packet pool exhausted" : "queue full") << ", frame dropped"
              << std::endl;
    // An I frame stays with the link, which sends it again until the terminal acknowledges it. The
    // controller's message in any other frame (a broadcast SETUP) is lost: its command is answered
    // with the loss.
    const bool i_frame = frame.length() > 2 && (frame[2] & 1) == 0;
    if (!i_frame)
        on_status(new Protocol_status_refused(this, Protocol_status_refused::Reason::queue_full,
                                              "queue full, frame dropped"));
}

void PstnSlot::send_waiting()
{
    for (Packet frame; waiting_.preview(&frame);) {
        if (!hdlc_.hdlc_transmit(frame) && hdlc_.is_open() && !hdlc_.is_ready())
            return;
        waiting_.get(frame);
    }
}

void PstnSlot::on_activated(Protocol*)
{
    UpdateISDN_Statistics();
    UpdateSS7_Statistics();
    OnActivated();
}

void PstnSlot::on_deactivated(Protocol*, Smart_pointer<Internal_protocol_status>)
{
    if (!channel_ended_)
        report_deactivated();
}

void PstnSlot::report_deactivated()
{
    UpdateISDN_Statistics();
    UpdateSS7_Statistics();
    OnUpdateTimer();
    OnDeactivated();
}

void PstnSlot::on_message(Packet& p)
{
    OnUserData(std::vector<char>(p.data(), p.data() + p.length()));
}

void PstnSlot::OnLAPD_FlowStatusChange(ISDN::LAPD* link)
{
    LGCP::IoctlResponse response;
    response.select_isdnLinkStatus().setValue(link->flow_status() == ISDN::LAPD::FlowStatus::congested
                                                  ? LGCP::IsdnLinkStatus::congested
                                                  : LGCP::IsdnLinkStatus::normal);
    OnIoctlResponse(response);
}

void PstnSlot::OnUpdateTimer()
{
    update_timer_.set(update_ms, &PstnSlot::OnUpdateTimer, this);
    UpdateHDLC_Statistics();
    UpdateISDN_Statistics();
    UpdateSS7_Statistics();
}

void PstnSlot::UpdateHDLC_Statistics()
{
    OnIoctlResponse(hdlc_link_info(hdlc_, overflows_));
}

void PstnSlot::UpdateISDN_Statistics()
{
    if (!lapd_)
        return;
    LGCP::IoctlResponse response;
    if (lapd_->GetInfo(response.select_isdnLinkInfo()))
        OnIoctlResponse(response);
}

void PstnSlot::UpdateSS7_Statistics()
{
    if (!slc_)
        return;
    const SS7::SLC::Statistics& counters = slc_->statistics();
    LGCP::IoctlResponse response;
    ACP::SS7LinkInfo& info = response.select_ss7LinkInfo();
    info.set_msuTxCount(int(counters.su_sent));
    info.set_msuRxCount(int(counters.su_received));
    info.set_octetsTx(int(counters.octets_sent));
    info.set_octetsRx(int(counters.octets_received));
    info.set_speedRx(0);
    info.set_speedTx(0);
    info.set_overflowCntr(int(counters.tb_refused));
    info.set_rtbSize(int(counters.rtb_size));
    info.set_repeatCntr(int(counters.retransmissions));
    info.set_badSeqCntr(int(counters.nacks));
    info.get_ss7state().setValue(ACP::SS7State::NamedNumber(slc_->state_id()));
    OnIoctlResponse(response);
}
