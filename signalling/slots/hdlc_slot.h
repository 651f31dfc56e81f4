#pragma once

// A raw HDLC link on a trunk time slot, with a thin framing of its own: each frame carries a 16-bit
// address and a sequence octet (the sender's transmit number in bits 7-5, the last number it
// received in bits 2-0) before the payload. The controller sends payloads as hdlcPackages ioctls;
// frames for the slot's address come back batched in unsolicited hdlcPackages responses, and the
// channel's statistics every 3000 ms.

#include "foundation/reactor/timer.h"
#include "hardware/hdlc.h"
#include "server/slot.h"
#include "signalling/clean_queue.h"

#include <cstdint>
#include <iosfwd>

class HdlcSlot : public Slot, public HDLC::Notify {
public:
    static constexpr unsigned update_ms = 3000;
    static constexpr unsigned flush_ms = 100;

    explicit HdlcSlot(const LGCP::HdlcParams& params);

    const char* GetName() const override { return "hdlc-slot"; }
    // Above a trunk slot's: the slot routes its channel itself.
    int GetConnectionPriority() override { return 1; }
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return true; }
    bool IHwConnectTransmitter(Slot& destination) override;
    bool IHwConnectReceiver(Slot& source) override;
    bool IHwDisconnectTransmitter(Slot& destination) override;
    bool IHwDisconnectReceiver(Slot& source) override;
    // Refused once the channel has ended, as are packages and new connections.
    bool IActivate(const TERM::TermActivateParams&) override;
    // Reports the statistics at once.
    bool IDeactivate() override;
    // hdlcPackages only: each package becomes one frame, queued for the channel. Packages that do
    // not all fit in the queue are dropped, none of them queued, and the command is answered with an
    // error.
    bool Ioctl(const LGCP::IoctlParams& params) override;

    void on_hdlc_receive(Packet& frame) override;
    // The channel has ended: the slot signals deactivated.
    void on_hdlc_error(HDLC::Notify::Cause::Type cause) override;
    // Sends what is queued while the channel takes it.
    void on_hdlc_ready() override;

    // Collects a frame for this slot's address; its marker octet decides when the batch goes.
    void enqResponce(Packet& frame);
    // Sends the batch collected, if any, and starts a new one.
    void flushResponce();
    void UpdateHDLC_Statistics();
    void OnUpdateTimer();
    void PutHeader(std::ostream& out) const;

private:
    // Joins the channel to a peer's switch channel both ways and activates it when that is known;
    // false for the slot itself.
    bool connect_line(Slot& peer, int channel);
    void iactivate();

    HDLC hdlc_;
    LGCP::IoctlResponse response_;
    int trunk_less_one_;
    Timer update_timer_;
    Timer flush_timer_;
    CleanQueue<Packet, 120> queue_;
    uint16_t address_;
    uint8_t tx_sequence_ = 0;
    uint8_t rx_sequence_ = 0;
    // Packages dropped by a full queue; the channel itself counts none as overflows.
    uint32_t overflows_ = 0;
    bool channel_ended_ = false;  // the channel's read ended or failed: it is gone for good
};
