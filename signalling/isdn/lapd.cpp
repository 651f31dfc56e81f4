#include "signalling/isdn/lapd.h"

#include "foundation/util/ext_header.h"
#include "foundation/util/ext_quoted.h"
#include "signalling/head_room.h"
#include "signalling/isdn/dlogframe.h"
#include "signalling/isdn/lapd_status.h"
#include "signalling/isdn/tei_management.h"

#include <iostream>
#include <new>
#include <random>
#include <string>

namespace ISDN {

namespace {

constexpr unsigned timer_ms[] = {1000, 2000, 10000};
constexpr const char* timer_names[] = {"T200", "T202", "T203"};
constexpr uint32_t n200 = 3;
constexpr uint32_t n202 = 3;  // the link gives up once RC has passed it: five identity requests in all
constexpr unsigned window_k = 7;
constexpr unsigned header_size = 4;
constexpr unsigned max_queued = 128;  // a message finding this many frames queued is dropped
constexpr unsigned congested_above = 88;
constexpr unsigned relieved_below = 65;

// Control field: S frames (N(R) and P/F in the second octet), U frames (P/F in bit 4).
constexpr uint8_t rr = 0x01, rnr = 0x05, rej = 0x09;
constexpr unsigned s_rr = 0, s_rnr = 1, s_rej = 2;
constexpr uint8_t dm = 0x0F, disc = 0x43, ua = 0x63, sabme = 0x6F, frmr = 0x87;
constexpr uint8_t pf_bit = 0x10;

using namespace TeiManagement;

const char* error_text(unsigned code)
{
    static const struct {
        unsigned code;
        const char* text;
    } texts[] = {{1, "Supervisory (F = 1)"},
                 {2, "DM (F = 1)"},
                 {4, "UA (F = 1)"},
                 {8, "UA (F = 0)"},
                 {16, "Receipt of DM response (F = 0)"},
                 {32, "Peer initiated re-establishment - SABME"},
                 {64, "Unsuccessful retransmission (N200 times) - SABME"},
                 {128, "Unsuccessful retransmission (N200 times) - DISC"},
                 {256, "Unsuccessful retransmission (N200 times) - Status enquiry"},
                 {512, "Other - N(R) error"},
                 {1024, "Other - Receipt of FRMR response"},
                 {2048, "Other - Receipt of undefined frame"},
                 {4096, "Other - Receipt of I field not permitted"},
                 {8192, "Other - Receipt of frame with wrong size"},
                 {16384, "Other - N201 error"},
                 {32768, "Tei Assign - Tei denied"}};
    for (const auto& entry : texts)
        if (entry.code == code)
            return entry.text;
    return "Other - Unknown";
}

uint16_t seeded_reference()
{
    static std::mt19937 generator{std::random_device{}()};
    return uint16_t(generator());
}

}  // namespace

LAPD::LAPD(Side::type side, unsigned int log) : side(side), log_level(log), draw_reference(seeded_reference) {}

const Protocol_name& LAPD::name() const { return name_; }

void LAPD::local_prepare_head(Packet& p) { p.reserve_head(header_size); }

void LAPD::local_prepare_tail(Packet&) {}

void LAPD::PutHeader(std::ostream& out) const
{
    out << "LAPD[" << link_number << "] (" << statetext(state) << "): ";
}

std::ostream& LAPD::line() const { return std::clog << ext::header(this); }

void LAPD::trace(const char* prefix, const Packet& frame, bool network_to_user) const
{
    dlogframe(frame.data(), frame.length(), network_to_user, logbuf);
    line() << prefix << logbuf << std::endl;
}

void LAPD::change_to_bri() { bri_ = true; }

void LAPD::set_state(uint32_t next)
{
    if (next == state)
        return;
    const bool recovery = (state == multiple_frame_established && next == timer_recovery) ||
        (state == timer_recovery && next == multiple_frame_established);
    if (log_level >= 4 || (log_level >= 2 && !recovery))
        std::clog << "LAPD[" << link_number << "] : change state " << ext::quoted(statetext(state)) << " -> "
                  << ext::quoted(statetext(next)) << std::endl;
    state = next;
    // Messages kept while the link was down leave once it is up, not only with the next message.
    if (next == multiple_frame_established && !send_queue_.empty())
        queued_up = true;
}

void LAPD::change_flowstatus(FlowStatus::Type status)
{
    if (status == flow_status_)
        return;
    flow_status_ = status;
    if (listener)
        listener->OnLAPD_FlowStatusChange(this);
}

void LAPD::deactivated(const char* error) { on_deactivate(new Status(this, error)); }

void LAPD::on_error(unsigned int code) { on_error(error_text(code)); }

void LAPD::on_error(const char* text) { on_status(new Status(this, text)); }

// ---- requests from above

void LAPD::local_activate()
{
    if (log_level >= 1)
        line() << "DL-ESTABLISH" << std::endl;
    switch (state) {
    case tei_unassigned:
        rc = 0;
        on_mdl_assign();
        set_state(establish_awaiting_tei);
        tei_request();
        break;
    case assign_awaiting_tei:
        set_state(establish_awaiting_tei);
        break;
    case awaiting_establishment:
        discard_queues();
        l3_initiated = true;
        break;
    case multiple_frame_established:
    case timer_recovery:
        discard_queues();
        [[fallthrough]];
    case tei_assigned:
        establish();
        l3_initiated = true;
        set_state(awaiting_establishment);
        break;
    }
}

void LAPD::local_deactivate()
{
    if (log_level >= 2)
        line() << "DL-RELEASE" << std::endl;
    switch (state) {
    case tei_assigned:
        on_deactivate(new Protocol_status_success(this, "success (deactivated locally)"));
        break;
    case awaiting_establishment:
        discard_queues();
        rc = 0;
        tx_u(disc, true, true);
        stop_timer(T203);
        stop_timer(T202);
        start_timer(T200);
        set_state(tei_assigned);
        on_deactivate(new Protocol_status_success(this, "success (deactivated locally)"));
        break;
    case multiple_frame_established:
    case timer_recovery:
        discard_queues();
        rc = 0;
        tx_u(disc, true, true);
        stop_timer(T203);
        start_timer(T200);
        set_state(awaiting_release);
        break;
    }
}

void LAPD::message(Packet& p)
{
    ++stats_.messages;
    if (p.length() == 0) {
        ++stats_.empty_messages;
        return;
    }
    if (send_queue_.count() >= max_queued) {
        line() << "discard outgoing message: buffer overflow" << std::endl;
        ++stats_.out_overflows;
        on_status(new Protocol_status_refused(this, Protocol_status_refused::Reason::queue_full,
                                              "discard outgoing message: buffer overflow"));
    } else {
        if (log_level >= 3) {
            line() << "outgoing queue size = " << send_queue_.count() << " tx counter = " << stats_.messages
                   << std::endl;
            line() << "add to tx queue: " << p.text() << std::endl;
        }
        send_queue_.put(p);
        p = Packet();
        queued_up = true;
    }
    if (state == tei_unassigned) {
        // Assign awaiting TEI means a TEI request is under way: start one.
        set_state(assign_awaiting_tei);
        tei_request();
    }
    if (send_queue_.count() > congested_above)
        change_flowstatus(FlowStatus::congested);
    end_of_event();
}

void LAPD::mdl_assign(unsigned char tei)
{
    if (log_level >= 2)
        line() << "MDL-ASSIGN (tei=" << unsigned(tei) << ")" << std::endl;
    own_tei = tei;
    if (state == establish_awaiting_tei) {
        establish();
        l3_initiated = true;
        set_state(awaiting_establishment);
    } else {
        set_state(tei_assigned);
    }
}

void LAPD::on_mdl_assign() {}

void LAPD::mdl_remove()
{
    line() << "MDL-REMOVE" << std::endl;
    if (state == tei_assigned) {
        discard_queues();
        set_state(tei_unassigned);
    } else if (state >= awaiting_establishment && state <= timer_recovery) {
        if (state != awaiting_release)
            discard_queues();
        stop_timer(T200);
        stop_timer(T203);
        set_state(tei_unassigned);
        deactivated("error (MDL-REMOVE received)");
    }
}

// ---- frames in

void LAPD::on_hdlc_receive(Packet& frame) { receive(frame); }

void LAPD::on_hdlc_error(HDLC::Notify::Cause::Type) {}

void LAPD::on_hdlc_ready() { end_of_event(); }

void LAPD::receive(Packet& frame)
{
    if (frame.length() < 2)
        return;
    if (log_level >= 3)
        trace("rx:", frame, side == Side::user);
    peer_sapi = frame[0] >> 2;
    if (frame[0] & 1)
        return;
    // C/R is 1 in the network's commands and in the user's responses.
    const bool command = bool(frame[0] & 2) == (side == Side::user);
    if (!(frame[1] & 1))
        return;
    peer_tei = frame[1] >> 1;
    if (bri_ && side == Side::user && peer_tei != own_tei && peer_tei != group_tei)
        return;
    dispatch(frame, command);
    end_of_event();
}

void LAPD::dispatch(Packet& frame, bool command)
{
    const uint8_t control = frame.length() > 2 ? frame[2] : 0;
    if ((control & 3) == 3)
        return on_u(uint8_t(control & ~pf_bit), command, control & pf_bit, frame);
    // I and S frames carry N(R) in a second control octet: without it there is nothing to read.
    if (frame.length() < header_size)
        return on_error(8192);
    const bool pf = frame[3] & 1;
    const unsigned nr = frame[3] >> 1;
    if (control & 1) {
        const unsigned type = (control >> 2) & 3;
        if (type != 3)
            on_s(type, command, pf, nr);
    } else {
        on_i(control >> 1, pf, nr, frame);
    }
}

void LAPD::on_i(unsigned ns, bool p, unsigned nr, Packet& frame)
{
    if (state != multiple_frame_established && state != timer_recovery)
        return;
    if (log_level >= 4)
        line() << "I-Command pf=" << p << std::endl;
    if (own_busy) {
        if (p) {
            tx_s(rnr, true, false);
            acknowledge_request = false;
        }
    } else if (ns != vr) {
        ++stats_.out_of_sequence;
        if (!reject_exception) {
            reject_exception = true;
            tx_s(rej, p, false);
            acknowledge_request = false;
        } else if (p) {
            tx_s(rr, true, false);
            acknowledge_request = false;
        }
    } else {
        ++vr;
        reject_exception = false;
        ++stats_.in_sequence;
        if (p)
            tx_s(rr, true, false);
        acknowledge_request = !p;
        frame.pull(header_size);
        on_message(frame);
    }
    if (!in_window(nr))
        return nr_error_recovery();
    if (!peer_busy && state == multiple_frame_established) {
        if (nr == vs) {
            stop_timer(T200);
            start_timer(T203);
        } else if (nr != va) {
            start_timer(T200);
        }
    }
    va = nr;
}

void LAPD::on_s(unsigned type, bool command, bool pf, unsigned nr)
{
    static const char* const names[] = {"RR ", "RNR ", "REJ "};
    if (log_level >= 4)
        line() << names[type] << (command ? "command" : "response") << " pf=" << pf << std::endl;
    if (state != multiple_frame_established && state != timer_recovery)
        return;
    peer_busy = type == s_rnr;
    if (command && pf)
        enquiry_response();
    const bool final_response = !command && pf;
    if (state == timer_recovery) {
        if (!in_window(nr)) {
            if (type == s_rr && !final_response && log_level >= 4)
                line() << "receive RR with out of order N(R)" << std::endl;
            return nr_error_recovery();
        }
        if (!final_response) {
            va = nr;
            return;
        }
        if (type == s_rnr) {
            start_timer(T200);
        } else {
            stop_timer(T200);
            start_timer(T203);
        }
        retransmit_from(nr);
        return set_state(multiple_frame_established);
    }
    if (final_response) {
        if (type != s_rr)
            on_error(1);
        else if (log_level >= 4)
            line() << "receive RR (solicited response) in MFE_EST" << std::endl;
    }
    if (!in_window(nr))
        return nr_error_recovery();
    if (type == s_rej) {
        stop_timer(T200);
        start_timer(T203);
        return retransmit_from(nr);
    }
    if (type == s_rnr) {
        va = nr;
        stop_timer(T203);
        return start_timer(T200);
    }
    if (nr == vs) {
        va = nr;
        stop_timer(T200);
        start_timer(T203);
    } else if (nr != va) {
        va = nr;
        start_timer(T200);
    }
}

void LAPD::on_u(uint8_t code, bool command, bool pf, Packet& frame)
{
    static const struct {
        uint8_t code;
        const char* name;
    } names[] = {{sabme, "SABME "}, {disc, "DISC "}, {ua, "UA "}, {dm, "DM "}, {frmr, "FRMR "}};
    for (const auto& entry : names)
        if (entry.code == code && log_level >= 4) {
            std::ostream& out = line() << entry.name << (command ? "command" : "response");
            if (code == frmr)
                out << " pf=" << pf;
            out << std::endl;
        }
    if (code == ui)
        return on_ui(frame);
    if (state < tei_assigned)
        return;
    switch (code) {
    case sabme:
        return on_sabme(pf);
    case disc:
        return on_disc(pf);
    case ua:
        return on_ua(pf);
    case dm:
        return on_dm(command, pf);
    case frmr:
        if (state == multiple_frame_established || state == timer_recovery) {
            on_error(1024);
            reestablish();
        }
        return;
    }
}

void LAPD::on_sabme(bool p)
{
    if (state == awaiting_release || (state == tei_assigned && !establishable)) {
        tx_u(dm, p, false);
        return;
    }
    reset_sequence();
    tx_u(ua, p, false);
    if (state == awaiting_establishment)
        return;
    clear_exceptions();
    if (state == tei_assigned) {
        start_timer(T203);
        set_state(multiple_frame_established);
        return on_activate();
    }
    on_error(32);
    set_state(multiple_frame_established);
    on_activate();
    stop_timer(T200);
    start_timer(T203);
}

void LAPD::on_disc(bool p)
{
    if (state == tei_assigned || state == awaiting_establishment) {
        tx_u(dm, p, false);
        return;
    }
    if (state == awaiting_release) {
        tx_u(ua, p, false);
        return;
    }
    discard_queues();
    tx_u(ua, p, false);
    stop_timer(T200);
    stop_timer(T203);
    // The report shows the link as the DISC found it.
    Smart_pointer<Internal_protocol_status> report = new Status(this, "remote error (DISC received)");
    set_state(tei_assigned);
    on_deactivate(report);
}

void LAPD::on_ua(bool f)
{
    if (state != awaiting_establishment && state != awaiting_release)
        return on_error(12);
    if (!f)
        return on_error(8);
    reset_sequence();
    stop_timer(T200);
    if (state == awaiting_release) {
        set_state(tei_assigned);
        return on_deactivate(new Protocol_status_success(this, "success (UA received)"));
    }
    set_state(multiple_frame_established);
    start_timer(T203);
    on_activate();
}

void LAPD::on_dm(bool command, bool f)
{
    const bool final_response = !command && f;
    switch (state) {
    case tei_assigned:
        if (!command && !f && establishable) {
            establish();
            l3_initiated = true;
            set_state(awaiting_establishment);
        }
        return;
    case awaiting_establishment:
    case awaiting_release:
        if (!final_response)
            return;
        if (state == awaiting_establishment)
            discard_queues();
        stop_timer(T200);
        set_state(tei_assigned);
        return deactivated("error (DM received)");
    case multiple_frame_established:
        if (final_response)
            return on_error(2);
        on_error(16);
        return reestablish();
    case timer_recovery:
        on_error(final_response ? 2 : 16);
        return reestablish();
    }
}

void LAPD::on_ui(Packet& frame)
{
    if (!bri_)
        return;
    frame.pull(3);
    if (frame.length() == 0)
        return;
    if (frame[0] != management_entity) {
        if (log_level >= 4)
            line() << "on_UI()" << std::endl;
        if (side == Side::user) {
            if (state == awaiting_establishment)
                set_state(tei_assigned);
            if (state == tei_assigned)
                local_activate();
        }
        return on_message(frame);
    }
    if (frame.length() >= 5 && side == Side::user)
        on_tei_management(frame);
}

void LAPD::on_tei_management(const Packet& info)
{
    const unsigned ri = info[1] | info[2] << 8;
    const unsigned type = info[3];
    const unsigned ai = info[4] >> 1;
    if (log_level >= 4)
        line() << "on_UI() type=" << type << " Ai=" << ai << std::endl;
    const bool ours = ai == group_tei || ai == own_tei;
    switch (type) {
    case identity_assigned:
        if ((state == assign_awaiting_tei || state == establish_awaiting_tei) && ri == ri_) {
            // T202 stops first: the establishment that the assignment may start runs T200.
            stop_timer(T202);
            mdl_assign(uint8_t(ai));
            start_timer(T200);
        }
        break;
    case identity_denied:
        if (state == assign_awaiting_tei && ri == ri_) {
            if (ai == group_tei)
                line() << "ASP returned: All TEI's used" << std::endl;
            else
                line() << "ASP returned: TEI " << ai << " denied" << std::endl;
            on_error(32768);
        }
        break;
    case identity_check_request:
        if (state >= tei_assigned && ours)
            tx_identity(identity_check_response, uint8_t(own_tei));
        break;
    case identity_remove:
        // Without a TEI there is nothing to remove: a request under way stays, rather than being
        // replaced by one more for every copy of the remove the network sends.
        if (ours && state >= tei_assigned) {
            mdl_remove();
            tei_request();
        }
        break;
    }
}

// ---- frames out

bool LAPD::tx(Packet& frame)
{
    if (!channel) {
        if (log_level >= 4)
            line() << "no HDLC device attached!!!" << std::endl;
        return false;
    }
    if (!channel->hdlc_transmit(frame)) {
        line() << "tx full" << std::endl;
        return false;
    }
    if (log_level >= 3)
        trace("tx: ", frame, side == Side::network);
    return true;
}

Packet LAPD::new_frame(bool command, uint32_t sapi, uint32_t tei)
{
    Packet frame;
    try {
        prepare_head(frame);
    } catch (const std::bad_alloc&) {
        pool_exhausted();
        return Packet();
    }
    pool_dry_ = false;
    frame.put(uint8_t(sapi << 2 | unsigned(command == (side == Side::network)) << 1));
    frame.put(uint8_t(tei << 1 | 1));
    return frame;
}

void LAPD::pool_exhausted()
{
    ++stats_.out_overflows;
    if (!pool_dry_)
        line() << "discard outgoing message: buffer overflow" << std::endl;
    pool_dry_ = true;
}

bool LAPD::tx_u(uint8_t code, bool pf, bool command)
{
    Packet frame = new_frame(command, own_sapi, own_tei);
    if (frame.is_null())
        return false;
    frame.put(uint8_t(code | (pf ? pf_bit : 0)));
    return tx(frame);
}

bool LAPD::tx_s(uint8_t code, bool pf, bool command)
{
    Packet frame = new_frame(command, own_sapi, own_tei);
    if (frame.is_null())
        return false;
    frame.put(code);
    frame.put(uint8_t(unsigned(vr) << 1 | pf));
    return tx(frame);
}

LAPD::Sent LAPD::tx_i(Packet& frame)
{
    try {
        make_head_room(frame, header_size);
    } catch (const std::bad_alloc&) {
        pool_exhausted();
        return Sent::dropped;
    }
    frame.push(uint8_t(unsigned(vr) << 1));
    frame.push(uint8_t(unsigned(vs) << 1));
    frame.push(uint8_t(own_tei << 1 | 1));
    frame.push(uint8_t(own_sapi << 2 | (side == Side::network ? 2 : 0)));
    const bool sent = tx(frame);
    frame.pull(header_size);
    return sent ? Sent::sent : Sent::refused;
}

void LAPD::tx_identity(uint8_t type, uint8_t ai)
{
    Packet frame = new_frame(true, management_sapi, group_tei);
    if (frame.is_null())
        return;
    frame.put(ui);
    frame.put(management_entity);
    frame.put16(ri_);
    frame.put(type);
    frame.put(uint8_t(ai << 1 | 1));
    tx(frame);
}

// ---- procedures

void LAPD::clear_exceptions() { peer_busy = own_busy = reject_exception = acknowledge_request = false; }

void LAPD::establish()
{
    clear_exceptions();
    rc = 0;
    tx_u(sabme, true, true);
    stop_timer(T203);
    start_timer(T200);
}

void LAPD::reestablish()
{
    establish();
    l3_initiated = false;
    set_state(awaiting_establishment);
}

void LAPD::enquiry()
{
    if (log_level >= 4)
        line() << "tx_enquiry, ownBusy=" << own_busy << std::endl;
    tx_s(own_busy ? rnr : rr, true, true);
    acknowledge_request = false;
    start_timer(T200);
}

void LAPD::enquiry_response()
{
    if (log_level >= 4)
        line() << "tx_enquiry_response" << std::endl;
    tx_s(own_busy ? rnr : rr, true, false);
    acknowledge_request = false;
}

void LAPD::nr_error_recovery()
{
    ++stats_.nr_errors;
    on_error(512);
    reestablish();
}

void LAPD::retransmit_from(unsigned nr)
{
    va = nr;
    retransmission_request = true;
    queued_up = true;
}

bool LAPD::in_window(unsigned nr) const { return (va <= Cyclic<unsigned, 127u>(nr)) <= vs; }

void LAPD::discard_queues()
{
    if (log_level >= 1)
        line() << "discard queue  OutData=" << send_queue_.count() << " AckData=" << ack_queue_.count()
               << std::endl;
    send_queue_.clear();
    ack_queue_.clear();
}

void LAPD::reset_sequence()
{
    vs = va = vr = 0;
    ack_queue_.clear();
}

void LAPD::tei_request()
{
    if (!bri_ || side != Side::user)
        return;
    // A DL-ESTABLISH that waits for the TEI stays pending: the assignment goes on to establish.
    if (state != establish_awaiting_tei)
        set_state(assign_awaiting_tei);
    on_mdl_assign();
    ri_ = draw_reference();
    tx_identity(identity_request, group_tei);
    rc = 0;
    stop_timer(T200);
    stop_timer(T203);
    start_timer(T202);
}

void LAPD::end_of_event()
{
    acknowledgement_refresh();
    queued_up_transmission();
    if ((state == multiple_frame_established || state == timer_recovery) && acknowledge_request &&
        tx_s(rr, false, false))
        acknowledge_request = false;
    if (send_queue_.count() < relieved_below)
        change_flowstatus(FlowStatus::normal);
}

void LAPD::acknowledgement_refresh()
{
    const unsigned outstanding = (unsigned(vs) - unsigned(va)) & 127;
    unsigned acknowledged = 0;
    for (Packet done; ack_queue_.count() > outstanding; ++acknowledged)
        ack_queue_.get(done);
    if (acknowledged && log_level >= 3) {
        line() << "acknowledge " << acknowledged << " frames VS=" << unsigned(vs) << " VA=" << unsigned(va)
               << std::endl;
        if (send_queue_.empty())
            line() << "outgoing queue empty." << std::endl;
    }
    if (!retransmission_request)
        return;
    if (log_level >= 1 && !ack_queue_.empty())
        line() << "retransmission  VS=" << unsigned(vs) << " VA=" << unsigned(va) << std::endl;
    vs = va;
    // Newest first to the front of the send queue: they leave again in their first order.
    for (Packet frame; ack_queue_.get_last(&frame); ++stats_.retrains)
        send_queue_.append(frame);
    retransmission_request = false;
}

void LAPD::queued_up_transmission()
{
    while (queued_up) {
        queued_up = false;
        if (state == timer_recovery) {
            queued_up = true;
            return;
        }
        if (state == awaiting_establishment)
            queued_up = !l3_initiated;
        if (state != multiple_frame_established)
            return;
        if (peer_busy || unsigned(vs) == ((unsigned(va) + window_k) & 127)) {
            queued_up = true;
            return;
        }
        Packet frame;
        if (!send_queue_.get(frame))
            return;
        const Sent sent = tx_i(frame);
        if (sent == Sent::refused) {
            send_queue_.append(frame);
            queued_up = true;
            return;
        }
        if (sent == Sent::sent) {
            if (!ack_queue_.put(frame)) {
                line() << "ack queue overflow!" << std::endl;
                ++stats_.ack_overflows;
            }
            ++vs;
            acknowledge_request = false;
            if (!t200_running) {
                stop_timer(T203);
                start_timer(T200);
            }
        }
        queued_up = !send_queue_.empty();
    }
}

// ---- timers

bool& LAPD::running(TimerId id)
{
    return id == T200 ? t200_running : id == T202 ? t202_running : t203_running;
}

void LAPD::report_misuse(const char* verb, TimerId id)
{
    for (TimerId other : {T200, T202, T203})
        if (other != id && running(other)) {
            on_error((std::string("trying to ") + verb + " " + timer_names[id] + " while " + timer_names[other] +
                      " running")
                         .c_str());
            // The shared timer serves one of them only: the other no longer runs.
            running(other) = false;
        }
}

void LAPD::start_timer(TimerId id)
{
    report_misuse("start", id);
    running(id) = true;
    static void (LAPD::*const expiries[])() = {&LAPD::on_t200, &LAPD::on_t202, &LAPD::on_t203};
    timer_.set(timer_ms[id], expiries[id], this);
}

void LAPD::stop_timer(TimerId id)
{
    if (!running(id))
        return;
    report_misuse("stop", id);
    running(id) = false;
    timer_.reset();
}

void LAPD::on_t200()
{
    t200_running = false;
    ++stats_.t200_expiries;
    switch (state) {
    case awaiting_establishment:
    case awaiting_release:
        if (rc < n200) {
            ++rc;
            tx_u(state == awaiting_establishment ? sabme : disc, true, true);
            start_timer(T200);
            break;
        }
        if (state == awaiting_establishment)
            discard_queues();
        on_error(state == awaiting_establishment ? 64 : 128);
        set_state(tei_assigned);
        deactivated("link error (T200 expired N200 times)");
        break;
    case multiple_frame_established:
        rc = 0;
        enquiry();
        rc = 1;
        if (log_level >= 2)
            line() << "ack expired" << std::endl;
        set_state(timer_recovery);
        break;
    case timer_recovery:
        if (rc >= n200) {
            if (log_level >= 2)
                line() << "ack error !!!" << std::endl;
            on_error(256);
            reestablish();
            break;
        }
        if (log_level >= 2)
            line() << "ack timeout expired RC=" << rc << std::endl;
        enquiry();
        ++rc;
        break;
    }
    end_of_event();
}

void LAPD::on_t202()
{
    t202_running = false;
    ++stats_.t202_expiries;
    if (state == assign_awaiting_tei || state == establish_awaiting_tei) {
        if (rc > n202) {
            state = tei_unassigned;
            deactivated("link error (T202 expired N202 times)");
        } else {
            ri_ = draw_reference();
            tx_identity(identity_request, group_tei);
            start_timer(T202);
            ++rc;
        }
    }
    end_of_event();
}

void LAPD::on_t203()
{
    t203_running = false;
    ++stats_.t203_expiries;
    line() << "T203." << std::endl;
    if (state == multiple_frame_established) {
        enquiry();
        rc = 0;
        set_state(timer_recovery);
    }
    end_of_event();
}

// ---- reports

bool LAPD::GetInfo(ACP::IsdnLinkInfo& info) const
{
    info.set_msuTxCount(int(stats_.messages));
    info.set_msuRxCount(int(stats_.in_sequence));
    info.set_mT200(int(stats_.t200_expiries));
    info.set_mT203(int(stats_.t203_expiries));
    info.set_errors(int(stats_.errors));
    info.set_retrains(int(stats_.retrains));
    info.set_rejected(int(stats_.out_of_sequence));
    info.set_badconfirm(int(stats_.nr_errors));
    info.set_outOverflows(int(stats_.out_overflows));
    info.set_ackOverflows(int(stats_.ack_overflows));
    info.set_lapdState(ACP::LAPDState::NamedNumber(state));
    info.set_rc(int(rc));
    info.set_peerBusy(peer_busy);
    info.set_ownBusy(own_busy);
    info.set_rejException(reject_exception);
    info.set_ackPending(false);
    info.set_l3Initiated(l3_initiated);
    info.set_establishable(establishable);
    info.set_queuedUpRQ(queued_up);
    info.set_retrRQ(retransmission_request);
    info.set_ackRQ(acknowledge_request);
    info.set_t200run(t200_running);
    info.set_t203run(t203_running);
    info.set_vs(int(unsigned(vs)));
    info.set_va(int(unsigned(va)));
    info.set_vr(int(unsigned(vr)));
    info.set_queueOut(int(send_queue_.count()));
    info.set_queueAck(int(ack_queue_.count()));
    if (info == last_info_)
        return false;
    last_info_ = info;
    return true;
}

Smart_pointer<Internal_protocol_status> LAPD::status() const
{
    return new Status(const_cast<LAPD*>(this), "current status");
}

void LAPD::show_stat()
{
    std::cout << " - current state: ";
    LAPDFullState::out(std::cout);
    std::cout << std::endl << " - statistics: ";
    stats_.out(std::cout);
    std::cout << std::endl;
}

}  // namespace ISDN
