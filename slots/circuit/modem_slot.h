#pragma once

// The base of the modem slots: a data call that arrives on a TDM channel and is handed to pppd
// (or, for a DSP modem, to a fax program). The slot owns that child program and its stop: a
// destroy sends it SIGHUP and waits for its end, at most 5000 ms, before SIGKILL. It also carries
// the call's side of the dialogue with portslave: the caller's credentials and the accounting
// become modemProceeding signals, and the activation sends portslave the acceptance and the IP
// parameters of the call. Records are matched to the slot by its modem_id().

#include "slots/circuit/child_program.h"

#include "server/slot.h"

#include "asn1/modules/TERM.h"
#include "foundation/reactor/timer.h"

#include <iosfwd>

class attr;
class voauth;
class voacct;

class ModemSlot : public Slot {
public:
    explicit ModemSlot(const TERM::ModemParams& params);

    const char* GetName() const override { return "generic-modem"; }
    // With a child: SIGHUP, and the destroy waits for its end. Without: unbinds, done at once.
    bool IBeforeDestroy() override;
    // Sends portslave the acceptance and the IP parameters of the call; false for other
    // parameters, a modem not started, an address that is not dotted IPv4, or no connection that
    // took both records.
    bool IActivate(const TERM::TermActivateParams& params) override;
    // Whichever stream comes first starts the modem; the slot has both streams once it started.
    bool IOnOutputStream() override;
    bool IOnInputStream() override;

    // The modem id of the call in portslave's records.
    virtual int modem_id() const = 0;
    // Tells the factory the slot is gone; may be called again.
    virtual void unbind() = 0;
    // Starts the modem and its call, as far as the slot's kind and state allow; whether the modem
    // has started (it has its channel).
    virtual bool InitModem() = 0;
    // Until then, the slot has no call: portslave's records are not for it.
    virtual bool started() const = 0;

    // Starts pppd on the device with the options file, unless a child runs.
    void pppd_exec(const char* device, const char* options);
    // SIGKILL, once, to a child that runs; it stays recorded until its end is reported.
    void pppd_kill();

    // A record of portslave for this slot's modem id.
    void OnAuth(const attr* record);
    void OnAuthRequest(const voauth* request);
    void OnAcctInformation(const voacct* accounting);

    // The slot's own header, then ": ".
    void PutHeader(std::ostream& out) const;

protected:
    // Starts the slot's child program (ChildProgram::Start); -1 after logging a failed start and
    // aborting with its errno.
    int StartChild(const std::string& program, const std::vector<std::string>& arguments,
                   const std::function<void()>& before_exec = {}, const std::string& exec_failed = {});
    // The child's end outside a destroy aborts with its wait status; during one it lets the
    // waiting destroy complete.
    void OnChildEnd(int status);

    // What the slot was created with.
    TERM::ModemParams params;
    ChildProgram child;

private:
    void on_pppd_terminate(int status);
    void on_stop_timeout();

    Timer stopTimer;
    int killed = -1;  // the child that was sent SIGKILL
};
