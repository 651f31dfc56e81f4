#include "slots/circuit/t38_instance_count.h"

#include "slots/circuit/t38_soft_slot.h"

#include "foundation/os/fixed_path.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr unsigned count_limit_ms = 2000;
// The longest line taken, as the board reads it.
constexpr size_t max_line = 31;

}  // namespace

void T38InstanceCount::Start(std::function<void(int)> counted_)
{
    counted = std::move(counted_);
    // A board without the program counts at once: the report need not wait for a run.
    if (access(fixed_path(T38SoftSlot::program).c_str(), X_OK) != 0) {
        Finish(false);
        return;
    }
    int ends[2];
    int pid = -1;
    if (pipe2(ends, O_CLOEXEC) == 0) {
        int out = ends[1];
        // In a group of its own, so that the time limit ends whatever it started too.
        pid = program.Start(T38SoftSlot::program, {"--num-of-instances"}, [out] {
            dup2(out, STDOUT_FILENO);
            setpgid(0, 0);
        });
        if (pid > 0)
            setpgid(pid, pid);
        close(ends[1]);
        output = ends[0];
    }
    if (pid < 0) {
        output.close();
        std::clog << "t38 daemon not found!" << std::endl;
        std::function<void(int)> done = std::move(counted);
        done(0);
        return;
    }
    output.NonBlock();
    event.Bind("T38InstanceCount::OnOutput", &T38InstanceCount::OnOutput, this);
    event.Schedule(output, POLLIN);
    limit.set(count_limit_ms, &T38InstanceCount::OnTimeout, this);
}

void T38InstanceCount::OnOutput(int, short revents)
{
    if (!(revents & (POLLIN | POLLHUP | POLLERR)))
        return;
    char bytes[max_line];
    ssize_t got;
    while ((got = read(output, bytes, max_line - line.size())) > 0) {
        line.append(bytes, static_cast<size_t>(got));
        size_t end = line.find('\n');
        if (end != std::string::npos || line.size() == max_line) {
            line.resize(std::min(end, line.size()));
            Finish(true);
            return;
        }
    }
    if (got == 0 || (errno != EAGAIN && errno != EINTR))
        Finish(!line.empty());
}

void T38InstanceCount::OnTimeout()
{
    int pid = program.pid();
    if (pid > 0 && kill(-pid, SIGKILL) != 0)
        kill(pid, SIGKILL);
    Finish(false);
}

void T38InstanceCount::Finish(bool lined)
{
    event.Release();
    output.close();
    limit.reset();
    long count = 0;
    if (lined)
        count = std::strtol(line.c_str(), nullptr, 10);
    else
        std::clog << "t38: can't detect T38 resources" << std::endl;
    // Called from a copy, as the last step: the receiver may delete this object.
    std::function<void(int)> done = std::move(counted);
    done(static_cast<int>(std::clamp<long>(count, INT_MIN, INT_MAX)));
}
