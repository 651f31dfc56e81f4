#include "slots/circuit/child_program.h"

#include "foundation/os/fixed_path.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

// In the child, before anything else runs: every signal the daemon catches goes back to its
// default action (ignored ones stay ignored, as exec keeps them), then the daemon's own mask comes
// back. A signal sent between fork and exec, while everything was blocked, is then acted on as the
// program itself would: a hang-up ends it instead of reaching the daemon's handler in the child.
void restore_signals(const sigset_t& daemon_mask)
{
    for (int sig = 1; sig < NSIG; ++sig) {
        struct sigaction action;
        if (sigaction(sig, nullptr, &action) == 0 && action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN)
            std::signal(sig, SIG_DFL);
    }
    sigprocmask(SIG_SETMASK, &daemon_mask, nullptr);
}

}  // namespace

ChildProgram::ChildProgram() { wait.Bind(this, &ChildProgram::OnExit); }

ChildProgram::~ChildProgram() { status.close(); }

int ChildProgram::Start(const std::string& program, const std::vector<std::string>& arguments,
                        const std::function<void()>& before_exec, const std::string& exec_failed, int failed_code)
{
    std::string path = fixed_path(program);
    std::vector<std::string> texts{path};
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    const std::string failed_line = exec_failed + '\n';

    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0)
        return -1;
    // Blocked around the fork, so that no signal reaches the child before its handlers are reset.
    sigset_t all, daemon_mask;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &daemon_mask);
    int pid = fork();
    if (pid == 0) {
        restore_signals(daemon_mask);
        if (before_exec)
            before_exec();
        execv(path.c_str(), argv.data());
        int error = errno;
        ssize_t ignored = write(ends[1], &error, sizeof error);
        if (!exec_failed.empty())
            ignored = write(STDOUT_FILENO, failed_line.data(), failed_line.size());
        (void)ignored;
        _exit(failed_code);
    }
    int error = errno;
    sigprocmask(SIG_SETMASK, &daemon_mask, nullptr);
    ::close(ends[1]);
    if (pid < 0) {
        ::close(ends[0]);
        errno = error;
        return -1;
    }
    status.close();
    status = ends[0];
    status.NonBlock();
    pid_ = pid;
    execError = 0;
    wait.Attach(pid);
    return pid;
}

void ChildProgram::OnExit(int exit_status)
{
    int error = 0;
    if (read(status, &error, sizeof error) != static_cast<ssize_t>(sizeof error))
        error = 0;
    status.close();
    execError = error;
    pid_ = -1;
    // The handler may delete this object, its own copy included.
    std::function<void(int)> handler = handler_;
    if (handler)
        handler(exit_status);
}
