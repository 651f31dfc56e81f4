#include "foundation/reactor/child_wait_service.h"

#include "foundation/os/ipc_signal.h"

#include <cerrno>
#include <iostream>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

ChildWaitService* ChildWaitService::childWaitService = nullptr;

ChildWaitService::~ChildWaitService()
{
    Release();
    // Waiters still listed outlive the service; they must not unlink from a list that is gone.
    while (ChildWait* waiter = waiters_.remove_from_head())
        waiter->linked_ = false;
    write_end_.close();
}

void ChildWaitService::Activate()
{
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_DGRAM, 0, ends) != 0) {
        std::cerr << "ChildWaitService: initialize fails" << std::endl;
        return;
    }
    Fd wake(ends[0]);
    Fd watch(ends[1]);
    SetCloexec(wake, true);
    write_end_.close();
    write_end_ = wake.dup();
    // The signal handler must never block: a full socket pair already holds a wake-up.
    write_end_.NonBlock();
    wake.close();

    Bind("ChildWaitService::OnChildEvent", &ChildWaitService::OnChildEvent, this);
    SetCloexec(watch, true);
    watch.NonBlock();
    Schedule(watch, POLLIN);
    watch.close();

    IPC::Signal::handle(SIGCHLD, &ChildWaitService::SigChldHandlerWrapper, SA_RESTART);
}

void ChildWaitService::SigChldHandlerWrapper(int, siginfo_t*, void*)
{
    ChildWaitService* service = childWaitService;
    if (!service || !service->write_end_)
        return;
    int saved_errno = errno;
    const char wake = 0;
    ssize_t ignored = write(service->write_end_, &wake, 1);
    (void)ignored;
    errno = saved_errno;
}

void ChildWaitService::OnChildEvent(int fd, short revents)
{
    if (!(revents & POLLIN))
        return;
    // Take the wake-ups before reaping: a child that ends during the reaping leaves a new one.
    char wakes[64];
    while (read(fd, wakes, sizeof wakes) > 0) {
    }
    int status = 0;
    int pid;
    while ((pid = waitpid(-1, &status, WNOHANG)) > 0)
        Report(pid, status);
}

void ChildWaitService::Report(int pid, int status)
{
    std::clog << "terminate child process, pid=" << pid << " status=" << status << std::endl;
    for (ChildWait* waiter = waiters_.head(); waiter; waiter = F_dual_list<ChildWait>::next(waiter)) {
        if (waiter->pid_ != pid)
            continue;
        waiters_.remove(waiter);
        waiter->linked_ = false;
        waiter->handler_->Invoke(*waiter, status);
        return;
    }
}
