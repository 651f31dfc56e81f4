#pragma once

// A small TCP server for tracing tools: any number of clients send TPKT frames with payloads of
// at most 512 bytes, each payload goes to one receiver, and frames go out to every client or,
// while a client's frame is being handled, back to that client only. A client that breaks the
// framing or fails a socket call is closed silently; the others and the listener stay. Without a
// descriptor left, accepting pauses for a second.

#include "foundation/reactor/event.h"
#include "foundation/util/accept_pause.h"

#include <cstdint>
#include <list>

class TPKTTracer {
public:
    class Receiver {
    public:
        virtual ~Receiver() = default;
        virtual void OnFrame(const void* data, unsigned length) = 0;
    };

    static constexpr unsigned max_payload = 512;

    TPKTTracer();
    ~TPKTTracer();
    TPKTTracer(const TPKTTracer&) = delete;
    TPKTTracer& operator=(const TPKTTracer&) = delete;

    // Without a receiver frames are read and dropped.
    void SetReceiver(Receiver* receiver) { receiver_ = receiver; }
    // Listens on the port of every local address; false when a step fails.
    bool Listen(unsigned short port);
    void Send(const void* data, unsigned length);

private:
    struct Connection {
        int reading_header = 1;
        uint32_t expected = 4;
        uint32_t received = 0;
        Event data_event;
        unsigned char buffer[max_payload];
    };
    using Position = std::list<Connection*>::iterator;

    void OnEvent(int fd, short revents);
    void OnDataEvent(int fd, short revents);
    // Reads the current client until its socket has nothing more or it was closed.
    void ReadConnection();
    void SendTo(Position client, const void* header, const void* data, unsigned length);
    void CloseConnection(Position client);
    Position FindConnection(int fd);

    Receiver* receiver_ = nullptr;
    Event listener_;
    AcceptPause accept_pause_;
    std::list<Connection*> connections_;
    Position current_;
};
