#pragma once

// One message connection to a peer: a stream socket under a TPKT layer, delivering each whole
// TPKT payload to one bound receiver and sending whole messages back. Subclasses decide how the
// socket comes about (listening or connecting, TCP or Unix domain); at most one peer is served
// at a time.

#include "foundation/control/notify.h"
#include "foundation/os/fd.h"
#include "foundation/protocol/protocols_family.h"
#include "foundation/reactor/dpc.h"
#include "foundation/reactor/measure.h"

#include <cstddef>
#include <cstdint>
#include <string>

class StrmProtocol;
class Tpkt_protocol;

namespace Control {

class Service : private ProtocolsFamily {
public:
    struct State {
        enum Type { Idle = 0, Connecting = 1, Deactivating = 2, Connected = 3 };
    };

    // Logs nothing (apart from what a subclass says otherwise) when verbose is false.
    explicit Service(bool verbose = true);
    ~Service() override;

    // Starts over: deactivates, then lets the subclass start; false (and Idle) when it cannot.
    bool Activate();
    // Stops everything, drops a standing connection and pending deferred work without telling
    // the receiver, and leaves the service Idle.
    void Deactivate();
    // Ends the standing connection; the receiver hears of it on the next reactor pass. Does
    // nothing without a standing connection.
    void Disconnect();

    // The receiver is not owned.
    void Bind(Notify* receiver) { receiver_ = receiver; }
    void UnBind() { receiver_ = nullptr; }

    // Sends one whole message while Connected. A length no TPKT frame can hold is refused with
    // a line. Without a peer the request is ignored: the first of each absence with a line, the
    // rest only counted.
    void Send(const char* data, int length);
    // Makes sends never wait for a peer that does not read: what its socket does not take at once
    // waits, up to limit bytes with the frame headers, and goes out as the socket takes it. A
    // message that would pass the limit is not sent: the connection is dropped as by Disconnect,
    // with a line that begins with the service name. Without it (a limit of 0, the default) a
    // send waits up to 1000 ms for room and then drops the connection. Chosen before Activate.
    void LimitSendQueue(size_t limit);
    // Bytes of sent messages, frame headers included, that wait for the socket to take them.
    size_t queued_bytes() const;
    // Requests ignored without a line since the peer went away.
    unsigned long ignored_sends() const { return ignored_sends_; }
    // Closes the stream socket without telling anyone and drops any partial frame.
    void Release();

    const std::string& service_name() const;
    void service_name(const std::string& name);
    // Names the framing layer: its lines about a stream that breaks the framing begin with the
    // name instead of "(no name)".
    void frame_layer_name(const std::string& name);
    uint32_t GetOverflowCounter() const;
    const Measure& get_read_measure() const;
    const Measure& get_write_measure() const;

    State::Type state() const { return state_; }
    // The peer's text of the last connection (for TCP "a.b.c.d:port").
    const std::string& connection_name() const { return connection_name_; }
    bool verbose() const { return verbose_; }

protected:
    // Starts listening or connecting; false when the service cannot run.
    virtual bool ImplActivate() = 0;
    virtual void ImplDeactivate() = 0;
    // A connection has ended; called on the pass after, just before the receiver hears of it.
    virtual void ImplOnDisconnect() = 0;

    // Takes a duplicate of the connected socket (the caller keeps its own), names the
    // connection, starts the stack and tells the receiver. Ignored while Deactivating.
    void Connected(Fd socket, const std::string& peer);
    void OnDeactivateDPC();

private:
    void on_message(Packet& p) override;
    void on_deactivated(Protocol* layer, Smart_pointer<Internal_protocol_status> status) override;

    std::string connection_name_;
    bool verbose_;
    State::Type state_ = State::Idle;
    Notify* receiver_ = nullptr;
    // Whether a request was ignored already in this absence of a peer: only that one is logged.
    bool ignore_logged_ = false;
    unsigned long ignored_sends_ = 0;
    // 0: sends wait for room instead.
    size_t send_queue_limit_ = 0;
    StrmProtocol* stream_;
    Tpkt_protocol* tpkt_;
    Dpc deactivation_;
};

// "Idle", "Connecting", "Deactivating", "Connected"; "Unknown" for any other value.
const char* GetTextNotation(Service::State::Type state);

}  // namespace Control
