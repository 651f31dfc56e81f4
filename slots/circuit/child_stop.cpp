#include "slots/circuit/child_stop.h"

#include <csignal>
#include <iostream>
#include <list>
#include <memory>

namespace {

// The stops under way.
std::list<std::unique_ptr<ChildStop>>& pending()
{
    static std::list<std::unique_ptr<ChildStop>> stops;
    return stops;
}

}  // namespace

void ChildStop::Start(int pid, unsigned grace_ms, const std::string& killing)
{
    pending().emplace_back(new ChildStop(pid, grace_ms, killing));
}

ChildStop::ChildStop(int pid, unsigned grace_ms, const std::string& killing) : pid(pid), killing(killing)
{
    wait.Bind(this, &ChildStop::OnEnd);
    wait.Attach(pid);
    timer.set(grace_ms, &ChildStop::OnTimeout, this);
}

void ChildStop::OnEnd(int) { Finish(); }

void ChildStop::OnTimeout()
{
    // Its end not reported yet, the child has not been reaped either: the id is still its own.
    std::cerr << killing << std::endl;
    kill(pid, SIGKILL);
    Finish();
}

void ChildStop::Finish()
{
    pending().remove_if([this](const std::unique_ptr<ChildStop>& stop) { return stop.get() == this; });
}
