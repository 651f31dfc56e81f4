#include "server/slots.h"

#include "server/slot_factory.h"

#include <unistd.h>

Slots* Slots::instance()
{
    static Slots service;
    return &service;
}

void Slots::OnDisconnect() { sleep(1); }

bool Slots::OnCommand(const LGCP::Command& command)
{
    return IsSlotPresent() ? OnSlotCommand(command) : OnBaseCommand(command);
}

bool Slots::OnBaseCommand(const LGCP::Command& command)
{
    if (command.currentSelection() != LGCP::Command::query)
        return false;
    CmdQuery();
    return true;
}

bool Slots::OnSlotCommand(const LGCP::Command& command)
{
    switch (command.currentSelection()) {
    case LGCP::Command::connect:
        CmdConnect(command.get_connect()->getValue());
        return true;
    case LGCP::Command::create:
        Error(LGCP::ErrorCause::insufficientResources);
        return true;
    case LGCP::Command::disconnect:
    case LGCP::Command::destroy:
    case LGCP::Command::activate:
    case LGCP::Command::deactivate:
    case LGCP::Command::userData:
    case LGCP::Command::ioctl:
        Error(LGCP::ErrorCause::slotNotExists);
        return true;
    default:
        return false;
    }
}

void Slots::CmdQuery()
{
    Success();
    UpdateHardwareResources();
}

void Slots::CmdConnect(unsigned n)
{
    Error(CheckSlot(n) ? LGCP::ErrorCause::slotNotExists : LGCP::ErrorCause::invalidSlot);
}

void Slots::OnSignal(const LGCP::Signal& signal)
{
    if (signal.currentSelection() != LGCP::Signal::trunkStatus)
        return;
    for (SlotFactory* factory = firstFactory; factory; factory = factory->next)
        factory->SelfSignal(signal);
}

void Slots::UpdateHardwareResources()
{
    LGCP::Signal signal;
    LGCP::Resources& resources = signal.select_query();
    resources.set_mux(true);
    for (SlotFactory* factory = firstFactory; factory; factory = factory->next)
        factory->Query(resources);
    SendSignal(signal);
}
