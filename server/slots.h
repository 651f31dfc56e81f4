#pragma once

// The slot service: the control service that owns the slots and executes the controller's slot
// commands (create, destroy, connect, disconnect, activate, deactivate, user data and ioctl on
// the slot a message names), answers the resource query, passes trunk status on to the slot
// factories and, on controller loss, destroys every slot.
//
// No slot type is built yet: no factory makes a slot, so a create finds no taker and every other
// slot command finds no slot.

#include "server/ctrl_service.h"

class Slots : public CtrlSrv::Service {
public:
    static constexpr unsigned slot_count = 1024;

    static Slots* instance();

    void OnConnect() override {}
    // Every slot goes; the whole process then blocks for one second, with or without slots.
    void OnDisconnect() override;
    // With a slot number the slot commands, without one the resource query.
    bool OnCommand(const LGCP::Command& command) override;
    // Trunk status goes to every factory.
    void OnSignal(const LGCP::Signal& signal) override;

    // The hardware-resource report, sent as the signal "query".
    void UpdateHardwareResources();
    static bool CheckSlot(unsigned n) { return n < slot_count; }

private:
    Slots() = default;

    bool OnBaseCommand(const LGCP::Command& command);
    bool OnSlotCommand(const LGCP::Command& command);
    void CmdQuery();
    void CmdConnect(unsigned n);
};
