#pragma once

// Signalling link control of SS7 MTP level 2 (Q.703) for one 64 kbit/s link in an HDLC channel:
// link state control with normal and emergency proving, basic error correction (negative
// acknowledgement by inverting the BIB, retransmission of the whole RTB, two abnormal BSNs or FIBs
// in a row take the link out of service) and transmission control over a transmission buffer (TB)
// and a retransmission buffer (RTB) of at most 127 MSUs. No SIPO, SIB, error rate monitors or
// preventive cyclic retransmission.
//
// One protocol layer: MSUs (service information octet and signalling information field) come down
// through message() and go up through on_message(); whole signal units go to the channel the owner
// gives it and come back through HDLC::Notify. Entering "worked" reports the link activated, every
// entry into "idle" reports it deactivated.

#include "foundation/protocol/protocol.h"
#include "foundation/reactor/timer.h"
#include "hardware/hdlc.h"
#include "signalling/clean_queue.h"
#include "signalling/cyclic.h"

#include <cstdint>
#include <iosfwd>

namespace SS7 {

class SLC : public Protocol, public HDLC::Notify {
public:
    // The status octet of an LSSU; any other value is no indication at all.
    struct Indication {
        enum Type { SIO = 0, SIN = 1, SIE = 2, SIOS = 3 };
    };
    using Seq = Cyclic<unsigned int, 127u>;

    // A link state: each event goes to the SLC member of the same name made for the state's own
    // type; where the SLC has none for it, the one for the plain State, which ignores the event.
    class State {
    public:
        virtual ~State() = default;
        virtual void on_enter(SLC&) {}
        virtual void on_leave(SLC&) {}
        virtual void fisu(SLC&) {}
        virtual void lssu(SLC&, unsigned) {}
        virtual void msu(SLC&, Packet&) {}
        virtual void message(SLC&, Packet&) {}
        virtual int get_state_id() const = 0;
    };
    template <class Type, class Base>
    class TState : public Base {
    public:
        void on_enter(SLC& slc) override { slc.on_enter(self()); }
        void on_leave(SLC& slc) override { slc.on_leave(self()); }
        void fisu(SLC& slc) override { slc.fisu(self()); }
        void lssu(SLC& slc, unsigned status) override { slc.lssu(self(), status); }
        void msu(SLC& slc, Packet& p) override { slc.msu(self(), p); }
        void message(SLC& slc, Packet& p) override { slc.message(self(), p); }
        int get_state_id() const override { return Type::id; }

    private:
        Type& self() { return static_cast<Type&>(*this); }
    };
    // The states, numbered as the controller's link information numbers them. Aligned ready takes
    // its signal units as proving does and has an entry and exit of its own.
    struct Idle : TState<Idle, State> { static constexpr int id = 0; };
    struct NotAligned : TState<NotAligned, State> { static constexpr int id = 1; };
    struct Aligned : TState<Aligned, State> { static constexpr int id = 2; };
    struct Proving : TState<Proving, State> { static constexpr int id = 3; };
    struct AlignedReady : TState<AlignedReady, Proving> { static constexpr int id = 4; };
    struct Worked : TState<Worked, State> { static constexpr int id = 5; };

    // What the link counts, never reset.
    struct Statistics {
        uint32_t su_sent = 0;
        uint32_t su_received = 0;
        uint32_t octets_sent = 0;
        uint32_t octets_received = 0;
        uint32_t tb_refused = 0;  // MSUs dropped by a full TB
        uint32_t rtb_size = 0;    // MSUs in the RTB when the counters were read
        uint32_t retransmissions = 0;
        uint32_t nacks = 0;
    };
    // The trace switches, in the order of the controller's log parameter.
    struct Trace {
        bool state = false;
        bool raw_receive = false;
        bool raw_transmit = false;
        bool mtp_transmit = false;
        bool mtp_receive = false;
        bool mtp_activate = false;
        bool timers = false;
        bool msu_processing = false;
    };

    // Idle, without idle's entry having run.
    SLC();
    ~SLC() override;

    const Protocol_name& name() const override { return name_; }
    void local_prepare_head(Packet& p) override;
    void local_prepare_tail(Packet& p) override;
    void local_activate() override;
    void local_deactivate() override;
    // An MSU from above: taken only in worked. One that finds the TB full is dropped and reported
    // refused.
    void message(Packet& p) override;
    // One signal unit from the channel.
    void receive(Packet& p) override;
    void protocol_info(std::ostream& os) const override;

    void on_hdlc_receive(Packet& frame) override;
    // The channel stopped: a local link failure.
    void on_hdlc_error(HDLC::Notify::Cause::Type cause) override;
    void on_hdlc_ready() override;

    // The trunk's hardware went down (false) or up.
    void OnTrunkHardStatus(bool up);
    // The counters, with the RTB's present size.
    const Statistics& statistics() const;
    int state_id() const { return current_->get_state_id(); }
    // The FSN of the last MSU accepted (127 after a reset).
    unsigned bsnt() const { return bsnt_; }

    // "SS7/L2 [dpc=<dpc>, slc=<slc>, trunk=<trunk>] (<state>): "
    void PutHeader(std::ostream& out) const;

    // Set by the owner.
    Trace trace;
    uint32_t trunk = 0;
    bool emergency = false;
    uint32_t slc = 0;
    uint32_t dpc = 0;
    uint32_t opc = 0;
    GenericHDLC* channel = nullptr;  // not owned

private:
    // The state members the states call; the ones for the plain State ignore the event.
    void on_enter(State&) {}
    void on_leave(State&) {}
    void fisu(State&) {}
    void lssu(State&, unsigned) {}
    void msu(State&, Packet&) {}
    void message(State&, Packet&) {}

    void on_enter(Idle&);
    void lssu(Idle&, unsigned status);
    void on_enter(NotAligned&);
    void lssu(NotAligned&, unsigned status);
    void on_enter(Aligned&);
    void lssu(Aligned&, unsigned status);
    void on_enter(Proving&);
    void fisu(Proving&);
    void lssu(Proving&, unsigned status);
    void msu(Proving&, Packet&);
    void on_enter(AlignedReady&);
    void on_enter(Worked&);
    void fisu(Worked&);
    void lssu(Worked&, unsigned status);
    void msu(Worked&, Packet& p);
    void message(Worked&, Packet& p);

    std::ostream& line(std::ostream& stream) const;
    std::ostream& header_fields(std::ostream& out) const;
    // " BSN=.. BIB=.. FSN=.. FIB=..": the header of the last signal unit received.
    std::ostream& received(std::ostream& out) const;
    void change_state(State& next);
    void reset();
    bool send(Packet& su);
    void send_fisu();
    void send_lssu(Indication::Type status);
    void serve_tb();
    void negative_acknowledgement();
    // False when the link went out of service.
    bool process_bsn();
    void retransmit();
    // Both FIB cases of FISU and MSU processing that differ from the expected BIB.
    void unexpected_fib();

    void start_timer(unsigned ms, void (SLC::*expiry)());
    void stop_timer() { timer_.reset(); }
    void on_t1();
    void on_t2();
    void on_t3();
    void on_t4();
    void on_t7();

    // Header of the last signal unit received.
    Seq bsnr_, fsnr_;
    unsigned bibr_ = 0, fibr_ = 0;
    uint32_t li_ = 0;
    // Transmit side: BSNT is the FSN of the last MSU accepted, FSNT the FSN of the next one sent.
    Seq bsnt_, fsnt_;
    unsigned bibt_ = 0, fibt_ = 0;
    // What a FISU or MSU in worked is checked against.
    Seq bsnx_;
    unsigned bibx_ = 0, fibx_ = 0;
    bool waiting_retransmission_ = false;
    bool abnormal_bsn_ = false;
    bool abnormal_fib_ = false;
    // The RTB, indexed by FSN: MSUs from FSNF to FSNL wait for their acknowledgement.
    Packet rtb_[128];
    Seq fsnf_, fsnl_ = 127;
    int32_t rtb_count_ = 0;
    CleanQueue<Packet, 327> tb_;
    Timer timer_;
    Idle idle_;
    NotAligned not_aligned_;
    Aligned aligned_;
    Proving proving_;
    AlignedReady aligned_ready_;
    Worked worked_;
    State* current_ = &idle_;
    Protocol_name_str name_{"MTP/L2"};
    mutable Statistics stats_;
};

}  // namespace SS7
