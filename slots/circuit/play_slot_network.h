#pragma once

// A player of a play server: with its first listener it connects to the server, sends the play
// identifier (4 bytes, network byte order) and plays what the server sends until it closes.
// It reports its end with `abort` 0 and stays until the controller destroys it.

#include "slots/circuit/play_slot_generic.h"

class PlaySlotNetwork : public PlaySlotGeneric {
public:
    PlaySlotNetwork(Fd channel, const LGCP::PlayerParams_network& params);

    // Starts the connection, once; the connect does not wait for it.
    bool IOnOutputStream() override;

private:
    enum State { idle, connecting, playing, released };

    void OnConnect(ASync::Connect::Status::Type status, Fd socket);
    void OnPlayComplete(ASync::Copy::Status::Type status);
    void Release();

    std::string host;
    int id;
    int state = idle;
    std::unique_ptr<ASync::Copy> copy;
    std::unique_ptr<ASync::Connect> connect;
};
