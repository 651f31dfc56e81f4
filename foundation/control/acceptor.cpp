#include "foundation/control/acceptor.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <iostream>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>

namespace Control {

namespace {

constexpr unsigned bind_retry_ms = 5000;

const char* error_text() { return std::strerror(errno); }

Fd accept_peer(int listening, INet4::Addr& peer)
{
    socklen_t size = INet4::Addr::size();
    return Fd(accept4(listening, peer.as_sockaddr(), &size, SOCK_CLOEXEC));
}

// An unbound peer has no path: its text is empty.
Fd accept_peer(int listening, std::string& peer)
{
    sockaddr_un address;
    std::memset(&address, 0, sizeof address);
    socklen_t size = sizeof address;
    Fd socket(accept4(listening, reinterpret_cast<sockaddr*>(&address), &size, SOCK_CLOEXEC));
    const size_t path_offset = offsetof(sockaddr_un, sun_path);
    const size_t path_room = size > path_offset ? std::min<size_t>(size - path_offset, sizeof address.sun_path) : 0;
    peer.assign(address.sun_path, strnlen(address.sun_path, path_room));
    return socket;
}

}  // namespace

template <class Link>
Acceptor<Link>::Acceptor(const char* event_name, bool verbose) : Link(verbose)
{
    listening_event_.Bind(event_name, &Acceptor::OnSocketEvent, this);
}

template <class Link>
Acceptor<Link>::~Acceptor()
{
    listening_.close();
}

template <class Link>
bool Acceptor<Link>::OpenListeningSocket(int domain, int protocol)
{
    listening_ = Fd(socket(domain, SOCK_STREAM | SOCK_CLOEXEC, protocol));
    if (listening_)
        return true;
    if (this->verbose())
        std::cerr << "can't create socket:" << error_text() << std::endl;
    return false;
}

template <class Link>
void Acceptor<Link>::BindSocket()
{
    if (BindAddress(listening_) != 0) {
        if (this->verbose())
            std::cerr << "can't bind to socket: \"" << error_text() << "\"  waiting..." << std::endl;
        bind_timer_.set(bind_retry_ms, &Acceptor::OnTimeout, this);
        return;
    }
    if (listen(listening_, 1) != 0) {
        if (this->verbose())
            std::cerr << "can't listen socket: " << error_text() << std::endl;
        this->Deactivate();
        return;
    }
    if (!NonBlockMode(listening_)) {
        if (this->verbose())
            std::cerr << "can't set socket to non block mode: " << error_text() << std::endl;
        this->Deactivate();
        return;
    }
    listening_event_.Schedule(listening_, POLLIN);
}

template <class Link>
void Acceptor<Link>::OnTimeout(Timer*)
{
    BindSocket();
}

template <class Link>
void Acceptor<Link>::OnSocketEvent(int, short revents)
{
    if (!(revents & POLLIN))
        return;
    for (;;) {
        typename Link::Peer peer;
        Fd socket = accept_peer(listening_, peer);
        if (!socket) {
            accept_pause_.Check(listening_event_, "", this->verbose());
            return;
        }
        Take(socket, peer);
        socket.close();
    }
}

template <class Link>
void Acceptor<Link>::Take(Fd socket, const typename Link::Peer& peer)
{
    if (this->state() == Service::State::Connected) {
        if (this->verbose())
            std::cerr << "refuse connection from " << peer << std::endl;
        ImplRefuseConnection();
        return;
    }
    if (!NonBlockMode(socket)) {
        if (this->verbose())
            std::cerr << "can't set socket to non block mode: " << error_text() << std::endl;
        return;
    }
    if (this->verbose())
        std::cout << "new connection from " << peer << std::endl;
    this->Connected(socket, peer);
    // Between the end of a connection and the next pass a peer is not taken, and its socket,
    // closed by the caller, must not be watched.
    if (this->state() == Service::State::Connected)
        ImplConnected(socket);
}

template <class Link>
void Acceptor<Link>::ImplDeactivate()
{
    bind_timer_.reset();
    accept_pause_.Cancel();
    listening_event_.Release();
    listening_.close();
}

template class Acceptor<ServiceNet>;
template class Acceptor<ServiceUnix>;

}  // namespace Control
