#pragma once

#include <csignal>

// POSIX signal installation. Each call returns sigaction's result; the old action is not kept.
// Signal handlers may only set flags, stop the reactor or, for SIGCHLD, reap and report.
namespace IPC::Signal {

class Set {
public:
    Set();
    Set(int a, int b);
    Set(int a, int b, int c);

    const sigset_t& get() const { return set_; }

    static bool is_signal(int sig);

private:
    sigset_t set_;
};

int ignore(int sig);
int system(int sig);

// One-argument handlers: SA_SIGINFO is taken out of the flags.
int handle(int sig, void (*handler)(int), const Set& mask, int flags);
int handle(int sig, void (*handler)(int), int flags);
// Three-argument handlers: SA_SIGINFO is added to the flags.
int handle(int sig, void (*handler)(int, siginfo_t*, void*), const Set& mask, int flags);
int handle(int sig, void (*handler)(int, siginfo_t*, void*), int flags);

// Whether system calls interrupted by the signal restart (disable_int) or fail with EINTR.
int disable_int(int sig);
int enable_int(int sig);

}  // namespace IPC::Signal
