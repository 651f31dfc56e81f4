#include "foundation/protocol/tpkt_protocol.h"

#include "foundation/log/profile.h"

#include <algorithm>
#include <iostream>
#include <new>

void Tpkt_protocol::local_prepare_head(Packet& p) { p.reserve_head(header_size); }

void Tpkt_protocol::local_activate() { reset(); }

void Tpkt_protocol::local_deactivate()
{
    reset();
    on_deactivate(new Protocol_status_success(this, "TPKT deactivated"));
}

void Tpkt_protocol::message(Packet& p)
{
    const unsigned length = p.length();
    if (length > max_payload) {
        std::cerr << name().name() << " TPKT payload of " << length << " bytes is too long, not sent." << std::endl;
        return;
    }
    static Profile::Point point("Tpkt_protocol::message");
    point.begin();
    p.push16_b(uint16_t(length + header_size));
    p.push(0);
    p.push(3);
    point.end();
    transmit(p);
}

void Tpkt_protocol::receive(Packet& chunk)
{
    while (chunk.length() > 0) {
        switch (state_) {
        case idle:
            receive_idle(chunk);
            break;
        case wait_r:
            receive_wait_r(chunk);
            break;
        case len_1:
            receive_len_1(chunk);
            break;
        case len_2:
            receive_len_2(chunk);
            break;
        case body:
            receive_body(chunk);
            break;
        }
    }
    if (state_ == idle)
        timer_.reset();
    else
        timer_.set(reassembly_timeout_ms, &Tpkt_protocol::on_timeout, this);
}

void Tpkt_protocol::receive_idle(Packet& chunk)
{
    // A run of garbage gets one line when it begins and one when a frame starts again, however
    // long it is: a peer sending megabytes of it must not flood the log.
    if (chunk.pull() != 3) {
        if (skipped_++ == 0)
            std::clog << name().name() << " bad TPKT packet start." << std::endl;
        return;
    }
    if (skipped_ != 0)
        std::clog << name().name() << " TPKT packet start after " << skipped_ << " bytes skipped." << std::endl;
    skipped_ = 0;
    next_state(wait_r);
}

void Tpkt_protocol::receive_wait_r(Packet& chunk)
{
    if (chunk.pull() == 0) {
        next_state(len_1);
    } else {
        std::clog << name().name() << " bad TPKT reserved." << std::endl;
        next_state(idle);
    }
}

void Tpkt_protocol::receive_len_1(Packet& chunk)
{
    count_ = chunk.pull();
    next_state(len_2);
}

void Tpkt_protocol::receive_len_2(Packet& chunk)
{
    count_ = count_ * 256 + chunk.pull();
    if (count_ < header_size) {
        if (name_)
            std::clog << name_->name() << ' ';
        std::clog << "TPKT too small " << count_ << std::endl;
        next_state(idle);
        return;
    }
    count_ -= header_size;
    frame_ = Packet();
    try {
        frame_.reserve_head(0);
    } catch (const std::bad_alloc&) {
        // The frame's bytes are still read, and dropped, so the stream stays in step.
        std::cerr << name().name() << " TPKT frame of " << count_ << " bytes dropped: packet pool exhausted." << std::endl;
    }
    if (count_ == 0)
        deliver();
    else
        next_state(body);
}

void Tpkt_protocol::receive_body(Packet& chunk)
{
    const unsigned n = std::min(chunk.length(), count_);
    if (!frame_.is_null())
        frame_.put(chunk.data(), n);
    chunk.pull(n);
    count_ -= n;
    if (count_ == 0)
        deliver();
}

void Tpkt_protocol::deliver()
{
    Packet frame = frame_;
    frame_ = Packet();
    next_state(idle);
    if (!frame.is_null())
        on_message(frame);
}

void Tpkt_protocol::on_timeout(Timer*)
{
    std::clog << (name_ ? name_->name() : "") << " TPKT packet timeout." << std::endl;
    reset();
}

void Tpkt_protocol::reset()
{
    timer_.reset();
    frame_ = Packet();
    skipped_ = 0;
    next_state(idle);
}
