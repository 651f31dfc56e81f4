#pragma once

// A program that a data-call slot starts as the daemon's child (pppd, the fax programs, the T.38
// program and its instance count): forked and executed at once, its end reported from the reactor
// through a ChildWait with the raw wait status. The program is named by its path on the board,
// which resolves under TOVRASEL_ROOT (fixed_path); its argument zero is the path it runs from. It
// starts with the signal dispositions and the mask of a fresh program, not the daemon's handlers:
// a signal sent right after the start acts on the program, however early it comes.
//
// A program that could not be executed ends with exit code 2 (or the one its starter names) like
// one that failed; whether it ran at all shows through a close-on-exec pipe, which a successful
// exec closes empty and a failed one leaves holding its errno: the exit handler may ask
// exec_error().

#include "foundation/os/fd.h"
#include "foundation/reactor/child_wait.h"

#include <functional>
#include <string>
#include <vector>

class ChildProgram {
public:
    ChildProgram();
    // Stops watching; a program still running is left alone (its owner kills it first).
    ~ChildProgram();
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    // The exit handler, called with the raw wait status; it may destroy this object.
    template <class X>
    void Bind(X* object, void (X::*method)(int status))
    {
        handler_ = [object, method](int status) { (object->*method)(status); };
    }

    // Starts the program with the arguments after argument zero. In the child, `before_exec` runs
    // first, and `exec_failed` is written as a line on the standard output when the exec fails,
    // before the child ends with `failed_code`. The process id, or -1 with errno set when the
    // program cannot be started.
    int Start(const std::string& program, const std::vector<std::string>& arguments,
              const std::function<void()>& before_exec = {}, const std::string& exec_failed = {},
              int failed_code = 2);

    // The id of the program until its end is reported, else -1.
    int pid() const { return pid_; }
    // Once its end is reported: 0 when the program ran, else the errno of its exec.
    int exec_error() const { return execError; }

private:
    void OnExit(int status);

    ChildWait wait;
    Fd status;  // read end of the exec status pipe
    int pid_ = -1;
    int execError = 0;
    std::function<void(int)> handler_;
};
