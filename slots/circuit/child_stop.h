#pragma once

// The end of a child program that outlives its slot: the software T.38 program is sent its stop
// signal by a destroy that completes at once. A program that has not ended when the grace time is
// up gets SIGKILL, so that one ignoring its stop cannot hold the slot's channel for ever. Each
// stop keeps itself until the child has ended or been killed.

#include "foundation/reactor/child_wait.h"
#include "foundation/reactor/timer.h"

#include <string>

class ChildStop {
public:
    // Watches the child, already sent its stop signal; `killing` goes to the error stream when it
    // gets SIGKILL.
    static void Start(int pid, unsigned grace_ms, const std::string& killing);

    ChildStop(const ChildStop&) = delete;
    ChildStop& operator=(const ChildStop&) = delete;

private:
    ChildStop(int pid, unsigned grace_ms, const std::string& killing);

    void OnEnd(int status);
    void OnTimeout();
    // Deletes this stop.
    void Finish();

    const int pid;
    const std::string killing;
    ChildWait wait;
    Timer timer;
};
