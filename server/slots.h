#pragma once

// The slot service: the control service that owns every slot and executes the controller's slot
// commands (create, destroy, connect, disconnect, activate, deactivate, user data and ioctl on
// the slot a message names), answers the resource query, passes trunk status on to the slot
// factories and, on controller loss, destroys every slot.
//
// A slot number is free, in use, or busy: its slot is being destroyed and ends later. Its end
// answers the destroy command that waits for it, if one does; meanwhile a disconnect is the only
// command the slot takes, the others are answered destroyInProgress.

#include "server/ctrl_service.h"

#include <array>
#include <list>
#include <memory>

class Slot;

class Slots : public CtrlSrv::Service {
public:
    static constexpr unsigned slot_count = 1024;

    static Slots* instance();

    void OnConnect() override {}
    // Every slot goes, those that end later included; the whole process then blocks for one
    // second, with or without slots.
    void OnDisconnect() override;
    // With a slot number the slot commands, without one the resource query.
    bool OnCommand(const LGCP::Command& command) override;
    // Trunk status goes to every factory.
    void OnSignal(const LGCP::Signal& signal) override;

    // Disconnects the slot and its listeners and deletes it; false when it ends later (it stays
    // in the table, busy, until it calls Slot::on_release).
    bool Destroy(Slot* slot);
    // The end of a slot whose destroy was postponed: answers a destroy command waiting for it and
    // deletes it.
    void on_release(Slot* slot);

    // The hardware-resource report, sent as the signal "query" once every factory has added its
    // part.
    void UpdateHardwareResources();
    // For a factory whose part of the report takes time (a program's answer), from inside its
    // Query: the report waits, its resources staying where they are, until the factory has added
    // its part and hands them back with ReleaseResourceReport. Null outside a report's Query.
    LGCP::Resources* HoldResourceReport();
    void ReleaseResourceReport(LGCP::Resources* resources);
    static bool CheckSlot(unsigned n) { return n < slot_count; }

    // The slots in the table, those being destroyed included.
    size_t count() const { return slots.size() + pending.size(); }

    // The slot of the number, or null.
    Slot* Find(unsigned n) const { return CheckSlot(n) ? table[n] : nullptr; }

private:
    Slots();
    ~Slots() override;

    bool OnBaseCommand(const LGCP::Command& command);
    bool OnSlotCommand(const LGCP::Command& command);
    void CmdQuery();
    void CmdConnect(unsigned n);
    void CmdDisconnect();
    void CmdCreate(const LGCP::CreateParams& params);
    void CmdDestroy();
    void CmdActivate(const TERM::TermActivateParams& params);
    void CmdDeactivate();
    void CmdUserData(const std::vector<char>& data);
    void CmdIoctl(const LGCP::IoctlParams& params);
    // The slot of the number unless it is being destroyed; else answers slotNotExists or
    // destroyInProgress.
    Slot* LiveSlot(unsigned n);
    // Detaches the slot from the graph, takes it out of the table and the lists and deletes it.
    void Release(Slot* slot);

    std::array<Slot*, slot_count> table{};
    // Every slot in the table, in creation order.
    std::list<Slot*> slots;
    // While the controller's loss is being handled: the slots that end later, deleted unfinished.
    std::list<Slot*> pending;

    struct ResourceReport;
    // The reports still waiting for a factory's part, the one being filled in included.
    std::list<std::unique_ptr<ResourceReport>> reports;
    ResourceReport* filling = nullptr;
};
