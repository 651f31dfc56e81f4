#pragma once

// The CPU time a process has used, from /proc/<pid>/stat. Header-only, so that the benchmarks,
// which are built without the test support library, read it the same way.

#include "temp_root.h"

#include <sstream>
#include <string>
#include <sys/types.h>
#include <unistd.h>

namespace testsupport {

// User and system time so far, in seconds; 0 when the process is gone.
inline double cpu_seconds(pid_t pid)
{
    // After the command's closing parenthesis: the state, then ten fields up to utime and stime.
    const std::string stat = file_text("/proc/" + std::to_string(pid) + "/stat");
    const size_t end = stat.rfind(')');
    if (end == std::string::npos)
        return 0;
    std::istringstream fields(stat.substr(end + 2));
    std::string field;
    for (int n = 0; n < 11; ++n)
        fields >> field;
    unsigned long long user = 0, system = 0;
    fields >> user >> system;
    return static_cast<double>(user + system) / sysconf(_SC_CLK_TCK);
}

}  // namespace testsupport
