#pragma once

// The process-wide Event that reports ended children to their waiters. The SIGCHLD handler
// only wakes the reactor through a datagram socket pair (it neither blocks nor changes errno);
// the reactor callback then reaps every ended child in turn, logs it and tells its waiter.
// Reaping in the callback rather than in the handler loses no exit however many children end
// at once, since a wake-up that does not fit the full socket pair is already pending there.

#include "foundation/os/fd.h"
#include "foundation/reactor/child_wait.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/intrusive_list.h"

#include <csignal>

class ChildWaitService : public Event {
public:
    static ChildWaitService* childWaitService;

    static void SigChldHandlerWrapper(int sig, siginfo_t* info, void* context);
    void OnChildEvent(int fd, short revents);

private:
    friend class ChildWait;

    ChildWaitService() = default;
    ~ChildWaitService() override;

    void Activate();
    void Report(int pid, int status);

    Fd write_end_;
    F_dual_list<ChildWait> waiters_;
};
