#pragma once

// The network side of the D-channel data link of a basic-rate line in point-to-multipoint
// operation: up to eight terminals share the channel, each under a TEI this side hands out
// (64 to 126), checks once a minute and takes back from duplicates. Each assigned TEI is served by
// one LAPD_NT_user. Q.931 messages pass through: a SETUP goes to every terminal as a broadcast UI
// frame, every other message to the terminal holding its call (the one that named it last, where a
// terminal that started again reuses a call reference another still holds).
//
// One protocol layer: frames arrive through receive() and leave through transmit(); messages go up
// through on_message() and come down through message().

#include "foundation/protocol/protocol.h"
#include "foundation/reactor/timer.h"
#include "signalling/isdn/lapd_nt_user.h"

#include <cstdint>
#include <iosfwd>

namespace ISDN {

class LAPD_NT : public Protocol {
public:
    static constexpr unsigned terminals = 8;

    LAPD_NT();

    const Protocol_name& name() const override { return name_; }
    void local_prepare_head(Packet& p) override;
    void local_prepare_tail(Packet& p) override;
    // Starts checking the TEIs and is active at once.
    void local_activate() override;
    // Stops the checks and takes every TEI back; reports nothing.
    void local_deactivate() override;
    // A message for a call that no terminal holds, or too short to name one, or one that finds its
    // terminal's send queue full is dropped and reported refused.
    void message(Packet& p) override;
    void receive(Packet& frame) override;

    void set_log(unsigned int level);
    void send_to_layer3(Packet& p) { on_message(p); }
    void send_to_layer1(Packet& p) { transmit(p); }
    // Counts the messages of every terminal: when a terminal named a call.
    uint64_t next_naming() { return ++namings_; }
    // The terminal entity holding the TEI, or none.
    LAPD_NT_user* find_Tei(unsigned char tei);
    // An unassigned entity for the TEI, or for 127 the lowest automatic TEI that no terminal holds:
    // the one that held the TEI last if it is free (its calls must not pass to a new holder), else
    // one that keeps no calls of a terminal whose TEI was freed, if there is one.
    LAPD_NT_user* find_free_Tei(unsigned char tei);
    void tx_identity(unsigned short Ri, int Ai, unsigned char type);
    // A check cycle: every assigned TEI must answer an identity check within 2 s.
    void check_all_Tei();

    unsigned int log_level() const { return log_; }

private:
    void tei_management(const Packet& frame);
    void on_check_response(unsigned ri, unsigned ai);
    void remove_twice(unsigned ai);
    // The unassigned entity that held the TEI last, or none: it keeps the calls of the TEI's
    // terminal until the TEI is given to another.
    LAPD_NT_user* freed_holder(unsigned char tei);
    // The terminal that named the call of a message from above last, or none.
    LAPD_NT_user* holder(const Packet& p);
    // Reports a message from above dropped.
    void refuse(Protocol_status_refused::Reason reason, const char* why);
    std::ostream& line() const;

    Timer check_timer_;
    LAPD_NT_user users_[terminals];
    unsigned int log_ = 0;
    uint64_t namings_ = 0;
    Protocol_name_str name_{"ISDN::LAPD_NT"};
};

}  // namespace ISDN
