#include "core_spinners.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

CoreSpinners::CoreSpinners()
{
    const char* asked = std::getenv("TOVRASEL_BENCH_SPIN");
    if (!asked || !*asked || std::strcmp(asked, "0") == 0)
        return;
    for (long core = sysconf(_SC_NPROCESSORS_ONLN); core > 0; --core) {
        pid_t spinner = fork();
        if (spinner == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            // A spinner must not keep a peer's socket open: a benchmark that closes its end to
            // end a child of its own would wait for ever.
            close_range(STDERR_FILENO + 1, ~0U, 0);
            errno = 0;
            if (nice(19) == -1 && errno != 0)
                _exit(1);
            for (volatile unsigned long turns = 0;; turns = turns + 1) {
            }
        }
        if (spinner > 0)
            spinners_.push_back(spinner);
    }
}

CoreSpinners::~CoreSpinners()
{
    for (pid_t spinner : spinners_)
        kill(spinner, SIGKILL);
    for (pid_t spinner : spinners_)
        waitpid(spinner, nullptr, 0);
}
