#pragma once

// An ISDN D channel terminated by a data link of its own: the slot drives its channel descriptor
// itself, as the data link's frame channel, and passes the layer-3 octets between the link and the
// controller. The descriptor is a channel of the channel controller (IsdnSlot) or of the DSP data
// driver (AtsQsigSlot).

#include "foundation/protocol/protocols_family.h"
#include "foundation/reactor/event.h"
#include "hardware/generic_hdlc.h"
#include "server/slot.h"
#include "signalling/isdn/lapd.h"

#include <iosfwd>
#include <sys/types.h>

class IsdnSlot : public Slot, public ProtocolsFamily, public ISDN::LAPD::Notify, public GenericHDLC {
public:
    // Takes the data link into the slot's stack and watches a duplicate of the channel's descriptor
    // under the event name; the link's frame channel and listener become the slot.
    IsdnSlot(Fd fd, int channel, ISDN::LAPD* link, const char* event_name = "IsdnSlot::OnEvent");

    // DL-ESTABLISH and DL-RELEASE; DL-ESTABLISH is refused once the channel has ended.
    bool IActivate(const TERM::TermActivateParams&) override;
    bool IDeactivate() override;
    // One layer-3 message to the data link; one that finds its send queue full is answered with an
    // error. Refused once the channel has ended.
    bool IUserData(const std::vector<char>& data) override;
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return true; }
    int IGetTransmitChannel() override { return channel; }
    int IGetReceiveChannel() override { return channel; }
    const char* GetName() const override { return "MCC"; }

    // The data link's frame channel: one write per frame; false when the channel cannot take it now
    // (the link waits for it to become ready) or failed.
    bool hdlc_transmit(Packet& frame) override;
    bool is_open() const override { return event_.fd() >= 0; }
    bool is_ready() const override { return ready_; }

    void on_activated(Protocol* layer) override;
    // Not passed on once the channel has ended: the slot reported the link down then.
    void on_deactivated(Protocol* layer, Smart_pointer<Internal_protocol_status> status) override;
    void on_message(Packet& p) override;
    // The link is the bottom of the stack and sends through hdlc_transmit: nothing comes here.
    void transmit(Packet&) override {}
    // Not reported by these slots.
    void OnLAPD_FlowStatusChange(ISDN::LAPD*) override {}

    // Reads one frame for the link, or, once the channel can take frames again, lets the link send.
    // A channel whose read ends or fails is let go: the link goes down and the slot signals
    // deactivated.
    void OnEvent(int fd, short revents);
    void PutHeader(std::ostream& out) const;

    int channel;  // the D channel's switch channel

protected:
    Event event_;

private:
    // `length` and `error`: the read that ended the channel.
    void lose_channel(ssize_t length, int error);
    // isdnLinkInfo, when it changed since the last one sent.
    void UpdateISDN_Statistics();

    ISDN::LAPD* link_;  // owned by the stack
    bool ready_ = false;
    uint32_t rx_dropped_ = 0;  // frames read when no packet was left to hold them
};
