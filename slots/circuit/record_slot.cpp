#include "slots/circuit/record_slot.h"

#include "slots/circuit/voice_factory.h"

#include "foundation/util/ext_header.h"

#include <iostream>

RecordSlot::RecordSlot(const std::string& host, int timeslot, Fd channel) : VoiceSlot(timeslot, channel), host(host) {}

void RecordSlot::IAfterCreate() { OnChangeInputStream(true); }

bool RecordSlot::IBeforeDestroy()
{
    if (factory)
        static_cast<VoiceFactory*>(factory)->OnDestroy(this);
    return true;
}

bool RecordSlot::IOnInputStream()
{
    StartConnect(connect, this, &RecordSlot::OnConnect, host);
    return true;
}

void RecordSlot::OnConnect(ASync::Connect::Status::Type status, Fd socket)
{
    if (!Connected(status, host)) {
        StopRecording(LGCP::StopRecordingCause::connectionFail);
        return;
    }
    connect.reset();
    StartCopy(copy, this, &RecordSlot::OnRecordComplete, 0, 0, fd, socket);
}

void RecordSlot::OnRecordComplete(ASync::Copy::Status::Type status)
{
    if (status == ASync::Copy::Status::done) {
        Closed(host);
        StopRecording(LGCP::StopRecordingCause::userRequest);
    } else {
        std::cerr << ext::header(this) << "record aborted" << std::endl;
        StopRecording(LGCP::StopRecordingCause::connectionAborted);
    }
}

void RecordSlot::StopRecording(LGCP::StopRecordingCause::NamedNumber cause)
{
    copy.reset();
    connect.reset();
    LGCP::IoctlResponse response;
    response.select_stopRecording().setValue(cause);
    OnIoctlResponse(response);
}
