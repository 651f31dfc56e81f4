#pragma once

#include <string>

namespace Linux {

// The pid file "/var/run/<name>.pid" (a fixed path) while the guard lives: the process id in
// decimal digits without an end of line. A file that cannot be created leaves the guard inert.
class Run {
public:
    explicit Run(const char* name);
    ~Run();
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace Linux
