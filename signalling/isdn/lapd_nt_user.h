#pragma once

// One terminal of a basic-rate line in point-to-multipoint operation as the network side serves it:
// a small multiple-frame data link for SAPI 0 under the TEI the network gave the terminal. It
// carries the terminal's Q.931 messages up and the messages of the calls it holds down, at
// most seven unacknowledged at a time; the others wait until acknowledgements make room.

#include "foundation/packet/packet.h"
#include "foundation/reactor/timer.h"
#include "signalling/clean_queue.h"
#include "signalling/isdn/terminal_calls.h"

#include <cstdint>
#include <iosfwd>

namespace ISDN {

class LAPD_NT;

class LAPD_NT_user {
public:
    enum State { unassigned = 0, assigned = 1, wait_answer = 2 };

    // Takes the TEI (again): a new link is set up with SABME; during a check it only ends the check.
    // A terminal given the TEI anew holds no call.
    void assign();
    // The terminal whose TEI was freed speaks under it again, and no other terminal was given the TEI
    // since: a new link is set up, and the calls it held are still its own.
    void resume();
    // Frees the TEI: nothing more is sent or taken. The calls are kept for the terminal, should it
    // speak under the TEI again.
    void unassign();
    // Frees the TEI and forgets the calls: whoever speaks under it later is another terminal.
    void remove();
    // Starts a check of the TEI: unless the terminal answers within 2 s, or within 2 s of a second
    // request, it is unassigned.
    void checking();
    void receive(Packet& frame, bool response);
    // When the terminal last named the call of a message from above, counted as LAPD_NT counts; 0
    // when it holds no such call or has no TEI.
    uint64_t named(const Packet& p) const { return state_ == unassigned ? 0 : calls_.named(p); }
    // A message for a call this terminal takes part in; false when it finds 128 messages waiting
    // for the terminal and is dropped.
    bool message(Packet& p);
    void on_timer();
    void set_log(unsigned int level) { log_ = level; }
    void set_lapd(LAPD_NT* lapd) { lapd_ = lapd; }

    State state() const { return state_; }
    // Whether calls of the terminal are kept: held while assigned, kept for it once its TEI is freed.
    bool holds_calls() const { return !calls_.empty(); }
    uint8_t tei() const { return tei_; }
    void set_tei(uint8_t tei) { tei_ = tei; }
    bool is_checking() const { return checking_; }
    uint16_t ri() const { return ri_; }
    void set_ri(uint16_t ri) { ri_ = ri; }

private:
    void on_I(Packet& frame, unsigned ns, unsigned nr, bool p);
    void on_RR(bool command, bool pf, unsigned nr);
    void on_RNR(bool command, bool pf, unsigned nr);
    void on_REJ(bool command, bool pf, unsigned nr);
    void on_SABME(bool p);
    void on_DM();
    void on_DISC(bool p);
    void on_FRMR();
    void on_XID();

    void tx_U(uint8_t control, bool pf, bool command);
    void tx_S(uint8_t type, bool pf, bool command);
    // Sends the message as an I frame and keeps it for retransmission; false when the pool is dry.
    bool tx_I(Packet& p, unsigned nr, unsigned ns);
    // The I frame header, a command with P set, in front of the message.
    void push_i_header(Packet& frame, unsigned nr, unsigned ns) const;
    // The unacknowledged I frames again, each with the current N(R).
    void retransmit();
    // Whether the terminal's N(R) acknowledges only what was sent; frames it acknowledges leave the
    // acknowledgement queue.
    bool ack_queue(unsigned nr);
    void set_busy();
    void set_unbusy();
    // Sends waiting messages while the terminal is not busy and fewer than seven are unacknowledged.
    bool send_waiting();
    // The terminal acknowledged something: idle again, or waiting for the rest. Whether waiting
    // messages went out.
    bool acknowledged();
    // The link's numbers, queues and conditions from the start, SABME sent; idle.
    void set_up_link();
    void start_link_timer(unsigned ms);
    void on_check_timer();
    std::ostream& line() const;

    bool checking_ = false;
    bool check_repeated_ = false;  // the check's second request went
    LAPD_NT* lapd_ = nullptr;
    uint8_t vr_ = 0;
    uint8_t mark_ = 0;  // the last N(R) accepted, minus one
    uint8_t vs_ = 0;
    uint8_t tei_ = 0;
    State state_ = unassigned;
    Timer link_timer_;  // idle poll in state assigned, T200 in state wait_answer
    Timer check_timer_;
    uint32_t retransmissions_ = 0;
    TerminalCalls calls_;
    bool busy_ = false;
    bool rejecting_ = false;  // a REJ asked for a frame that has not come yet
    unsigned int log_ = 0;
    CleanQueue<Packet, 135> send_queue_;  // messages waiting for the terminal
    CleanQueue<Packet, 7> ack_queue_;     // I frames sent and not yet acknowledged, header included
    uint16_t ri_ = 0;  // of the last identity check response accepted
};

}  // namespace ISDN
