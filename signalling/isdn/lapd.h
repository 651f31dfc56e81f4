#pragma once

// The ISDN D-channel data link (Q.921) of one signalling slot: one SAPI 0 link to one peer in
// acknowledged multiple-frame operation (window 7, modulo-128 numbering), user or network side,
// primary or basic rate; a basic-rate user side also asks the network for its TEI.
//
// It is the bottom layer of its slot's protocol stack. Frames come from the frame channel through
// HDLC::Notify and leave through the GenericHDLC the host gives it; the information field of every
// I frame accepted in sequence goes up as a message, every non-empty message from above leaves as
// one I frame. Every entry (frame, message, timer, channel ready) runs to completion and ends with
// the same end-of-event work: acknowledged frames leave the acknowledgement queue, queued frames are
// sent while the window allows, a pending acknowledgement goes out, congestion is re-evaluated.

#include "asn1/modules/ACP.h"
#include "foundation/protocol/protocol.h"
#include "foundation/reactor/timer.h"
#include "hardware/hdlc.h"
#include "signalling/clean_queue.h"
#include "signalling/isdn/lapd_full_state.h"
#include "signalling/isdn/lapd_stats.h"
#include "signalling/isdn/side.h"

#include <cstdint>
#include <functional>
#include <iosfwd>

namespace ISDN {

class LAPD : public Protocol, private LAPDFullState, public HDLC::Notify {
public:
    // The host's view of the link's congestion.
    class Notify {
    public:
        virtual ~Notify() = default;
        // The flow status changed; the host reads the new one from the link.
        virtual void OnLAPD_FlowStatusChange(LAPD* link) = 0;
    };
    struct FlowStatus {
        enum Type { normal = 0, congested = 1 };
    };
    using Stats = LAPDStats;
    // Error reports, carrying the link's state as it was when they were made.
    class Status;

    // State 3 (TEI assigned) with TEI 0 in primary-rate mode, both queues empty.
    LAPD(Side::type side, unsigned int log);

    const Protocol_name& name() const override;
    // The four octets of an I frame's header go into the message's own head room.
    void local_prepare_head(Packet& p) override;
    void local_prepare_tail(Packet& p) override;
    // DL-ESTABLISH request.
    void local_activate() override;
    // DL-RELEASE request.
    void local_deactivate() override;
    // DL-DATA request. The link takes over the caller's handle, so that it holds the message's only
    // reference and the header is written in place when the frame is sent. A message that finds the
    // send queue full is dropped and reported refused.
    void message(Packet& p) override;
    // One frame from the channel; its information field goes up in the same packet.
    void receive(Packet& frame) override;
    // "LAPD[<link>] (<state>): ", which starts every line but the state changes.
    virtual void PutHeader(std::ostream& out) const;
    void on_hdlc_receive(Packet& frame) override;
    void on_hdlc_error(HDLC::Notify::Cause::Type cause) override;
    // Sends what waited for the channel.
    void on_hdlc_ready() override;
    // MDL-ASSIGN request: the TEI the link answers to.
    virtual void mdl_assign(unsigned char tei);
    // MDL-ASSIGN indication: the link has no TEI and starts asking for one.
    virtual void on_mdl_assign();
    // MDL-REMOVE request: the TEI is gone.
    virtual void mdl_remove();
    // A management error by its code; reported to the layer above with its text.
    virtual void on_error(unsigned int code);
    void on_error(const char* text);

    // Basic rate: UI frames are taken; on the user side frames for other TEIs are dropped and the
    // TEI is asked for with TEI management.
    void change_to_bri();
    FlowStatus::Type flow_status() const { return flow_status_; }

    // Fills the controller's link information (all but the side, which stays as the caller's
    // record holds it); true when it differs from the last one reported, which it then becomes.
    bool GetInfo(ACP::IsdnLinkInfo& info) const;
    // A status "current status" with the state as it is now.
    Smart_pointer<Internal_protocol_status> status() const;
    // The state and the counters on the output stream.
    void show_stat();

    // Set by the host after construction.
    Side::type side;
    uint32_t link_number = 0;  // the trunk or the QSIG channel, shown in the log lines
    uint32_t log_level;  // 0 only losses, refusals, TEI and T203; 2 state changes; 3 frames; 4 events
    // The channel must write a frame before hdlc_transmit returns and keep no handle to it: the link
    // takes its header back off the same block afterwards. Not owned; none: nothing is sent.
    GenericHDLC* channel = nullptr;
    Notify* listener = nullptr;  // not owned, may be null
    // Draws the reference number Ri of each TEI request. By default a generator that the process
    // seeds once from its entropy source, so that a terminal started again, or beside another, does
    // not ask with the same numbers.
    std::function<uint16_t()> draw_reference;

private:
    enum TimerId { T200, T202, T203 };
    enum class Sent { sent, refused, dropped };

    std::ostream& line() const;
    void trace(const char* prefix, const Packet& frame, bool network_to_user) const;
    void set_state(uint32_t next);
    void change_flowstatus(FlowStatus::Type status);
    void deactivated(const char* error);

    // Frames out.
    bool tx(Packet& frame);
    Packet new_frame(bool command, uint32_t sapi, uint32_t tei);
    void pool_exhausted();
    bool tx_u(uint8_t code, bool pf, bool command);
    bool tx_s(uint8_t code, bool pf, bool command);
    Sent tx_i(Packet& frame);
    void tx_identity(uint8_t type, uint8_t ai);

    // Procedures shared by the state tables.
    void clear_exceptions();
    void establish();
    void reestablish();
    void enquiry();
    void enquiry_response();
    void nr_error_recovery();
    void retransmit_from(unsigned nr);
    bool in_window(unsigned nr) const;
    void discard_queues();
    void reset_sequence();
    void tei_request();
    void end_of_event();
    void acknowledgement_refresh();
    void queued_up_transmission();

    // Frames in.
    void dispatch(Packet& frame, bool command);
    void on_i(unsigned ns, bool p, unsigned nr, Packet& frame);
    void on_s(unsigned type, bool command, bool pf, unsigned nr);
    void on_u(uint8_t code, bool command, bool pf, Packet& frame);
    void on_sabme(bool p);
    void on_disc(bool p);
    void on_ua(bool f);
    void on_dm(bool command, bool f);
    void on_ui(Packet& frame);
    void on_tei_management(const Packet& info);

    // T200, T202 and T203 share one reactor timer; at most one of them is pending.
    bool& running(TimerId id);
    void report_misuse(const char* verb, TimerId id);
    void start_timer(TimerId id);
    void stop_timer(TimerId id);
    void on_t200();
    void on_t202();
    void on_t203();

    Stats stats_;
    FlowStatus::Type flow_status_ = FlowStatus::normal;
    mutable ACP::IsdnLinkInfo last_info_;
    bool bri_ = false;
    uint16_t ri_ = 0;  // reference number of the pending TEI request
    bool pool_dry_ = false;  // the last frame found no packet: a run of such losses is logged once
    Timer timer_;
    CleanQueue<Packet, 135> send_queue_;  // messages not yet sent, and frames put back to be sent again
    CleanQueue<Packet, 7> ack_queue_;  // I frames sent and not yet acknowledged, without their header
    Protocol_name_str name_{"ISDN::LAPD"};
};

}  // namespace ISDN
