#pragma once

// Detaching the process as a daemon and re-pointing its output, error and debug streams at the
// system log or at hourly log files.

#include <iosfwd>
#include <memory>
#include <string>

class LogFileStreamBuf;

namespace Daemon {

enum Mode { system_log = 0, log_files = 1 };

struct Params {
    int mode = system_log;
    // Keep the working directory instead of changing to "/".
    bool nochdir = false;
    // The system-log ident, or the log directory in log-file mode.
    std::string name = "unknown";
};

// Detaches (the calling process exits 0 and a child goes on) and sets up the logging of the
// mode. A failure to detach logs "daemon() fail!" and exits with status 2.
class Sentry {
public:
    explicit Sentry(const Params& params);
    ~Sentry();
    Sentry(const Sentry&) = delete;
    Sentry& operator=(const Sentry&) = delete;

private:
    void log_to_system_log(const std::string& ident);
    void log_to_files(const std::string& directory);

    std::unique_ptr<LogFileStreamBuf> files_;
    std::streambuf* saved_[3] = {};
};

// The first call makes the process-wide sentry; later calls do nothing.
void Init(const Params& params);

}  // namespace Daemon
