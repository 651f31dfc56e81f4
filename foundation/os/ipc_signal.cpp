#include "foundation/os/ipc_signal.h"

namespace IPC::Signal {

Set::Set() { sigemptyset(&set_); }

Set::Set(int a, int b) : Set()
{
    sigaddset(&set_, a);
    sigaddset(&set_, b);
}

Set::Set(int a, int b, int c) : Set(a, b) { sigaddset(&set_, c); }

bool Set::is_signal(int sig)
{
    sigset_t empty;
    sigemptyset(&empty);
    return sigismember(&empty, sig) >= 0;
}

namespace {

int install(int sig, const Set& mask, int flags, void (*plain)(int), void (*info)(int, siginfo_t*, void*))
{
    struct sigaction action = {};
    if (info)
        action.sa_sigaction = info;
    else
        action.sa_handler = plain;
    action.sa_mask = mask.get();
    action.sa_flags = flags;
    return sigaction(sig, &action, nullptr);
}

int set_restart(int sig, bool restart)
{
    struct sigaction action;
    if (sigaction(sig, nullptr, &action) != 0)
        return -1;
    if (restart)
        action.sa_flags |= SA_RESTART;
    else
        action.sa_flags &= ~SA_RESTART;
    return sigaction(sig, &action, nullptr);
}

}  // namespace

int ignore(int sig) { return install(sig, Set(), 0, SIG_IGN, nullptr); }

int system(int sig) { return install(sig, Set(), 0, SIG_DFL, nullptr); }

int handle(int sig, void (*handler)(int), const Set& mask, int flags)
{
    return install(sig, mask, flags & ~SA_SIGINFO, handler, nullptr);
}

int handle(int sig, void (*handler)(int), int flags) { return handle(sig, handler, Set(), flags); }

int handle(int sig, void (*handler)(int, siginfo_t*, void*), const Set& mask, int flags)
{
    return install(sig, mask, flags | SA_SIGINFO, nullptr, handler);
}

int handle(int sig, void (*handler)(int, siginfo_t*, void*), int flags) { return handle(sig, handler, Set(), flags); }

// siginterrupt() without its deprecation: it only toggles SA_RESTART of the installed action.
int disable_int(int sig) { return set_restart(sig, true); }

int enable_int(int sig) { return set_restart(sig, false); }

}  // namespace IPC::Signal
