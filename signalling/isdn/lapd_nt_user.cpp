#include "signalling/isdn/lapd_nt_user.h"

#include "signalling/head_room.h"
#include "signalling/isdn/lapd_nt.h"
#include "signalling/isdn/tei_management.h"

#include <iostream>
#include <new>

namespace ISDN {

namespace {

constexpr unsigned check_ms = 2000;
constexpr unsigned idle_ms = 10000;
constexpr unsigned t200_ms = 1000;
constexpr unsigned n200 = 3;
constexpr unsigned window_k = 7;
constexpr unsigned send_queue_limit = 128;
constexpr uint8_t rr = 0x01, rnr = 0x05, rej = 0x09;
constexpr uint8_t sabme = 0x6F, ua = 0x63, dm = 0x0F, disc = 0x43, frmr = 0x87, xid = 0xAF;
constexpr uint8_t pf_bit = 0x10;

}  // namespace

std::ostream& LAPD_NT_user::line() const
{
    // The lines are written only above trace level 1.
    static std::ostream silent(nullptr);
    if (log_ <= 1)
        return silent;
    std::clog << "LAPD_user(NT BRI)[";
    if (state_ == unassigned)
        std::clog << "unassigned]:";
    else
        std::clog << "Tei=" << unsigned(tei_) << (state_ == assigned ? ",assigned" : ",wait_answer");
    return std::clog << (checking_ ? ",check" : "") << (busy_ ? ",busy" : "") << "]";
}

void LAPD_NT_user::start_link_timer(unsigned ms) { link_timer_.set(ms, &LAPD_NT_user::on_timer, this); }

void LAPD_NT_user::assign()
{
    if (checking_ && state_ != unassigned) {
        line() << "checked" << std::endl;
        checking_ = false;
        check_timer_.reset();
        return;
    }
    // A terminal that takes the entity over takes over none of its predecessor's calls.
    calls_.clear();
    set_up_link();
}

void LAPD_NT_user::resume() { set_up_link(); }

void LAPD_NT_user::set_up_link()
{
    line() << "assigned" << std::endl;
    vr_ = mark_ = vs_ = 0;
    state_ = assigned;
    tx_U(sabme, true, true);
    busy_ = checking_ = rejecting_ = false;
    send_queue_.clear();
    ack_queue_.clear();
    retransmissions_ = 0;
    start_link_timer(idle_ms);
}

void LAPD_NT_user::unassign()
{
    line() << "unassigned" << std::endl;
    state_ = unassigned;
    link_timer_.reset();
    check_timer_.reset();
}

void LAPD_NT_user::remove()
{
    unassign();
    calls_.clear();
}

void LAPD_NT_user::checking()
{
    if (state_ == unassigned)
        return;
    line() << "checking started" << std::endl;
    checking_ = true;
    check_repeated_ = false;
    check_timer_.set(check_ms, &LAPD_NT_user::on_check_timer, this);
}

void LAPD_NT_user::on_check_timer()
{
    if (!check_repeated_) {
        // The request or the answer may have been lost on the line: the TEI is asked about once more
        // before it is freed.
        line() << "checking repeated" << std::endl;
        check_repeated_ = true;
        lapd_->tx_identity(0, tei_, TeiManagement::identity_check_request);
        check_timer_.set(check_ms, &LAPD_NT_user::on_check_timer, this);
        return;
    }
    checking_ = false;
    unassign();
}

bool LAPD_NT_user::message(Packet& p)
{
    const bool waits = busy_ || ack_queue_.count() >= window_k || !send_queue_.empty();
    if (waits && send_queue_.count() >= send_queue_limit) {
        // What waits is kept in order; the sender learns that this one found no room.
        std::cerr << "LAPD_user(NT BRI)[Tei=" << unsigned(tei_) << "]: send queue full, message dropped" << std::endl;
        return false;
    }
    calls_.on_network_message(p);
    if (waits || !tx_I(p, vr_, vs_)) {
        // Behind the others, or as soon as the terminal takes frames again; so too a message that
        // found no packet for its frame, which goes with the next acknowledgement.
        send_queue_.put(p);
        return true;
    }
    vs_ = (vs_ + 1) & 127;
    state_ = wait_answer;
    start_link_timer(t200_ms);
    return true;
}

void LAPD_NT_user::receive(Packet& frame, bool response)
{
    const uint8_t control = frame[2];
    if (!(control & 1)) {
        if (response || frame.length() < 4)
            return;
        return on_I(frame, control >> 1, frame[3] >> 1, frame[3] & 1);
    }
    if ((control & 3) == 1) {
        if (frame.length() < 4)
            return;
        const unsigned nr = frame[3] >> 1;
        const bool pf = frame[3] & 1;
        if (control == rr)
            on_RR(!response, pf, nr);
        else if (control == rnr)
            on_RNR(!response, pf, nr);
        else if (control == rej)
            on_REJ(!response, pf, nr);
        return;
    }
    switch (uint8_t(control & ~pf_bit)) {
    case sabme:
        if (!response)
            on_SABME(control & pf_bit);
        break;
    case dm:
        if (response)
            on_DM();
        break;
    case disc:
        if (!response)
            on_DISC(control & pf_bit);
        break;
    case frmr:
        if (response)
            on_FRMR();
        break;
    case xid:
        on_XID();
        break;
    }
}

void LAPD_NT_user::on_I(Packet& frame, unsigned ns, unsigned nr, bool p)
{
    line() << "received I frame" << std::endl;
    // A poll is answered at once. Otherwise the frame is acknowledged by the next I frame to the
    // terminal, or by an RR when none leaves now: the terminal need not wait for its T200 to ask.
    const bool in_sequence = ns == vr_;
    if (in_sequence) {
        vr_ = (vr_ + 1) & 127;
        rejecting_ = false;
        if (p)
            tx_S(rr, true, false);
        if (frame.length() <= 4 + 3) {
            if (!p)
                tx_S(rr, false, false);
            return;
        }
        frame.pull(4);
        calls_.on_terminal_message(frame, lapd_->next_naming());
        lapd_->send_to_layer3(frame);
    } else if (!rejecting_) {
        // One REJ a gap: the frames after the lost one are discarded until it comes again, a poll
        // among them answered with the N(R) the terminal is to go back to.
        rejecting_ = true;
        tx_S(rej, p, false);
    } else if (p) {
        tx_S(rr, true, false);
    }
    if (state_ == unassigned)
        return;
    if (!ack_queue(nr))
        return unassign();
    if (!acknowledged() && in_sequence && !p)
        tx_S(rr, false, false);
}

void LAPD_NT_user::on_RR(bool command, bool pf, unsigned nr)
{
    line() << "received RR frame" << std::endl;
    if (command && pf)
        tx_S(rr, true, false);
    if (!ack_queue(nr))
        return unassign();
    set_unbusy();
    acknowledged();
}

void LAPD_NT_user::on_RNR(bool command, bool pf, unsigned nr)
{
    line() << "received RNR frame" << std::endl;
    set_busy();
    if (command && pf)
        tx_S(rr, true, false);
    if (!ack_queue(nr))
        return unassign();
    state_ = assigned;
    start_link_timer(idle_ms);
}

void LAPD_NT_user::on_REJ(bool command, bool pf, unsigned nr)
{
    line() << "received REJ frame" << std::endl;
    if (command && pf)
        tx_S(rr, true, false);
    // N(R) acknowledges the frames before it; those from N(R) on go again.
    if (!ack_queue(nr))
        return unassign();
    retransmit();
    busy_ = false;
    send_waiting();
    state_ = wait_answer;
    retransmissions_ = 0;
    start_link_timer(t200_ms);
}

void LAPD_NT_user::on_SABME(bool p)
{
    line() << "received SABME frame" << std::endl;
    vr_ = mark_ = vs_ = 0;
    rejecting_ = false;
    if (p)
        tx_U(ua, true, false);
    ack_queue_.clear();
    set_unbusy();
}

void LAPD_NT_user::on_DISC(bool p)
{
    line() << "received DISC frame" << std::endl;
    if (p)
        tx_U(ua, true, false);
    unassign();
}

void LAPD_NT_user::on_DM()
{
    line() << "received DM frame" << std::endl;
    unassign();
}

void LAPD_NT_user::on_FRMR()
{
    line() << "received FRMR frame" << std::endl;
    unassign();
}

void LAPD_NT_user::on_XID() { line() << "received XID frame" << std::endl; }

bool LAPD_NT_user::ack_queue(unsigned nr)
{
    line() << "ack queue" << std::endl;
    if (nr == mark_)
        return true;
    // Only what was sent and not yet acknowledged can be acknowledged.
    const unsigned outstanding = ack_queue_.count(), oldest = (vs_ - outstanding) & 127;
    const unsigned newly = (nr - oldest) & 127;
    if (newly > outstanding)
        return false;
    mark_ = (nr - 1) & 127;
    for (Packet done; newly > 0 && ack_queue_.count() > outstanding - newly;)
        ack_queue_.get(done);
    return true;
}

void LAPD_NT_user::retransmit()
{
    line() << "retransmit queue" << std::endl;
    for (unsigned n = ack_queue_.count(); n > 0; --n) {
        Packet frame;
        ack_queue_.get(frame);
        ack_queue_.put(frame);
        // With the current N(R): the one it first carried may be older than an acknowledgement
        // sent since, which the terminal would take for a sequence error.
        Packet again = frame;
        try {
            again.pull(4);
        } catch (const std::bad_alloc&) {
            continue;  // no block for the copy: it goes with the next retransmission
        }
        push_i_header(again, vr_, frame[2] >> 1);
        lapd_->send_to_layer1(again);
    }
}

void LAPD_NT_user::set_busy()
{
    if (!busy_)
        line() << "set busy" << std::endl;
    busy_ = true;
}

void LAPD_NT_user::set_unbusy()
{
    if (busy_)
        line() << "set unbusy" << std::endl;
    busy_ = false;
    if (send_queue_.empty()) {
        state_ = assigned;
        start_link_timer(idle_ms);
        return;
    }
    if (send_waiting()) {
        retransmissions_ = 0;
        state_ = wait_answer;
        start_link_timer(t200_ms);
    }
}

bool LAPD_NT_user::send_waiting()
{
    bool sent = false;
    for (Packet p; !busy_ && ack_queue_.count() < window_k && send_queue_.preview(&p);) {
        if (!tx_I(p, vr_, vs_))
            break;
        send_queue_.get(p);
        vs_ = (vs_ + 1) & 127;
        sent = true;
    }
    return sent;
}

bool LAPD_NT_user::acknowledged()
{
    const bool sent = send_waiting();
    if (sent || !ack_queue_.empty()) {
        state_ = wait_answer;
        start_link_timer(t200_ms);
    } else {
        state_ = assigned;
        start_link_timer(idle_ms);
    }
    return sent;
}

void LAPD_NT_user::on_timer()
{
    if (state_ == assigned) {
        state_ = wait_answer;
        tx_S(rr, true, true);
        retransmissions_ = 0;
        start_link_timer(t200_ms);
    } else if (state_ == wait_answer) {
        if (retransmissions_ == n200) {
            line() << "T200 expiried N200 times" << std::endl;
            return unassign();
        }
        ++retransmissions_;
        // Nothing unacknowledged: a poll; otherwise the unacknowledged frames again.
        if (ack_queue_.empty())
            tx_S(rr, true, true);
        else
            retransmit();
        start_link_timer(t200_ms);
    }
}

void LAPD_NT_user::tx_U(uint8_t control, bool pf, bool command)
{
    try {
        Packet frame;
        frame.reserve_head(0);
        frame.put(command ? 0x02 : 0x00);
        frame.put(uint8_t(tei_ << 1 | 1));
        frame.put(uint8_t(control | (pf ? pf_bit : 0)));
        lapd_->send_to_layer1(frame);
    } catch (const std::bad_alloc&) {
    }
}

void LAPD_NT_user::tx_S(uint8_t type, bool pf, bool command)
{
    try {
        Packet frame;
        frame.reserve_head(0);
        frame.put(command ? 0x02 : 0x00);
        frame.put(uint8_t(tei_ << 1 | 1));
        frame.put(type);
        frame.put(uint8_t(vr_ << 1 | pf));
        lapd_->send_to_layer1(frame);
    } catch (const std::bad_alloc&) {
    }
}

bool LAPD_NT_user::tx_I(Packet& p, unsigned nr, unsigned ns)
{
    Packet frame = p;
    try {
        make_head_room(frame, 4);
    } catch (const std::bad_alloc&) {
        return false;
    }
    push_i_header(frame, nr, ns);
    ack_queue_.put(frame);
    Packet copy = frame;
    lapd_->send_to_layer1(copy);
    return true;
}

void LAPD_NT_user::push_i_header(Packet& frame, unsigned nr, unsigned ns) const
{
    frame.push(uint8_t(nr << 1 | 1));
    frame.push(uint8_t(ns << 1));
    frame.push(uint8_t(tei_ << 1 | 1));
    frame.push(0x02);
}

}  // namespace ISDN
