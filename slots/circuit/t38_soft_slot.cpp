#include "slots/circuit/t38_soft_slot.h"

#include "slots/circuit/child_stop.h"

#include "foundation/util/ext_header.h"

#include <csignal>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace {

constexpr int exec_failed_code = 1005;
constexpr unsigned kill_delay_ms = 5000;

}  // namespace

T38SoftSlot::T38SoftSlot(int timeslot) : timeslot(timeslot) { child.Bind(this, &T38SoftSlot::OnT38Terminate); }

void T38SoftSlot::PutHeader(std::ostream& out) const
{
    Put(out);
    out << ": ";
}

int T38SoftSlot::Run(Fd channel, const std::vector<std::string>& arguments)
{
    int fd = channel;
    auto as_input = [fd] {
        if (fd != STDIN_FILENO)
            dup2(fd, STDIN_FILENO);
        else
            SetCloexec(fd, false);
    };
    return child.Start(program, arguments, as_input, {}, exec_failed_code);
}

void T38SoftSlot::IAfterCreate()
{
    OnChangeOutputStream(true);
    OnChangeInputStream(true);
}

bool T38SoftSlot::IBeforeDestroy()
{
    if (child.pid() >= 1) {
        kill(child.pid(), SIGTERM);
        std::ostringstream killing;
        killing << ext::header(this) << "t38 daemon[" << child.pid() << "] isn't terminated, killing ...";
        ChildStop::Start(child.pid(), kill_delay_ms, killing.str());
    }
    return true;
}

void T38SoftSlot::OnT38Terminate(int status)
{
    int signal = status & 0x7F;
    if (signal != 0 && signal != 0x7F)
        std::clog << ext::header(this) << "t38 daemon terminated by signal=" << signal << std::endl;
    else if (signal == 0)
        std::clog << ext::header(this) << "t38 daemon terminated with code=" << ((status >> 8) & 0xFF) << std::endl;
    OnAbort(status);
}
