#pragma once

// The connecting side shared by the TCP and the Unix-domain connectors: connects out from
// Activate() on, retries failed attempts (every 1000 ms for the first seven failures after
// activation, then slower) and connects again 10000 ms after a connection is lost, until
// Deactivate(). Every attempt has a socket of its own, closed when the attempt fails.

#include "foundation/control/service_net.h"
#include "foundation/control/service_unix.h"
#include "foundation/os/fd.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/timer.h"

#include <string>

namespace Control {

template <class Link>
class Connector : public Link {
public:
    ~Connector() override;

    // One attempt.
    virtual void TryConnect() = 0;
    // The retry or reconnect time has come.
    void OnTimeout(Timer* timer);
    void OnSocketEvent(int fd, short revents);

protected:
    // Retry delays once the fast retries are used up, by how the attempt failed.
    static constexpr unsigned refused_retry_ms = 20000;
    static constexpr unsigned error_retry_ms = 15000;
    static constexpr unsigned pending_error_retry_ms = 12000;

    explicit Connector(const char* event_name);

    // Always true: a failed first attempt is retried like any other.
    bool ImplActivate() override;
    void ImplDeactivate() override;
    void ImplOnDisconnect() override;

    // The peer as the log lines name it.
    virtual std::string Target() const = 0;
    // The socket of a connect in progress turned writable; the event is released already.
    virtual void OnWritable() = 0;

    // Closes the last attempt's socket and makes a new non-blocking one; false, after the
    // line for the failed step, and Idle, when that cannot be done.
    bool OpenSocket(int domain, int protocol, const char* create_failed, const char* non_block_failed);
    // Watches the attempt's socket for writability.
    void WatchSocket();
    // The attempt succeeded: the link takes a duplicate of the socket, and ours is closed.
    void Established(const typename Link::Peer& peer);
    // Ends a failed attempt and arms the next one.
    void Retry(unsigned slow_ms);

    Fd socket() const { return socket_; }

private:
    void CloseSocket();

    Fd socket_;
    Timer timer_;
    Event event_;
    int countdown_ = 0;
};

extern template class Connector<ServiceNet>;
extern template class Connector<ServiceUnix>;

}  // namespace Control
