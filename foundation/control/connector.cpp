#include "foundation/control/connector.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include <poll.h>
#include <sys/socket.h>

namespace Control {

namespace {

constexpr int fast_retries = 7;
constexpr unsigned fast_retry_ms = 1000;
constexpr unsigned reconnect_ms = 10000;

}  // namespace

template <class Link>
Connector<Link>::Connector(const char* event_name)
{
    event_.Bind(event_name, &Connector::OnSocketEvent, this);
}

template <class Link>
Connector<Link>::~Connector()
{
    socket_.close();
}

template <class Link>
bool Connector<Link>::ImplActivate()
{
    countdown_ = fast_retries;
    TryConnect();
    return true;
}

template <class Link>
void Connector<Link>::ImplDeactivate()
{
    CloseSocket();
    timer_.reset();
}

// The fast retries are not restored here: only activation grants them.
template <class Link>
void Connector<Link>::ImplOnDisconnect()
{
    timer_.set(reconnect_ms, &Connector::OnTimeout, this);
}

template <class Link>
void Connector<Link>::OnTimeout(Timer*)
{
    TryConnect();
}

template <class Link>
void Connector<Link>::OnSocketEvent(int, short revents)
{
    if (revents & (POLLERR | POLLHUP)) {
        std::cerr << "fail to connect to " << Target() << std::endl;
        Retry(error_retry_ms);
    } else if (revents & POLLOUT) {
        event_.Release();
        OnWritable();
    }
}

template <class Link>
bool Connector<Link>::OpenSocket(int domain, int protocol, const char* create_failed, const char* non_block_failed)
{
    CloseSocket();
    socket_ = Fd(::socket(domain, SOCK_STREAM | SOCK_CLOEXEC, protocol));
    if (!socket_) {
        std::cerr << create_failed << std::strerror(errno) << std::endl;
        this->Deactivate();
        return false;
    }
    if (!NonBlockMode(socket_)) {
        std::cerr << non_block_failed << std::strerror(errno) << std::endl;
        this->Deactivate();
        return false;
    }
    return true;
}

template <class Link>
void Connector<Link>::WatchSocket()
{
    event_.Schedule(socket_, POLLOUT);
}

template <class Link>
void Connector<Link>::Established(const typename Link::Peer& peer)
{
    this->Connected(socket_, peer);
    socket_.close();
}

template <class Link>
void Connector<Link>::CloseSocket()
{
    event_.Release();
    socket_.close();
}

template <class Link>
void Connector<Link>::Retry(unsigned slow_ms)
{
    CloseSocket();
    unsigned ms = slow_ms;
    if (countdown_ > 0) {
        --countdown_;
        ms = fast_retry_ms;
    }
    timer_.set(ms, &Connector::OnTimeout, this);
}

template class Connector<ServiceNet>;
template class Connector<ServiceUnix>;

}  // namespace Control
