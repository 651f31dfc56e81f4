#pragma once

// The listening side shared by the TCP and the Unix-domain acceptors: binds (retrying every
// 5000 ms while that fails), listens with a backlog of 1 and accepts every pending peer in one
// event, taking the first while no connection stands and refusing the others; without a
// descriptor left it pauses accepting for a second. After a connection ends the listening
// socket simply stays open for the next peer.

#include "foundation/control/service_net.h"
#include "foundation/control/service_unix.h"
#include "foundation/os/fd.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/timer.h"
#include "foundation/util/accept_pause.h"

namespace Control {

template <class Link>
class Acceptor : public Link {
public:
    ~Acceptor() override;

    void BindSocket();
    // The bind retry.
    void OnTimeout(Timer* timer);
    void OnSocketEvent(int fd, short revents);

protected:
    Acceptor(const char* event_name, bool verbose);

    // Creates the listening socket; false, after a line, when it cannot.
    bool OpenListeningSocket(int domain, int protocol);
    // Binds the socket to the own address: bind's result, with errno set on failure.
    virtual int BindAddress(int socket) = 0;

    void ImplDeactivate() override;
    void ImplOnDisconnect() override {}
    // A peer was refused because a connection stands.
    virtual void ImplRefuseConnection() {}
    // A peer's connection was taken; the socket stays the caller's.
    virtual void ImplConnected(Fd) {}

    Fd listening_socket() const { return listening_; }

private:
    void Take(Fd socket, const typename Link::Peer& peer);

    Fd listening_;
    Timer bind_timer_;
    Event listening_event_;
    AcceptPause accept_pause_;
};

extern template class Acceptor<ServiceNet>;
extern template class Acceptor<ServiceUnix>;

}  // namespace Control
