#pragma once

// One connection of portslave to the authentication server, owned by ModemFactory. It hands every
// whole record it reads to the factory and writes the records the factory sends it. It learns its
// modem id from the records it receives: the server's records for a modem go to the connection
// whose last record carried that id (-1 until the first, the id of every digital modem).
//
// A connection that fails is closed at once but deleted by the factory only when none of its own
// operations runs any more (the busy count), so that a failure inside a callback or inside
// Send never deletes the object under its own feet.

#include "slots/circuit/auth_record_reader.h"

#include "foundation/os/fd.h"
#include "foundation/reactor/event.h"
#include "foundation/util/inet4_addr.h"

class ModemFactory;
class attr;

class AuthClient {
public:
    AuthClient(Fd fd, const INet4::Addr& peer, ModemFactory& factory);
    ~AuthClient();
    AuthClient(const AuthClient&) = delete;
    AuthClient& operator=(const AuthClient&) = delete;

    // Starts watching the connection for input.
    void Activate();
    void OnSocketEvent(int fd, short revents);
    // Writes the whole record; false when the connection failed (it is then closed and, unless
    // one of its operations still runs, deleted before this returns).
    bool Send(const attr* record);
    // Closes the connection and stops watching it.
    void OnDisconnect();
    // Has the factory delete a closed connection once none of its operations runs.
    void CheckDisconnect();

    const INet4::Addr& peer() const { return peer_; }
    int last_modem_id() const { return lastModemId; }

private:
    // Reads until the socket would block, the connection ends or the stream cannot be cut.
    void Read();
    void Deliver(const uint8_t* bytes, size_t length);

    Event event;
    Fd fd_;
    INet4::Addr peer_;
    unsigned busy = 0;
    AuthRecordReader reader;
    ModemFactory& factory;
    int lastModemId = -1;
};
