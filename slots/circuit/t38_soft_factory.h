#pragma once

// The factory of the software T.38 slots ("T.38 soft", create alternative `t38soft`), made by
// start-up: it allocates a transparent channel of the channel controller for each call and starts
// the T.38 program on it with the controller's addresses and arguments. For the resource report
// it asks the program how many instances the board can run; the report waits for the answer while
// the reactor goes on.

#include "server/slot_factory.h"

#include <functional>
#include <iosfwd>
#include <list>
#include <memory>

class T38InstanceCount;

class T38SoftFactory : public SlotFactory {
public:
    static T38SoftFactory* instance();

    const char* GetName() const override { return "T.38 soft"; }
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    // Reports `t38-instances` once the program has answered: the slot service's report waits.
    void Query(LGCP::Resources& resources) override;

    // Runs "t38 --num-of-instances": `counted` gets the decimal number of its first output line;
    // 0 when the program cannot be started, writes no line, or has written none after 2 s.
    void QueryNumOfInstances(std::function<void(int)> counted);

    // "t38soft: "
    void PutHeader(std::ostream& out) const;

private:
    T38SoftFactory();
    ~T38SoftFactory() override;

    // The runs not finished yet.
    std::list<std::unique_ptr<T38InstanceCount>> counts;
};
