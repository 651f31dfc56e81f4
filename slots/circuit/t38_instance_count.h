#pragma once

// One run of "t38 --num-of-instances" for the resource report, served by the reactor: the first
// line the program writes is the number of T.38 instances the board can run. The reactor goes on
// meanwhile; a program that cannot be started, ends without a line, or has written none within
// 2 s (then killed with whatever it started) counts 0.

#include "slots/circuit/child_program.h"

#include "foundation/os/fd.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/timer.h"

#include <functional>
#include <string>

class T38InstanceCount {
public:
    T38InstanceCount() = default;
    T38InstanceCount(const T38InstanceCount&) = delete;
    T38InstanceCount& operator=(const T38InstanceCount&) = delete;

    // Starts the program; `counted` gets the number once, at once when the start fails. It may
    // delete this object.
    void Start(std::function<void(int)> counted);

private:
    void OnOutput(int fd, short revents);
    void OnTimeout();
    // Stops reading and hands on the number the line holds; no line: 0, with the line saying so.
    void Finish(bool lined);

    std::function<void(int)> counted;
    ChildProgram program;
    Fd output;  // the read end of the program's standard output
    Event event;
    Timer limit;
    std::string line;
};
