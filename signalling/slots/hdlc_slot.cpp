#include "signalling/slots/hdlc_slot.h"

#include "signalling/slots/channel_end.h"
#include "signalling/slots/hdlc_link_info.h"

#include "foundation/util/ext_header.h"
#include "server/trace_ctl.h"

#include <iostream>

namespace {

// The octet after the first payload octet: bit 7 set while more frames of a burst follow.
constexpr unsigned marker_at = 4;
constexpr uint8_t more_follows = 0x80;

}  // namespace

HdlcSlot::HdlcSlot(const LGCP::HdlcParams& params)
    : trunk_less_one_(params.get_trunk().getValue() - 1), address_(uint16_t(params.get_address().getValue()))
{
    hdlc_.trunk = params.get_trunk().getValue();
    hdlc_.id = uint32_t(hdlc_.trunk);
    hdlc_.log = params.get_log().getValue();
    hdlc_.notify = this;
    if (traces.hdlc)
        std::clog << ext::header(this) << "trunk=" << hdlc_.trunk << ", address=" << address_ << std::endl;
    update_timer_.set(update_ms, &HdlcSlot::OnUpdateTimer, this);
    response_.select_hdlcPackages();
}

void HdlcSlot::PutHeader(std::ostream& out) const { out << "HdlcSlot[" << trunk_less_one_ << "/*]: "; }

bool HdlcSlot::IHwConnectTransmitter(Slot& destination)
{
    if (traces.hdlc)
        std::clog << ext::header(this) << "IHwConnectTransmitter" << std::endl;
    return connect_line(destination, destination.IGetReceiveChannel());
}

bool HdlcSlot::IHwConnectReceiver(Slot& source)
{
    if (traces.hdlc)
        std::clog << ext::header(this) << "IHwConnectReceiver" << std::endl;
    return connect_line(source, source.IGetTransmitChannel());
}

bool HdlcSlot::connect_line(Slot& peer, int channel)
{
    // The slot has no switch channel of its own to loop its channel back to.
    if (&peer == this) {
        std::cerr << ext::header(this) << "can't connect to itself" << std::endl;
        return false;
    }
    if (refused_without_channel(*this, channel_ended_, "connect refused"))
        return false;
    hdlc_.tdm_a = channel;
    hdlc_.mode = 1;
    if (channel != -1)
        iactivate();
    return true;
}

bool HdlcSlot::IHwDisconnectTransmitter(Slot& destination)
{
    if (traces.hdlc)
        std::clog << ext::header(this) << "IHwDisconnectTransmitter" << std::endl;
    Slot::IHwDisconnectTransmitter(destination);
    hdlc_.deactivate();
    return true;
}

bool HdlcSlot::IHwDisconnectReceiver(Slot& source)
{
    if (traces.hdlc)
        std::clog << ext::header(this) << "IHwDisconnectReceiver" << std::endl;
    Slot::IHwDisconnectReceiver(source);
    hdlc_.deactivate();
    return true;
}

bool HdlcSlot::IActivate(const TERM::TermActivateParams&)
{
    if (traces.hdlc)
        std::clog << ext::header(this) << "IActivate" << std::endl;
    if (refused_without_channel(*this, channel_ended_, "activate refused"))
        return false;
    iactivate();
    return true;
}

void HdlcSlot::iactivate()
{
    if (traces.hdlc)
        std::clog << ext::header(this) << "Try to activate HDCL, params.tdm = " << hdlc_.tdm_a << std::endl;
    if (!hdlc_.activate()) {
        OnDeactivated();
        return;
    }
    if (traces.hdlc)
        std::clog << ext::header(this) << "HDLC activated successfully" << std::endl;
}

bool HdlcSlot::IDeactivate()
{
    UpdateHDLC_Statistics();
    return true;
}

bool HdlcSlot::Ioctl(const LGCP::IoctlParams& params)
{
    const auto* packages = params.get_hdlcPackages();
    if (!packages || refused_without_channel(*this, channel_ended_, "hdlcPackages dropped"))
        return false;
    // Taken whole or not at all: a controller that sends the packages again then sends none twice.
    if (packages->size() > queue_.size() - queue_.count()) {
        for (size_t dropped = 0; dropped < packages->size(); ++dropped) {
            ++overflows_;
            std::cerr << ext::header(this) << "queue full, package dropped" << std::endl;
        }
        RefuseCommand(LGCP::ErrorCause::insufficientResources);
        return true;
    }
    if (!packet_pool_can_queue(uint32_t(packages->size()))) {
        std::cerr << ext::header(this) << "hdlcPackages refused, packet pool exhausted" << std::endl;
        RefuseCommand(LGCP::ErrorCause::insufficientResources);
        return true;
    }
    for (const LGCP::HdlcPackage& package : *packages) {
        Packet frame;
        frame.reserve_head(0);
        frame.put16_b(address_);
        frame.put(uint8_t(((tx_sequence_ << 5) & 0xE0) | rx_sequence_));
        const std::vector<char>& body = package.get_body().getValue();
        frame.put(reinterpret_cast<const unsigned char*>(body.data()), unsigned(body.size()));
        ++tx_sequence_;
        if (traces.hdlc)
            std::clog << ext::header(this) << "enqueue package: " << frame.text() << std::endl;
        queue_.put(frame);
    }
    if (!queue_.empty() && hdlc_.is_ready())
        on_hdlc_ready();
    return true;
}

void HdlcSlot::on_hdlc_ready()
{
    if (traces.hdlc)
        std::clog << ext::header(this) << "on_hdlc_ready" << std::endl;
    for (Packet frame; queue_.preview(&frame);) {
        if (traces.hdlc)
            std::clog << frame.text() << std::endl;
        if (!hdlc_.hdlc_transmit(frame))
            return;
        queue_.get(frame);
    }
}

void HdlcSlot::on_hdlc_receive(Packet& frame)
{
    if (traces.hdlc)
        std::clog << ext::header(this) << "on_hdlc_receive" << std::endl << frame.text() << std::endl;
    enqResponce(frame);
}

void HdlcSlot::on_hdlc_error(HDLC::Notify::Cause::Type)
{
    std::clog << ext::header(this) << "on_hdlc_error" << std::endl;
    // The channel closed itself on a failed read, and the driver never gives a channel back: the
    // slot lets it go for good, with the frames that waited for it, and the controller hears of it.
    channel_ended_ = true;
    queue_.clear();
    OnDeactivated();
}

void HdlcSlot::enqResponce(Packet& frame)
{
    // A frame without a whole header is for no address.
    if (frame.length() >= 3 && (frame[0] << 8 | frame[1]) == address_) {
        rx_sequence_ = frame[2] >> 5;
        auto* package = new LGCP::HdlcPackage;
        package->get_body().getValue().assign(frame.data() + 3, frame.data() + frame.length());
        response_.get_hdlcPackages()->append(package);
    }
    // A frame too short to carry the marker ends its burst.
    if (frame.length() > marker_at && (frame[marker_at] & more_follows)) {
        if (!flush_timer_.get())
            flush_timer_.set(flush_ms, &HdlcSlot::flushResponce, this);
        return;
    }
    flush_timer_.reset();
    flushResponce();
}

void HdlcSlot::flushResponce()
{
    auto& packages = *response_.get_hdlcPackages();
    if (traces.hdlc)
        std::clog << ext::header(this) << "flushResponce: " << packages.size() << std::endl;
    if (!packages.empty())
        OnIoctlResponse(response_);
    response_.select_hdlcPackages();
}

void HdlcSlot::OnUpdateTimer()
{
    update_timer_.set(update_ms, &HdlcSlot::OnUpdateTimer, this);
    UpdateHDLC_Statistics();
}

void HdlcSlot::UpdateHDLC_Statistics()
{
    OnIoctlResponse(hdlc_link_info(hdlc_, overflows_));
}
