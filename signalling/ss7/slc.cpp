#include "signalling/ss7/slc.h"

#include "foundation/protocol/protocol_status.h"
#include "foundation/util/ext_header.h"
#include "foundation/util/ext_quoted.h"
#include "signalling/head_room.h"

#include <iomanip>
#include <iostream>
#include <new>
#include <sstream>
#include <string>

namespace SS7 {

namespace {

constexpr unsigned header_size = 3;
constexpr unsigned max_li = 63;
constexpr int32_t rtb_capacity = 127;
constexpr unsigned tb_admits_below = 200;

constexpr unsigned t1_ms = 45000, t2_ms = 7000, t3_ms = 1500, t4n_ms = 8200, t4e_ms = 500, t7_ms = 12000;

const char* state_name(int id)
{
    static const char* const names[] = {"idle", "not aligned", "aligned", "proving", "aligned ready", "worked"};
    return id >= 0 && id < 6 ? names[id] : "unknown";
}

// "SIO" ... "SIOS", or "unknown:" and the octet in hexadecimal.
std::string indication_name(unsigned status)
{
    static const char* const names[] = {"SIO", "SIN", "SIE", "SIOS"};
    if (status < 4)
        return names[status];
    std::ostringstream text;
    text << "unknown:" << std::hex << status;
    return text.str();
}

std::ostream& put_octets(std::ostream& out, const Packet& p)
{
    out << std::hex;
    for (unsigned i = 0; i < p.length(); ++i)
        out << ' ' << std::setw(2) << std::setfill('0') << unsigned(p[int(i)]);
    return out << std::dec << std::setfill(' ');
}

bool alignment(unsigned status) { return status == SLC::Indication::SIN || status == SLC::Indication::SIE; }

}  // namespace

SLC::SLC() = default;

SLC::~SLC() = default;

void SLC::local_prepare_head(Packet& p) { p.reserve_head(header_size); }

void SLC::local_prepare_tail(Packet&) {}

void SLC::protocol_info(std::ostream& os) const { os << "MTP/L2"; }

std::ostream& SLC::header_fields(std::ostream& out) const
{
    return out << "SS7/L2 [dpc=" << dpc << ", slc=" << slc << ", trunk=" << trunk << "]";
}

void SLC::PutHeader(std::ostream& out) const
{
    header_fields(out) << " (" << state_name(state_id()) << "): ";
}

std::ostream& SLC::line(std::ostream& stream) const { return stream << ext::header(this); }

// The decoded header of the last signal unit received.
std::ostream& SLC::received(std::ostream& out) const
{
    return out << " BSN=" << unsigned(bsnr_) << " BIB=" << bibr_ << " FSN=" << unsigned(fsnr_) << " FIB=" << fibr_;
}

// ---- link state control

void SLC::change_state(State& next)
{
    current_->on_leave(*this);
    stop_timer();
    if (trace.state)
        header_fields(std::clog) << ": change state from " << ext::quoted(state_name(state_id())) << " to "
                                 << ext::quoted(state_name(next.get_state_id())) << std::endl;
    current_ = &next;
    current_->on_enter(*this);
}

void SLC::reset()
{
    for (Packet& slot : rtb_)
        slot = Packet();
    fsnf_ = 0;
    fsnl_ = 127;
    rtb_count_ = 0;
    waiting_retransmission_ = abnormal_bsn_ = abnormal_fib_ = false;
    bsnt_ = fsnt_ = 127;
    bibt_ = fibt_ = 1;
}

void SLC::local_activate()
{
    if (current_ == &idle_) {
        if (trace.mtp_activate)
            line(std::clog) << "local_activate: executing..." << std::endl;
        return change_state(not_aligned_);
    }
    if (trace.mtp_activate)
        line(std::clog) << "local_activate: ignored." << std::endl;
    // An owner that activates a working link still hears that it is up.
    if (current_ == &worked_)
        Protocol::on_activate();
}

void SLC::local_deactivate()
{
    if (trace.mtp_activate)
        line(std::clog) << "local_deactivate()" << std::endl;
    change_state(idle_);
}

void SLC::OnTrunkHardStatus(bool up)
{
    if (up || current_ == &idle_)
        return;
    line(std::clog) << " transport OFF by low level terminated" << std::endl;
    change_state(idle_);
}

void SLC::on_hdlc_receive(Packet& frame) { receive(frame); }

void SLC::on_hdlc_error(HDLC::Notify::Cause::Type cause)
{
    line(std::cerr) << "hdlc error [cause=" << int(cause) << "]" << std::endl;
    // The channel no longer carries the link: out of service, so that the owner hears of it.
    if (current_ != &idle_)
        change_state(idle_);
}

void SLC::on_hdlc_ready()
{
    line(std::clog) << "hdlc ready" << std::endl;
    serve_tb();
}

const SLC::Statistics& SLC::statistics() const
{
    stats_.rtb_size = uint32_t(rtb_count_);
    return stats_;
}

void SLC::on_enter(Idle&)
{
    reset();
    send_lssu(Indication::SIOS);
    Protocol::on_deactivate(new Protocol_status_error(this, "impossible phasing"));
}

void SLC::lssu(Idle&, unsigned status)
{
    if (status == Indication::SIO)
        change_state(aligned_);
    else if (alignment(status))
        change_state(proving_);
}

void SLC::on_enter(NotAligned&)
{
    reset();
    start_timer(t2_ms, &SLC::on_t2);
    send_lssu(Indication::SIO);
}

void SLC::lssu(NotAligned&, unsigned status)
{
    if (status == Indication::SIO)
        change_state(aligned_);
    else if (alignment(status))
        change_state(proving_);
}

void SLC::on_enter(Aligned&)
{
    start_timer(t3_ms, &SLC::on_t3);
    if (trace.timers)
        line(std::clog) << "set T3" << std::endl;
    send_lssu(emergency ? Indication::SIE : Indication::SIN);
}

void SLC::lssu(Aligned&, unsigned status)
{
    if (alignment(status))
        change_state(proving_);
}

void SLC::on_enter(Proving&)
{
    start_timer(emergency ? t4e_ms : t4n_ms, &SLC::on_t4);
    send_lssu(emergency ? Indication::SIE : Indication::SIN);
    if (trace.timers)
        line(std::clog) << "set T4" << std::endl;
}

void SLC::fisu(Proving&) { change_state(worked_); }

void SLC::lssu(Proving&, unsigned status)
{
    if (!alignment(status))
        change_state(idle_);
}

void SLC::msu(Proving&, Packet&) { change_state(worked_); }

void SLC::on_enter(AlignedReady&)
{
    start_timer(t1_ms, &SLC::on_t1);
    send_fisu();
}

void SLC::on_enter(Worked&)
{
    if (!tb_.empty()) {
        line(std::cerr) << "discard " << tb_.count() << " msu in TB" << std::endl;
        tb_.clear();
    }
    reset();
    send_fisu();
    serve_tb();
    Protocol::on_activate();
}

void SLC::lssu(Worked&, unsigned status)
{
    received(line(std::cerr) << "receive lssu: " << indication_name(status) << ' ') << std::endl;
    change_state(idle_);
}

void SLC::message(Worked&, Packet& p)
{
    if (tb_.count() >= tb_admits_below) {
        ++stats_.tb_refused;
        line(std::cerr) << "no space in TB buffer, TB=" << tb_.count() << " RTB=" << rtb_count_
                        << " ignoring msu: " << p.text() << std::endl;
        // The MSU is lost: the sender hears of it, so that it may send it again once the TB drains.
        on_status(new Protocol_status_refused(this, Protocol_status_refused::Reason::queue_full,
                                              "no space in TB buffer"));
        return;
    }
    tb_.put(p);
    serve_tb();
}

// ---- signal units in

void SLC::message(Packet& p)
{
    if (trace.mtp_transmit)
        put_octets(line(std::clog) << " mtp tx", p) << std::endl;
    current_->message(*this, p);
}

void SLC::receive(Packet& p)
{
    if (trace.raw_receive)
        put_octets(line(std::clog) << " rx raw", p) << std::endl;
    stats_.octets_received += p.length();
    if (p.length() < header_size) {
        line(std::cerr) << "ignore packet, length too small " << p.text() << std::endl;
        return;
    }
    bsnr_ = p[0] & 0x7F;
    bibr_ = p[0] >> 7;
    fsnr_ = p[1] & 0x7F;
    fibr_ = p[1] >> 7;
    li_ = p[2];
    const unsigned n = p.length() - header_size, m = n < max_li ? n : max_li;
    if (li_ != m) {
        line(std::cerr) << "invalid packet length, expected = " << li_ << ", received = " << n << std::endl;
        if (m == max_li) {
            line(std::cerr) << "can't truncate signalling unit." << std::endl;
        } else if (li_ < m) {
            line(std::cerr) << "truncate " << m - li_ << " octet(s) : " << p.text() << std::endl;
            p.trim(m - li_);
        }
    }
    ++stats_.su_received;
    const unsigned octets = p.length() - header_size;
    if (octets == 0)
        return current_->fisu(*this);
    if (octets <= 2)
        return current_->lssu(*this, p[int(header_size)]);
    p.pull(header_size);
    current_->msu(*this, p);
}

// ---- basic error correction

void SLC::fisu(Worked&)
{
    bsnx_ = bsnt_, bibx_ = bibt_, fibx_ = fibt_;
    if (fibr_ == bibx_) {
        waiting_retransmission_ = abnormal_fib_ = false;
        if (process_bsn() && fsnr_ != bsnx_)
            negative_acknowledgement();
        return;
    }
    unexpected_fib();
}

void SLC::msu(Worked&, Packet& p)
{
    bsnx_ = bsnt_, bibx_ = bibt_, fibx_ = fibt_;
    if (fsnr_ == bsnx_) {
        if (trace.msu_processing)
            line(std::clog) << "discard msu due to 5.2.2/i Q.702 fsnr=" << unsigned(fsnr_)
                            << " fsnx=" << unsigned(bsnx_) << std::endl;
        return;
    }
    if (fibr_ != bibx_)
        return unexpected_fib();
    waiting_retransmission_ = abnormal_fib_ = false;
    if (!process_bsn())
        return;
    if (fsnr_ != bsnx_ + Seq(1)) {
        if (trace.msu_processing)
            line(std::clog) << "discard msu due to 5.2.2/ii Q.702 fsnr=" << unsigned(fsnr_)
                            << " fsnx=" << unsigned(bsnx_) << std::endl;
        return negative_acknowledgement();
    }
    bsnt_ = fsnr_;
    if (trace.msu_processing)
        line(std::clog) << "ack!" << std::endl;
    send_fisu();
    if (trace.mtp_receive)
        put_octets(line(std::clog) << " mtp rx", p) << std::endl;
    Protocol::on_message(p);
}

void SLC::unexpected_fib()
{
    if (waiting_retransmission_) {
        process_bsn();
        return;
    }
    if (abnormal_fib_) {
        if (trace.msu_processing)
            received(line(std::cerr) << "bad start of a retransmission: ") << std::endl;
        return change_state(idle_);
    }
    abnormal_fib_ = true;
}

void SLC::negative_acknowledgement()
{
    bibt_ ^= 1;
    bibx_ = bibt_;
    waiting_retransmission_ = true;
    send_fisu();
    ++stats_.nacks;
    if (trace.msu_processing)
        line(std::clog) << "nack!" << std::endl;
}

bool SLC::process_bsn()
{
    const Seq before_oldest = fsnf_ + Seq(127);
    if (((unsigned(fsnl_) - before_oldest) & 127) < ((unsigned(bsnr_) - before_oldest) & 127)) {
        if (!abnormal_bsn_) {
            abnormal_bsn_ = true;
            return true;
        }
        if (trace.msu_processing)
            received(line(std::cerr) << "bad su acknowledgement received: ") << std::endl;
        change_state(idle_);
        return false;
    }
    abnormal_bsn_ = false;
    const bool acknowledged = fsnf_ != bsnr_ + Seq(1);
    if (acknowledged)
        start_timer(t7_ms, &SLC::on_t7);
    for (; fsnf_ != bsnr_ + Seq(1); ++fsnf_, --rtb_count_)
        rtb_[fsnf_] = Packet();
    if (Seq(fsnf_ + Seq(127)) == fsnl_)
        stop_timer();
    if (bibr_ != fibt_)
        retransmit();
    else if (acknowledged && !tb_.empty())
        // Room in the RTB: what waited behind it goes now, not with the next message.
        serve_tb();
    return true;
}

void SLC::retransmit()
{
    if (trace.msu_processing)
        line(std::clog) << "retransmit rtb=" << rtb_count_ << std::endl;
    ++stats_.retransmissions;
    fsnt_ = fsnf_ + Seq(127);
    fibt_ = bibr_;
    for (Seq fsn = fsnl_; rtb_count_ > 0; --fsn, --rtb_count_) {
        tb_.append(rtb_[fsn]);
        rtb_[fsn] = Packet();
    }
    fsnl_ = fsnf_ + Seq(127);
    rtb_count_ = 0;
    serve_tb();
}

// ---- transmission control

bool SLC::send(Packet& su)
{
    if (!channel) {
        line(std::cerr) << "no HDLC interface attached!!!" << std::endl;
        return false;
    }
    try {
        make_head_room(su, header_size);
    } catch (const std::bad_alloc&) {
        return false;
    }
    su.push(uint8_t(su.length() < max_li ? su.length() : max_li));
    su.push(uint8_t(fibt_ << 7 | unsigned(fsnt_)));
    su.push(uint8_t(bibt_ << 7 | unsigned(bsnt_)));
    if (!channel->hdlc_transmit(su)) {
        if (trace.raw_transmit)
            line(std::clog) << " tx full!" << std::endl;
        return false;
    }
    if (trace.raw_transmit)
        put_octets(line(std::clog) << " tx raw", su) << std::endl;
    ++stats_.su_sent;
    stats_.octets_sent += su.length();
    return true;
}

void SLC::send_fisu()
{
    Packet fisu;
    try {
        prepare_head(fisu);
    } catch (const std::bad_alloc&) {
        return;
    }
    send(fisu);
}

void SLC::send_lssu(Indication::Type status)
{
    if (!channel)
        return;
    try {
        Packet lssu;
        lssu.reserve_head(0);
        for (uint8_t octet : {0xFF, 0xFF, 0x01, int(status)})
            lssu.put(octet);
        channel->hdlc_transmit(lssu);
    } catch (const std::bad_alloc&) {
    }
}

void SLC::serve_tb()
{
    if (current_ != &worked_)
        return;
    if (tb_.empty())
        return send_fisu();
    for (Packet head; rtb_count_ < rtb_capacity && tb_.preview(&head);) {
        fsnt_ = fsnl_ + Seq(1);
        Packet copy = head;
        if (!send(copy))
            return;
        tb_.get(head);
        fsnl_ = fsnt_;
        rtb_[fsnl_] = head;
        if (++rtb_count_ == 1)
            start_timer(t7_ms, &SLC::on_t7);
    }
}

// ---- timers

void SLC::start_timer(unsigned ms, void (SLC::*expiry)()) { timer_.set(ms, expiry, this); }

void SLC::on_t1()
{
    if (trace.timers)
        line(std::clog) << "T1 expired" << std::endl;
    change_state(idle_);
}

void SLC::on_t2()
{
    if (trace.timers)
        line(std::clog) << "T2 expired" << std::endl;
    change_state(idle_);
}

void SLC::on_t3()
{
    if (trace.timers)
        line(std::clog) << "T3 expired" << std::endl;
    change_state(idle_);
}

void SLC::on_t4()
{
    if (trace.timers)
        line(std::clog) << "T4 expired." << std::endl;
    change_state(aligned_ready_);
}

void SLC::on_t7()
{
    if (trace.timers)
        line(std::clog) << "T7 expired: " << rtb_count_ << " packets in RTB." << std::endl;
    change_state(idle_);
}

}  // namespace SS7
