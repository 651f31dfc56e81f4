#pragma once

// The slot factories: every slot type comes with one, and all of them sit on one global list,
// newest first. Each factory links itself at the head when it is built, so the factories that
// static construction builds end up at the tail once start-up has built the others, and a
// factory built later is asked earlier. A factory keeps the slots it made until they leave it
// (their destroy completes or is allowed to complete).

#include <list>

namespace LGCP {
class CreateParams;
class Resources;
class Signal;
}  // namespace LGCP

class Slot;

class SlotFactory {
public:
    SlotFactory();
    // Factories live until the process ends; the list is never shortened.
    virtual ~SlotFactory() = default;
    SlotFactory(const SlotFactory&) = delete;
    SlotFactory& operator=(const SlotFactory&) = delete;

    virtual const char* GetName() const = 0;
    // A new slot; null when the request is not this factory's or cannot be served.
    virtual Slot* INewSlot(const LGCP::CreateParams& params) = 0;
    // Adds this factory's resources to the report and leaves the other fields alone.
    virtual void Query(LGCP::Resources& resources) = 0;
    // Every trunk status the slot service hears of.
    virtual void SelfSignal(const LGCP::Signal&) {}

    // INewSlot; a slot made is recorded as this factory's.
    Slot* NewSlot(const LGCP::CreateParams& params);
    void Remove(Slot* slot);

    SlotFactory* next;

protected:
    std::list<Slot*> slots;
};

// The head of the factory list; null while no factory exists.
extern SlotFactory* firstFactory;
