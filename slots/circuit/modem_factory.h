#pragma once

// The factory of the modem slots ("Modem", create alternative `modem`), made by start-up. A create
// that asks for digital data modes gets a digital modem on a free generic-HDLC interface when one
// is left, any other a DSP modem. For the resource report it counts the DSP modems of
// "/dev/mctl" and the point-to-point interfaces "hdlc<n>" that no live digital modem holds.
//
// It also runs the authentication server of portslave: it listens on 127.0.0.1 port 52000, keeps
// one AuthClient per connection (a few dozen at most), hands the records they read to the modem slot of the record's
// modem id and sends the slots' records to the connection of their modem id.

#include "server/slot_factory.h"

#include "foundation/os/fd.h"
#include "foundation/reactor/event.h"
#include "foundation/reactor/timer.h"
#include "foundation/util/accept_pause.h"

#include <iosfwd>
#include <list>
#include <string>

class attr;
class AuthClient;
class DspModemSlot;
class HdlcModemSlot;
class ModemSlot;

class ModemFactory : public SlotFactory {
public:
    static ModemFactory* instance();

    const char* GetName() const override { return "Modem"; }
    Slot* INewSlot(const LGCP::CreateParams& params) override;
    // Scans again and reports `modem` and `digital-modems`.
    void Query(LGCP::Resources& resources) override;

    // A slot is gone; a second call for the same slot changes nothing.
    void ReleaseModemSlot(DspModemSlot* slot);
    // Also puts the slot's interface back, at the end of the list.
    void ReleaseModemSlot(HdlcModemSlot* slot);
    // The first live modem slot that has started, in creation order, with the modem id; null
    // when none has it.
    ModemSlot* FindModemByDsp(int id) const;

    // Opens the listening socket; false after logging why.
    bool Init();
    void OnSocketEvent(int fd, short revents);
    // A whole record of a connection, at least its header.
    void OnAuth(const attr* record);
    // Sends the record to the first connection whose last record carried its modem id; false when
    // there is none or the connection failed.
    bool SendAuth(const attr* record);
    // A closed connection: deleted here.
    void OnAuthSocketDisconnect(AuthClient* client);

    // "modem[<DSP modems>,<live modem slots>]: "
    void PutHeader(std::ostream& out) const;

private:
    ModemFactory();
    ~ModemFactory() override;

    void EnumerateModems();
    void ScanInterfaces();
    bool Held(const std::string& interface) const;
    // After an error of the listening socket: opens it again, else tries later.
    void Reopen();

    std::list<DspModemSlot*> dspSlots;
    std::list<HdlcModemSlot*> hdlcSlots;
    std::list<ModemSlot*> modemSlots;  // all of them, in creation order
    int dspModems = 0;

    Fd authSocket;
    Event authEvent;
    AcceptPause acceptPause;
    Timer reopenTimer;
    std::list<AuthClient*> clients;  // in order of connection

    std::list<std::string> interfaces;  // free for digital modems, the front taken first
};
