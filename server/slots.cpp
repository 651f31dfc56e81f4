#include "server/slots.h"

#include "server/slot.h"
#include "server/slot_connection.h"
#include "server/slot_factory.h"

#include <algorithm>
#include <iostream>
#include <unistd.h>

namespace {

// Takes the slot off its source and every listener off the slot.
void Detach(Slot& slot)
{
    Disconnect(slot);
    for (size_t n = slot.GetListeners().size(); n > 0; --n) {
        if (slot.GetListeners().empty()) {
            std::cerr << "mux internal error: expected slots not exists." << std::endl;
            break;
        }
        Disconnect(*slot.GetListeners().front());
    }
    if (!slot.GetListeners().empty())
        std::cerr << "mux internal error: unexpected slots exists." << std::endl;
}

}  // namespace

struct Slots::ResourceReport {
    LGCP::Signal signal;
    unsigned holds = 0;
};

Slots::Slots() = default;

Slots::~Slots() = default;

Slots* Slots::instance()
{
    static Slots service;
    return &service;
}

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
    case LGCP::Command::disconnect:
        CmdDisconnect();
        return true;
    case LGCP::Command::create:
        CmdCreate(*command.get_create());
        return true;
    case LGCP::Command::destroy:
        CmdDestroy();
        return true;
    case LGCP::Command::activate:
        CmdActivate(*command.get_activate());
        return true;
    case LGCP::Command::deactivate:
        CmdDeactivate();
        return true;
    case LGCP::Command::userData:
        CmdUserData(command.get_userData()->getValue());
        return true;
    case LGCP::Command::ioctl:
        CmdIoctl(*command.get_ioctl());
        return true;
    default:
        return false;
    }
}

Slot* Slots::LiveSlot(unsigned n)
{
    Slot* slot = Find(n);
    if (!slot)
        Error(LGCP::ErrorCause::slotNotExists);
    else if (slot->destroying)
        Error(LGCP::ErrorCause::destroyInProgress);
    else
        return slot;
    return nullptr;
}

void Slots::CmdQuery()
{
    Success();
    UpdateHardwareResources();
}

void Slots::CmdConnect(unsigned n)
{
    if (!CheckSlot(n)) {
        Error(LGCP::ErrorCause::invalidSlot);
        return;
    }
    Slot* source = LiveSlot(GetSlot());
    if (!source || !LiveSlot(n))
        return;
    if (Connect(*source, *table[n]))
        Success();
    else
        Error(LGCP::ErrorCause::connectFail);
}

void Slots::CmdDisconnect()
{
    // A slot being destroyed may still leave its source.
    Slot* slot = Find(GetSlot());
    if (!slot)
        Error(LGCP::ErrorCause::slotNotExists);
    else if (Disconnect(*slot))
        Success();
    else
        Error(LGCP::ErrorCause::disconnectFail);
}

void Slots::CmdCreate(const LGCP::CreateParams& params)
{
    unsigned n = GetSlot();
    if (Slot* old = table[n]) {
        if (old->destroying) {
            Error(LGCP::ErrorCause::destroyInProgress);
            return;
        }
        if (!Destroy(old)) {
            Error(LGCP::ErrorCause::slotIdBusy);
            return;
        }
    }
    for (SlotFactory* factory = firstFactory; factory; factory = factory->next) {
        if (Slot* slot = factory->NewSlot(params)) {
            slot->id = n;
            slots.push_back(slot);
            table[n] = slot;
            Success();
            slot->IAfterCreate();
            return;
        }
    }
    Error(LGCP::ErrorCause::insufficientResources);
}

void Slots::CmdDestroy()
{
    Slot* slot = LiveSlot(GetSlot());
    if (!slot)
        return;
    if (Destroy(slot)) {
        Success();
        return;
    }
    slot->delayedSeq = delayResponse();
    slot->delayedAnswer = IsSeqPresent() ? Slot::DelayedAnswer::with_seq : Slot::DelayedAnswer::without_seq;
}

void Slots::CmdActivate(const TERM::TermActivateParams& params)
{
    if (Slot* slot = LiveSlot(GetSlot())) {
        if (slot->IActivate(params))
            Success();
        else
            Error(LGCP::ErrorCause::unsupported);
    }
}

void Slots::CmdDeactivate()
{
    if (Slot* slot = LiveSlot(GetSlot())) {
        if (slot->IDeactivate())
            Success();
        else
            Error(LGCP::ErrorCause::unsupported);
    }
}

void Slots::CmdUserData(const std::vector<char>& data)
{
    if (Slot* slot = LiveSlot(GetSlot())) {
        if (slot->IUserData(data))
            Success();
        else
            Error(LGCP::ErrorCause::unsupported);
    }
}

void Slots::CmdIoctl(const LGCP::IoctlParams& params)
{
    if (Slot* slot = LiveSlot(GetSlot())) {
        if (slot->Ioctl(params))
            Success();
        else
            Error(LGCP::ErrorCause::unsupported);
    }
}

bool Slots::Destroy(Slot* slot)
{
    Detach(*slot);
    slot->destroying = true;
    slot->deciding = true;
    bool ended = slot->BeforeDestroy() || !slot->deciding;
    slot->deciding = false;
    if (!ended)
        return false;
    Release(slot);
    return true;
}

void Slots::on_release(Slot* slot)
{
    // Ended from inside IBeforeDestroy: Destroy releases it once the hook has returned.
    if (slot->deciding) {
        slot->deciding = false;
        return;
    }
    switch (slot->delayedAnswer) {
    case Slot::DelayedAnswer::with_seq:
        delayedSuccess(slot->id, slot->delayedSeq);
        break;
    case Slot::DelayedAnswer::without_seq:
        delayedSuccess(slot->id);
        break;
    case Slot::DelayedAnswer::none:
        break;
    }
    Release(slot);
}

void Slots::Release(Slot* slot)
{
    // Edges made while the slot was ending would point at freed memory.
    Detach(*slot);
    slots.remove(slot);
    pending.remove(slot);
    if (Find(slot->id) == slot)
        table[slot->id] = nullptr;
    delete slot;
}

void Slots::OnDisconnect()
{
    while (!slots.empty()) {
        Slot* slot = slots.front();
        if (slot->destroying || !Destroy(slot)) {
            slots.remove(slot);
            // Nobody is left to answer.
            slot->delayedAnswer = Slot::DelayedAnswer::none;
            pending.push_back(slot);
        }
    }
    sleep(1);
    // A slot deleted unfinished must be gone from its factory, whose later walks would reach it.
    while (!pending.empty()) {
        Slot* slot = pending.front();
        if (slot->factory)
            slot->factory->Remove(slot);
        Release(slot);
    }
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
    ResourceReport& report = *reports.emplace_back(std::make_unique<ResourceReport>());
    LGCP::Resources& resources = report.signal.select_query();
    resources.set_mux(true);
    report.holds = 1;
    filling = &report;
    for (SlotFactory* factory = firstFactory; factory; factory = factory->next)
        factory->Query(resources);
    filling = nullptr;
    ReleaseResourceReport(&resources);
}

LGCP::Resources* Slots::HoldResourceReport()
{
    if (!filling)
        return nullptr;
    ++filling->holds;
    return filling->signal.get_query();
}

void Slots::ReleaseResourceReport(LGCP::Resources* resources)
{
    auto report = std::find_if(reports.begin(), reports.end(),
                               [resources](const auto& held) { return held->signal.get_query() == resources; });
    if (report == reports.end() || --(*report)->holds > 0)
        return;
    SendSignal((*report)->signal);
    reports.erase(report);
}
