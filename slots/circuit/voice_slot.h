#pragma once

// The voice slots: each owns one transparent channel of the channel controller, a descriptor
// whose reads deliver the samples received on the channel's time slot and whose writes are
// played out on it. Players are sources only, recorders destinations only; the bytes pass
// unchanged between the channel and a prompt file or a TCP server, copied inside the reactor.

#include "server/slot.h"

#include "foundation/os/fd.h"
#include "foundation/reactor/async_connect.h"
#include "foundation/reactor/async_copy.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <poll.h>
#include <string>

// "<iaddr>:<port>", the form the connector takes.
std::string dhost2str(const TERM::HostAddress& host);

class VoiceSlot : public Slot {
public:
    // Requests of "/dev/mcc/ctl": a channel for the descriptor (a 20-byte record), and the
    // channel's time slot on the switch (no argument; the result).
    static constexpr uint32_t allocate_code = 0x40144D00;
    static constexpr uint32_t timeslot_code = 0x20004D02;

    // "player[12]: "
    void PutHeader(std::ostream& out) const;

protected:
    // Keeps its own duplicate of the channel and closes it when destroyed.
    VoiceSlot(int timeslot, Fd channel);
    ~VoiceSlot() override;

    // Replaces the connector with one towards the host. The outcome may come within this call,
    // and the handler may drop the connector.
    template <class X>
    static void StartConnect(std::unique_ptr<ASync::Connect>& connect, X* slot,
                             void (X::*done)(ASync::Connect::Status::Type, Fd), const std::string& host)
    {
        connect = std::make_unique<ASync::Connect>();
        connect->Bind(done, slot);
        connect->Start(host, connect_timeout_ms);
    }

    // Replaces the copier with one from `from` to `to` (a buffer size of 0 keeps the copier's
    // own; a flush mask of 0 ends the copy at its last write). The end may come within this call,
    // and the handler may drop the copier.
    template <class X>
    static void StartCopy(std::unique_ptr<ASync::Copy>& copy, X* slot, void (X::*done)(ASync::Copy::Status::Type),
                          unsigned bufsize, short flush, Fd from, Fd to)
    {
        copy = std::make_unique<ASync::Copy>();
        if (bufsize)
            copy->set_bufsize(bufsize);
        copy->set_events({POLLIN, POLLOUT, flush});
        copy->Bind(done, slot);
        copy->Start(from, to);
    }

    // The debug line of a connector's outcome; whether the connection is up.
    bool Connected(ASync::Connect::Status::Type status, const std::string& host) const;
    // The debug line of a server that ended its stream.
    void Closed(const std::string& host) const;

    const int timeslot;
    Fd fd;

private:
    static constexpr unsigned connect_timeout_ms = 5000;
};
