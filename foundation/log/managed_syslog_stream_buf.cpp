#include "foundation/log/managed_syslog_stream_buf.h"

#include "foundation/log/syslog_manager.h"

ManagedSysLogStreamBuf::ManagedSysLogStreamBuf(int facility, int level) : SysLogStreamBuf(facility, level, 16384) {}

int ManagedSysLogStreamBuf::sync()
{
    if (hand_out([](int priority, const char* line) { syslogManager.syslog(priority, line); }))
        syslogManager.sendmsg();
    return 0;
}
