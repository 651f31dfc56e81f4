#include "foundation/reactor/async_connect.h"

#include "foundation/util/inet4_addr.h"

#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace ASync {

Connect::Connect() = default;

Connect::~Connect()
{
    delete handler_;
    socket_.close();
}

void Connect::Bind(Handler* handler)
{
    Handler* old = handler_;
    handler_ = handler;
    if (old != handler)
        delete old;
}

void Connect::Start(const std::string& address, unsigned timeout_ms)
{
    status_ = Status::connecting;
    Fd sock(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    if (sock)
        SetCloexec(sock, true);
    socket_.close();
    socket_ = sock;
    if (!socket_ || !socket_.NonBlock()) {
        Complete(Status::failed);
        return;
    }
    // An address that does not parse must not become 0.0.0.0, which reaches this very host.
    INet4::Addr peer;
    if (!INet4::AssignPeer(peer, address)) {
        Complete(Status::failed);
        return;
    }
    if (connect(socket_, peer.as_sockaddr(), INet4::Addr::size()) == 0) {
        Complete(Status::connected);
        return;
    }
    if (errno != EINPROGRESS) {
        Complete(Status::failed);
        return;
    }
    event_.Schedule(socket_, POLLOUT);
    event_.Bind("Connect::OnSocketEvent", &Connect::OnSocketEvent, this);
    timer_.set(timeout_ms, &Connect::OnTimeOut, this);
}

void Connect::Stop() { Complete(Status::stopped); }

void Connect::OnSocketEvent(int, short revents)
{
    if (revents & (POLLERR | POLLHUP | POLLNVAL)) {
        Complete(Status::failed);
        return;
    }
    if (!(revents & POLLOUT))
        return;
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(socket_, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0)
        Complete(Status::failed);
    else
        Complete(Status::connected);
}

void Connect::OnTimeOut(Timer*) { Complete(Status::failed); }

void Connect::Complete(Status::Type status)
{
    if (status_ != Status::connecting)
        return;
    status_ = status;
    Fd kept(status == Status::connected ? socket_.dup() : -1);
    socket_.close();
    event_.Release();
    event_.UnBind();
    timer_.reset();
    // Only locals from here on: the handler may delete this connector.
    if (handler_) {
        Fd passed(kept.dup());
        handler_->Invoke(status, passed);
        if (passed)
            passed.close();
    }
    if (kept)
        kept.close();
}

}  // namespace ASync
