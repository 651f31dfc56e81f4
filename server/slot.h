#pragma once

// The base of every termination the controller can create. A slot receives from at most one
// source slot and feeds any number of listener slots; every such edge is backed by a route
// through the TDM switch unless a slot type routes it itself (the hardware hooks below, see
// server/slot_connection.h). A slot reports to the controller through the signal senders, which
// address the signal with the slot's number; the event translators turn the tone, DSP and RTP
// driver events of the media slots into those signals.
//
// The slot service owns every slot; factories and the graph hold plain pointers.

#include "asn1/modules/LGCP.h"

#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

class SlotFactory;

class Slot {
public:
    // The number of a slot that the slot service has not entered in its table.
    static constexpr unsigned no_id = ~0u;

    // Whether a destroy command waits for the slot's end, and whether it carried a sequence number.
    enum class DelayedAnswer { none, without_seq, with_seq };

    Slot() = default;
    // Frees only the slot's own list; the graph must already be clear of it.
    virtual ~Slot() = default;
    Slot(const Slot&) = delete;
    Slot& operator=(const Slot&) = delete;

    // Trunk and time slot the slot stands for; -1 when it is not a trunk slot.
    virtual int GetTrunk() { return -1; }
    virtual int GetTrunkTimeSlot() { return -1; }
    virtual void OnTrunkStatus(unsigned int, const ACP::TrunkState::NamedNumber&) {}
    // Called once the slot has its number and the create is answered.
    virtual void IAfterCreate() {}
    // False: the slot ends later and then calls on_release() (from inside this hook too, when it
    // finds it can end at once); it must also cancel that pending end in its destructor, since
    // the slot service deletes it unfinished on controller loss.
    virtual bool IBeforeDestroy() { return true; }
    // False for what the slot type does not support, or not in its present state (answered
    // unsupported). A slot that takes the command but cannot carry it out answers true after
    // RefuseCommand.
    virtual bool IActivate(const TERM::TermActivateParams&) { return false; }
    virtual bool IDeactivate() { return false; }
    virtual bool IUserData(const std::vector<char>&) { return false; }
    virtual bool Ioctl(const LGCP::IoctlParams&) { return false; }
    // The side with the higher priority makes and removes the hardware route of an edge.
    virtual int GetConnectionPriority() { return 0; }
    virtual bool IHwConnectTransmitter(Slot& destination);
    virtual bool IHwConnectReceiver(Slot& source);
    virtual bool IHwDisconnectTransmitter(Slot& destination);
    virtual bool IHwDisconnectReceiver(Slot& source);
    // Open the transmit (receive) stream for a first listener (a source); false when there is none.
    virtual bool IOnOutputStream() { return false; }
    virtual bool IOnInputStream() { return false; }
    // The last listener (the source) has gone.
    virtual void IOnOutputRelease() {}
    virtual void IOnInputRelease() {}
    // The TDM channels the switch connects; -1 for none.
    virtual int IGetTransmitChannel() { return -1; }
    virtual int IGetReceiveChannel() { return -1; }
    virtual const char* GetName() const = 0;

    // Answers the command the slot is serving with the error: the slot service's success after it
    // is not sent.
    void RefuseCommand(LGCP::ErrorCause::NamedNumber cause);

    // "05:trunk" below 1024, "i1500:trunk" above, "na:trunk" without a number.
    void Put(std::ostream& out) const;

    // Signal senders: the signal goes to the other control services, then to the controller.
    void OnTonecEvent(const LGCP::TonecEvent& event);
    void OnNumber(const std::string& number);
    void OnModem(const TERM::ModemProceeding& proceeding);
    void OnModem(const TERM::ModemInformation& information);
    void OnActivated();
    void OnDeactivated();
    void OnAbort(int code);
    void OnUserData(const std::vector<char>& data);
    void OnIoctlResponse(const LGCP::IoctlResponse& response);
    void OnRtpRadioEvent(const TERM::RtpRadioRequest& request);
    void OnVADEvent(const LGCP::VADEvent& event);
    void OnProtoLemzEvent(const LEMZGW::ProtoLemzPackets& packets);
    void OnSDEvent(const LGCP::SDEvent& event);
    void OnRtpEvent(const LGCP::RtpEvent& event);

    // Stream state as last reported in a "receiver" ("transmitter") signal. Closing the input
    // takes the slot off its source; closing the output disconnects every listener.
    void OnChangeInputStream(bool open);
    void OnChangeOutputStream(bool open);

    // Event translators, given the fields of the driver records. Bad values are logged and dropped.
    // Tone detector: DTMF digits, fax tones (17 ced, 18 cng) and IVA codes (code >> 8).
    void processTonecEvent(uint32_t code, uint32_t timestamp);
    void processToneGenEvent();
    void processToneFltEvent(uint32_t frequency, uint8_t presence);
    // Negative values are directions the event does not report.
    void processVADEvent(int32_t rx, int32_t tx);
    void processSDEvent(int32_t rx);
    // Bits 29 (receive VAD), 30 (transmit VAD) and 31 (SELCAL in progress) where the mask reports them.
    void processFlagsEvent(uint32_t flags, uint32_t mask);
    void processBSSEvent(float score);
    // Only type 1, a PD event, is reported.
    void processRtpEvent(uint32_t type, int32_t value, int32_t timeout);

    // The logical edge alone; the listener list stays sorted and free of duplicates.
    void LogicalConnect(Slot& source);
    void LogicalDisconnect();

    // Leaves the factory when the slot may be deleted now; false when it ends later.
    bool BeforeDestroy();
    // Called by a slot type once its postponed end is complete; does nothing unless a destroy waits.
    void on_release();

    Slot* GetSource() const { return source; }
    const std::vector<Slot*>& GetListeners() const { return listeners; }
    bool IsInputOpen() const { return inputStream; }
    bool IsOutputOpen() const { return outputStream; }

    // Set by the slot service when it enters the slot in its table.
    unsigned id = no_id;
    // Set by the factory that made the slot.
    SlotFactory* factory = nullptr;
    // Set once a destroy has begun; never cleared.
    bool destroying = false;
    // Set while the slot service asks IBeforeDestroy: an on_release() from inside the hook only
    // clears it, and the service ends the slot once the hook has returned.
    bool deciding = false;
    // The answer a postponed destroy command waits for.
    unsigned delayedSeq = 0;
    DelayedAnswer delayedAnswer = DelayedAnswer::none;

private:
    void SendSignal(const LGCP::Signal& signal);

    std::vector<Slot*> listeners;
    Slot* source = nullptr;
    bool inputStream = false;
    bool outputStream = false;
};

std::ostream& operator<<(std::ostream& out, const Slot& slot);
