#include "server/slot_connection.h"

#include "server/slot.h"

#include "board/hw_mux.h"

#include <iostream>

namespace {

// The logical edge of the destination goes, and both ends hear that their stream is no longer used.
void DropEdge(Slot& destination)
{
    Slot* source = destination.GetSource();
    destination.LogicalDisconnect();
    destination.IOnInputRelease();
    if (source->GetListeners().empty())
        source->IOnOutputRelease();
}

// Undoes what a failed connect did to the source's transmit stream: released when it feeds no
// one, closed again when this connect opened it.
void ReleaseOutput(Slot& source, bool opened)
{
    if (!source.GetListeners().empty())
        return;
    source.IOnOutputRelease();
    if (opened)
        source.OnChangeOutputStream(false);
}

}  // namespace

bool Connect(Slot& source, Slot& destination)
{
    Slot* old = destination.GetSource();
    if (old == &source)
        return true;

    bool openedOutput = false;
    if (source.GetListeners().empty()) {
        if (!source.IOnOutputStream()) {
            std::cerr << "slot " << source << " don't have output stream to " << destination << std::endl;
            return false;
        }
        openedOutput = !source.IsOutputOpen();
        source.OnChangeOutputStream(true);
    }
    bool openedInput = false;
    if (!old) {
        if (!destination.IOnInputStream()) {
            std::cerr << "slot " << destination << " don't have input stream from " << source << std::endl;
            ReleaseOutput(source, openedOutput);
            return false;
        }
        openedInput = !destination.IsInputOpen();
        destination.OnChangeInputStream(true);
    } else {
        llDisconnect(destination);
    }

    if (llConnect(source, destination)) {
        if (old) {
            destination.LogicalDisconnect();
            if (old->GetListeners().empty())
                old->IOnOutputRelease();
        }
        destination.LogicalConnect(source);
        return true;
    }

    // The graph must not claim a route the switch does not have: the old route comes back, or
    // the old edge goes.
    if (old) {
        if (!llConnect(*old, destination))
            DropEdge(destination);
    } else {
        destination.IOnInputRelease();
        if (openedInput)
            destination.OnChangeInputStream(false);
    }
    ReleaseOutput(source, openedOutput);
    return false;
}

bool Disconnect(Slot& destination)
{
    if (!destination.GetSource())
        return true;
    bool routed = llDisconnect(destination);
    DropEdge(destination);
    return routed;
}

bool llConnect(Slot& source, Slot& destination)
{
    if (source.GetConnectionPriority() > destination.GetConnectionPriority())
        return source.IHwConnectTransmitter(destination);
    return destination.IHwConnectReceiver(source);
}

bool llDisconnect(Slot& destination)
{
    Slot* source = destination.GetSource();
    if (!source)
        return false;
    if (destination.GetConnectionPriority() > source->GetConnectionPriority())
        return destination.IHwDisconnectReceiver(*source);
    return source->IHwDisconnectTransmitter(destination);
}

bool MuxConnect(Slot& source, Slot& destination)
{
    int transmit = source.IGetTransmitChannel();
    int receive = destination.IGetReceiveChannel();
    if (!HwMux::instance()->Connect(transmit, receive))
        return false;
    std::clog << "mux: slot " << source << " [" << transmit << "] -> " << destination << " [" << receive << "]"
              << std::endl;
    return true;
}

bool MuxDisconnect(Slot& destination)
{
    int receive = destination.IGetReceiveChannel();
    // A destination that has no channel (any more) has no route to remove.
    if (receive < 0)
        return true;
    if (!HwMux::instance()->Disconnect(receive))
        return false;
    std::clog << "mux: disconnect slot " << destination << " [" << receive << "]" << std::endl;
    return true;
}
