#pragma once

// A signalling channel of a trunk: an SS7 signalling link, an ISDN D channel (user or network side,
// primary or basic rate), the network side of a basic-rate line with automatic TEIs, or a CAS
// channel. The slot owns one HDLC channel of the channel controller, which the TDM switch joins to
// the trunk's time slot when the controller connects the slot, and a protocol stack holding the
// link. Layer-3 octets pass through unchanged; the link's statistics go to the controller every
// 3000 ms and whenever the link goes up or down.

#include "foundation/protocol/protocols_family.h"
#include "foundation/reactor/timer.h"
#include "hardware/hdlc.h"
#include "server/slot.h"
#include "signalling/clean_queue.h"
#include "signalling/isdn/lapd.h"

#include <ostream>

namespace ISDN {
class LAPD_NT;
}
namespace SS7 {
class SLC;
}

class PstnSlot : public Slot, public ProtocolsFamily, public ISDN::LAPD::Notify, public HDLC::Notify {
public:
    // 0 and 1 use one E1 time slot both ways; 2 and 3 receive from one switch channel and transmit
    // to another. CAS is kind 0 without a protocol.
    enum Kind { ss7 = 0, isdn_primary = 1, bri_user = 2, bri_network = 3 };
    static constexpr unsigned update_ms = 3000;

    explicit PstnSlot(const LGCP::PstnParams& params);
    ~PstnSlot() override;

    void OnTrunkStatus(unsigned int trunk, const ACP::TrunkState::NamedNumber& state) override;
    // Refused once the channel has ended, as are user data and new connections.
    bool IActivate(const TERM::TermActivateParams&) override;
    bool IDeactivate() override;
    // One message down the stack. Refused while an SS7 link is out of service and once the channel
    // has ended; a message the link drops is answered with an error.
    bool IUserData(const std::vector<char>& data) override;
    bool Ioctl(const LGCP::IoctlParams& params) override;
    // Above a trunk slot's: the PSTN slot routes the channel itself.
    int GetConnectionPriority() override { return 1; }
    bool IHwConnectTransmitter(Slot& destination) override;
    bool IHwConnectReceiver(Slot& source) override;
    bool IHwDisconnectTransmitter(Slot& destination) override;
    bool IHwDisconnectReceiver(Slot& source) override;
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return true; }
    const char* GetName() const override { return "pstn"; }

    // From the HDLC channel, for the link.
    void on_hdlc_receive(Packet& frame) override;
    // The channel has ended: the link goes down and the slot signals deactivated.
    void on_hdlc_error(HDLC::Notify::Cause::Type cause) override;
    void on_hdlc_ready() override;

    // The stack's deactivation: what waits for the channel is dropped with it.
    void local_deactivate() override;
    void on_activated(Protocol* layer) override;
    // Not passed on once the channel has ended: the slot reported the link down then.
    void on_deactivated(Protocol* layer, Smart_pointer<Internal_protocol_status> status) override;
    void on_message(Packet& p) override;
    // The network side of a basic-rate line sends its frames through the stack: to the channel.
    // Frames the channel's full queue refuses wait, in order, until it is ready again; later frames
    // wait behind them.
    void transmit(Packet& frame) override;
    void OnLAPD_FlowStatusChange(ISDN::LAPD* link) override;

    void OnUpdateTimer();
    void PutHeader(std::ostream& out) const { out << "pstn-slot: "; }

private:
    bool e1() const { return kind_ == ss7 || kind_ == isdn_primary; }
    // Opens the HDLC channel and starts the link; deactivated when the channel cannot be had.
    void iactivate();
    // Hands the waiting frames to the channel while it takes them.
    void send_waiting();
    // The link's statistics, then the signal deactivated.
    void report_deactivated();
    void UpdateHDLC_Statistics();
    void UpdateISDN_Statistics();
    void UpdateSS7_Statistics();

    HDLC hdlc_;
    int kind_ = ss7;
    uint32_t trunk_ = 0;  // the request's trunk less one, for the link kinds that name one
    SS7::SLC* slc_ = nullptr;        // the links are owned by the stack; at most one is present
    ISDN::LAPD* lapd_ = nullptr;
    ISDN::LAPD_NT* lapd_nt_ = nullptr;
    HDLC::Notify* sink_ = nullptr;   // the link that takes the channel's events, if any
    ACP::TrunkState::NamedNumber last_state_ = ACP::TrunkState::unknown;
    Timer update_timer_;
    // The network side's frames waiting for the channel, as many as a data link keeps to send.
    CleanQueue<Packet, 135> waiting_;
    uint32_t overflows_ = 0;  // frames dropped because even the waiting queue was full
    bool channel_ended_ = false;  // the channel's read ended or failed: it is gone for good
};
