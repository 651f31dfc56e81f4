#pragma once

// TPKT framing (RFC 1006) above a byte stream: 03 00, a 16-bit big-endian length of the whole
// frame with its 4 header bytes, then the payload. Sending prepends the header in the reserved
// head room; receiving reassembles frames across chunks, hunts byte by byte for a frame start
// after garbage, and drops a partial frame whose rest does not come within 3000 ms.

#include "foundation/protocol/protocol.h"
#include "foundation/reactor/timer.h"

#include <cstdint>
#include <optional>
#include <string>

class Tpkt_protocol : public Protocol {
public:
    enum State { idle = 0, wait_r = 1, len_1 = 2, len_2 = 3, body = 4 };

    static constexpr unsigned header_size = 4;
    static constexpr unsigned max_payload = 0xFFFF - header_size;
    static constexpr unsigned reassembly_timeout_ms = 3000;

    Tpkt_protocol() = default;

    // Names the layer; its lines begin with the name. Until it has one they begin with "(no name)",
    // save the length and time-out lines, which an unnamed layer writes bare.
    void set_name(const std::string& name) { name_.emplace(name.c_str()); }
    const Protocol_name& name() const override { return name_ ? *name_ : Protocol::name(); }

    void local_prepare_head(Packet& p) override;
    void local_activate() override;
    void local_deactivate() override;
    // Frames the payload and sends it down; a payload the length field cannot hold is refused.
    void message(Packet& p) override;
    // Consumes the whole chunk, delivering every frame it completes.
    void receive(Packet& p) override;

    void on_timeout(Timer* timer);
    // Drops any partial frame and waits for a frame start.
    void reset();
    void next_state(State state) { state_ = state; }
    State state() const { return state_; }

private:
    void receive_idle(Packet& chunk);
    void receive_wait_r(Packet& chunk);
    void receive_len_1(Packet& chunk);
    void receive_len_2(Packet& chunk);
    void receive_body(Packet& chunk);
    void deliver();

    std::optional<Protocol_name_str> name_;
    Timer timer_;
    State state_ = idle;
    // In len_2 the length's high byte; in body the payload bytes still missing.
    uint32_t count_ = 0;
    // Bytes dropped so far while looking for a frame start.
    uint64_t skipped_ = 0;
    // The payload being assembled; null while none is, or while a frame that found no pool
    // block is skipped.
    Packet frame_;
};
