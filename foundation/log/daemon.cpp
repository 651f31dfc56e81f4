#include "foundation/log/daemon.h"

#include "foundation/log/log_file_stream_buf.h"
#include "foundation/log/managed_syslog_stream_buf.h"
#include "foundation/log/syslog_manager.h"

#include <cstdlib>
#include <iostream>
#include <syslog.h>
#include <unistd.h>

namespace Daemon {

Sentry::Sentry(const Params& params)
{
    if (::daemon(params.nochdir, 0) < 0) {
        std::cerr << "daemon() fail!" << std::endl;
        std::exit(2);
    }
    if (params.mode == system_log)
        log_to_system_log(params.name);
    else if (params.mode == log_files)
        log_to_files(params.name);
}

Sentry::~Sentry()
{
    if (!files_)
        return;
    std::cout.rdbuf(saved_[0]);
    std::cerr.rdbuf(saved_[1]);
    std::clog.rdbuf(saved_[2]);
}

// The stream buffers stay until the process ends, so that whatever is logged during exit
// still reaches the log.
void Sentry::log_to_system_log(const std::string& ident)
{
    syslogManager.openlog(ident.c_str(), LOG_NDELAY, 0);
    std::cout.rdbuf(new ManagedSysLogStreamBuf(LOG_DAEMON, LOG_NOTICE));
    std::cerr.rdbuf(new ManagedSysLogStreamBuf(LOG_DAEMON, LOG_ERR));
    std::clog.rdbuf(new ManagedSysLogStreamBuf(LOG_DAEMON, LOG_DEBUG));
    std::cin.tie(&std::cout);
    // Raw writes to the standard descriptors, also by child programs, reach the log as well.
    int fd = syslogManager.fd();
    if (fd > 0) {
        ::dup2(fd, 1);
        ::dup2(fd, 2);
    }
}

void Sentry::log_to_files(const std::string& directory)
{
    files_ = std::make_unique<LogFileStreamBuf>(directory);
    saved_[0] = std::cout.rdbuf(files_.get());
    saved_[1] = std::cerr.rdbuf(files_.get());
    saved_[2] = std::clog.rdbuf(files_.get());
}

void Init(const Params& params) { static Sentry sentry(params); }

}  // namespace Daemon
