#include "foundation/util/tpkt_tracer.h"

#include "foundation/os/fd.h"
#include "foundation/util/inet4_addr.h"

#include <cerrno>
#include <iostream>

#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

TPKTTracer::TPKTTracer() : current_(connections_.end()) {}

TPKTTracer::~TPKTTracer()
{
    for (Connection* connection : connections_)
        delete connection;
}

bool TPKTTracer::Listen(unsigned short port)
{
    Fd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd)
        return false;
    INet4::Addr any;
    any.set_port(port);
    if (bind(fd, any.as_sockaddr(), INet4::Addr::size()) != 0 || listen(fd, 1) != 0 || !fd.NonBlock()) {
        fd.close();
        return false;
    }
    listener_.Bind("TPKTTracer::OnEvent", &TPKTTracer::OnEvent, this);
    listener_.Schedule(fd, POLLIN);
    const bool listening = bool(listener_.fd());
    fd.close();
    return listening;
}

void TPKTTracer::OnEvent(int fd, short revents)
{
    if (!(revents & POLLIN))
        return;
    for (;;) {
        INet4::Addr peer;
        socklen_t size = INet4::Addr::size();
        Fd client(accept4(fd, peer.as_sockaddr(), &size, SOCK_CLOEXEC));
        if (!client) {
            accept_pause_.Check(listener_, "TPKTTracer: ", true);
            return;
        }
        std::clog << "ACP connection open from " << peer << std::endl;
        if (!client.NonBlock()) {
            client.close();
            continue;
        }
        auto* connection = new Connection;
        connection->data_event.Bind("TPKTTracer::OnDataEvent", &TPKTTracer::OnDataEvent, this);
        connection->data_event.Schedule(client, POLLIN);
        client.close();
        connections_.push_back(connection);
    }
}

void TPKTTracer::OnDataEvent(int fd, short revents)
{
    Position client = FindConnection(fd);
    if (client == connections_.end())
        return;
    current_ = client;
    if (revents & (POLLERR | POLLHUP))
        CloseConnection(client);
    else if (revents & POLLIN)
        ReadConnection();
    current_ = connections_.end();
}

void TPKTTracer::ReadConnection()
{
    Connection* c = *current_;
    const int fd = c->data_event.fd();
    for (;;) {
        const ssize_t n = recv(fd, c->buffer + c->received, c->expected - c->received, MSG_NOSIGNAL);
        if (n == 0) {
            CloseConnection(current_);
            return;
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                CloseConnection(current_);
            return;
        }
        c->received += uint32_t(n);
        if (c->received < c->expected)
            return;
        if (!c->reading_header) {
            if (receiver_)
                receiver_->OnFrame(c->buffer, c->expected);
            // A failed answer from inside OnFrame closes this client.
            if (current_ == connections_.end())
                return;
            c->reading_header = 1;
            c->expected = 4;
            c->received = 0;
            continue;
        }
        const unsigned length = unsigned(c->buffer[2]) << 8 | c->buffer[3];
        if (c->buffer[0] != 3 || c->buffer[1] != 0 || length < 4 || length - 4 > max_payload) {
            CloseConnection(current_);
            return;
        }
        c->received = 0;
        if (length > 4) {
            c->reading_header = 0;
            c->expected = length - 4;
        }
    }
}

void TPKTTracer::Send(const void* data, unsigned length)
{
    if (length > 0xFFFF - 4) {
        std::cerr << "TPKTTracer: payload of " << length << " bytes is too long, not sent." << std::endl;
        return;
    }
    const unsigned total = length + 4;
    const unsigned char header[4] = {3, 0, static_cast<unsigned char>(total >> 8), static_cast<unsigned char>(total)};
    if (current_ != connections_.end()) {
        SendTo(current_, header, data, length);
        return;
    }
    for (Position client = connections_.begin(); client != connections_.end();) {
        Position following = std::next(client);
        SendTo(client, header, data, length);
        client = following;
    }
}

void TPKTTracer::SendTo(Position client, const void* header, const void* data, unsigned length)
{
    iovec parts[2] = {{const_cast<void*>(header), 4}, {const_cast<void*>(data), length}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = 2;
    const ssize_t sent = sendmsg((*client)->data_event.fd(), &message, MSG_NOSIGNAL);
    // An interrupted send loses the frame for this client only.
    if (sent < 0 && errno == EINTR)
        return;
    if (sent < ssize_t(length) + 4)
        CloseConnection(client);
}

void TPKTTracer::CloseConnection(Position client)
{
    if (current_ == client)
        current_ = connections_.end();
    delete *client;
    connections_.erase(client);
}

TPKTTracer::Position TPKTTracer::FindConnection(int fd)
{
    for (Position client = connections_.begin(); client != connections_.end(); ++client)
        if ((*client)->data_event.fd() == fd)
            return client;
    return connections_.end();
}
