#include "slots/circuit/play_slot_network.h"

#include "foundation/os/big_endian.h"
#include "foundation/util/ext_header.h"

#include <iostream>
#include <sys/socket.h>

PlaySlotNetwork::PlaySlotNetwork(Fd channel, const LGCP::PlayerParams_network& params)
    : PlaySlotGeneric(channel), host(dhost2str(params.get_host())), id(params.get_id().getValue())
{
}

bool PlaySlotNetwork::IOnOutputStream()
{
    if (state == idle) {
        state = connecting;
        StartConnect(connect, this, &PlaySlotNetwork::OnConnect, host);
        // A server address that cannot be used ends the player at once: the connect is refused
        // rather than joining a listener to a player that has ended.
        if (state == released)
            return false;
    }
    OnChangeOutputStream(true);
    return timeslot >= 0;
}

void PlaySlotNetwork::OnConnect(ASync::Connect::Status::Type status, Fd socket)
{
    if (!Connected(status, host)) {
        Release();
        return;
    }
    LGCP::IoctlResponse response;
    response.select_startPlaying();
    OnIoctlResponse(response);
    state = playing;
    connect.reset();
    uint8_t play_id[4];
    BigEndian::put_u32(play_id, 0, static_cast<uint32_t>(id));
    send(socket, play_id, sizeof play_id, MSG_NOSIGNAL);
    StartCopy(copy, this, &PlaySlotNetwork::OnPlayComplete, 0, POLLWRNORM, socket, fd);
}

void PlaySlotNetwork::OnPlayComplete(ASync::Copy::Status::Type status)
{
    if (status == ASync::Copy::Status::done)
        Closed(host);
    else
        std::cerr << ext::header(this) << "play failed" << std::endl;
    Release();
}

void PlaySlotNetwork::Release()
{
    state = released;
    OnChangeOutputStream(false);
    copy.reset();
    connect.reset();
    OnAbort(0);
}
