#pragma once

// A system-log stream buffer that hands its lines to the process's own log client, which sends
// all lines of one flush together in one message.

#include "foundation/log/syslog_stream_buf.h"

class ManagedSysLogStreamBuf : public SysLogStreamBuf {
public:
    // facility in the form of the syslog facility values (LOG_DAEMON is 24), level the severity.
    ManagedSysLogStreamBuf(int facility, int level);

protected:
    int sync() override;
};
