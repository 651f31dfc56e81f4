#include "slots/circuit/auth_client.h"

#include "slots/circuit/auth_record.h"
#include "slots/circuit/modem_factory.h"

#include "foundation/util/ext_header.h"

#include <cerrno>
#include <iostream>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

AuthClient::AuthClient(Fd fd, const INet4::Addr& peer, ModemFactory& factory) : fd_(fd), peer_(peer), factory(factory)
{
}

AuthClient::~AuthClient() { fd_.close(); }

void AuthClient::Activate()
{
    event.Bind("AuthClient::OnSocketEvent", &AuthClient::OnSocketEvent, this);
    event.Schedule(fd_, POLLIN);
}

void AuthClient::OnSocketEvent(int, short revents)
{
    ++busy;
    if (revents & (POLLERR | POLLHUP))
        OnDisconnect();
    else if (revents & POLLIN)
        Read();
    --busy;
    CheckDisconnect();
}

void AuthClient::Read()
{
    while (fd_) {
        ssize_t count = read(fd_, reader.space(), reader.wanted());
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        AuthRecordReader::Result result = AuthRecordReader::Result::bad_length;
        if (count > 0)
            result = reader.received(static_cast<size_t>(count));
        // The end of the stream, a read error and a length word that cannot be right end the connection.
        if (result == AuthRecordReader::Result::bad_length)
            OnDisconnect();
        else if (result == AuthRecordReader::Result::record)
            Deliver(reader.record(), reader.record_length());
    }
}

void AuthClient::Deliver(const uint8_t* bytes, size_t length)
{
    // The length word admits records too short for a header, whose type and modem id do not exist.
    if (length < attr::header_size) {
        std::cerr << ext::header(&factory) << "short record of " << length << " bytes from " << peer_
                  << ", dropped." << std::endl;
        return;
    }
    attr record(bytes, length);
    lastModemId = record.modem_id();
    factory.OnAuth(&record);
}

bool AuthClient::Send(const attr* record)
{
    if (!fd_)
        return false;
    ++busy;
    const uint8_t* data = record->data();
    size_t left = record->length();
    while (left > 0) {
        ssize_t count = send(fd_, data, left, MSG_NOSIGNAL);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            OnDisconnect();
            break;
        }
        data += count;
        left -= static_cast<size_t>(count);
    }
    --busy;
    CheckDisconnect();
    return left == 0;
}

void AuthClient::OnDisconnect()
{
    event.Release();
    fd_.close();
}

void AuthClient::CheckDisconnect()
{
    if (busy == 0 && !fd_)
        factory.OnAuthSocketDisconnect(this);
}
