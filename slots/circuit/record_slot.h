#pragma once

// A recorder: whenever it gets a source it connects to its record server and sends it every
// byte received on its time slot. The end of a recording is reported as `stopRecording` with
// its cause; the recorder keeps its input and records again for the next source.

#include "slots/circuit/voice_slot.h"

class RecordSlot : public VoiceSlot {
public:
    // `host` is the server as "<address>:<port>".
    RecordSlot(const std::string& host, int timeslot, Fd channel);

    // The input is open from the start.
    void IAfterCreate() override;
    // Leaves the factory's list; the recorder goes at once.
    bool IBeforeDestroy() override;
    // Starts a connection to the server (replacing one under way); the connect does not wait for it.
    bool IOnInputStream() override;
    int IGetReceiveChannel() override { return timeslot; }
    const char* GetName() const override { return "recorder"; }

private:
    void OnConnect(ASync::Connect::Status::Type status, Fd socket);
    void OnRecordComplete(ASync::Copy::Status::Type status);
    void StopRecording(LGCP::StopRecordingCause::NamedNumber cause);

    std::string host;
    std::unique_ptr<ASync::Copy> copy;
    std::unique_ptr<ASync::Connect> connect;
};
