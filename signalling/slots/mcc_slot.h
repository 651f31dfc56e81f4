#pragma once

// A bare channel of the channel controller handed to the controller: what the channel receives
// goes up as userData signals, one per read, and the controller's userData is written to it. No
// protocol runs on it; the channel type was chosen when it was allocated.

#include "foundation/reactor/event.h"
#include "server/slot.h"

class MccSlot : public Slot {
public:
    // Takes a descriptor on which a channel is allocated on the switch channel; the caller keeps its own.
    MccSlot(Fd fd, int channel);

    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return true; }
    int IGetTransmitChannel() override { return channel; }
    int IGetReceiveChannel() override { return channel; }
    // One write of all the octets; a failed write is logged and answered with an error. Refused once
    // the channel has ended.
    bool IUserData(const std::vector<char>& data) override;
    const char* GetName() const override { return "MCC"; }

    void OnEvent(int fd, short revents);
    // Reads until the channel has nothing more. A channel that ends or fails a read is let go and
    // the slot signals deactivated.
    void DoRead();
    void PutHeader(std::ostream& out) const;

    const int channel;  // the switch channel of the allocated channel

private:
    Event event_;
};
