#pragma once

// A fax call on a TDM time slot handed to the software T.38 program ("t38 soft"): the program runs
// as the slot's child with a transparent channel of the channel controller as its descriptor 0,
// and the slot connects the channel's time slot like any TDM endpoint. The program's end is
// reported as abort with its wait status; a destroy stops it with SIGTERM and completes at once,
// SIGKILL following 5000 ms later if the program is still there.

#include "slots/circuit/child_program.h"

#include "server/slot.h"

#include "foundation/os/fd.h"

#include <iosfwd>
#include <string>
#include <vector>

class T38SoftSlot : public Slot {
public:
    static constexpr const char* program = "/usr/local/sbin/t38";

    explicit T38SoftSlot(int timeslot);

    // Starts the program with the arguments after its path and the channel as its descriptor 0;
    // a program that cannot be executed ends with exit code 1005. The process id, or -1 with errno
    // set when it cannot be started.
    int Run(Fd channel, const std::vector<std::string>& arguments);

    void IAfterCreate() override;
    bool IBeforeDestroy() override;
    bool IOnOutputStream() override { return true; }
    bool IOnInputStream() override { return true; }
    int IGetTransmitChannel() override { return timeslot; }
    int IGetReceiveChannel() override { return timeslot; }
    const char* GetName() const override { return "t38 soft"; }

    // The program's end, with its wait status; the slot stays until it is destroyed.
    void OnT38Terminate(int status);

    // The slot's own header, then ": ".
    void PutHeader(std::ostream& out) const;

private:
    const int timeslot;
    ChildProgram child;  // its pid() is -1 once the program has ended
};
