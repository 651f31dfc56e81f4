#pragma once

// The one owner of the voice-processing device "/dev/dsp": it issues every request of the DSP
// receivers and reads the driver's 24-byte event records, handing each to a receiver of its time
// slot: VAD and SD events to the one that enabled the feature under the record's event id, the
// others to the oldest receiver of the time slot.

#include "foundation/reactor/event.h"
#include "foundation/util/process_wide.h"
#include "hardware/dsproc_receiver.h"
#include "hardware/tonec_driver.h"

#include <cstdint>

namespace Hardware {

class DSProcReceiverService {
public:
    // Built, and the device opened, on first use (see ProcessWide).
    static DSProcReceiverService* instance();

    // Opens the device when it is closed; a failure is logged and leaves the service closed.
    void init();

    // The configure operations and disableToneAll try to open a closed device first; the switches
    // of a closed service fail at the driver and are logged as such.
    bool configureVAD(unsigned ts, const LGCP::VADParams& params);
    bool configureSD(unsigned ts);
    bool configureDelays(unsigned ts, unsigned rx, unsigned tx, unsigned selcal);
    bool configureRxGain(unsigned ts, int gain);
    bool configureToneFilter(unsigned ts, unsigned freq, unsigned enable, int duration_ms, int level_dB);
    void disableToneAll(DSProcReceiver& receiver);

    // Each enable carries a fresh event id; switching to a known state the receiver is in issues nothing.
    bool enableVAD(DSProcReceiver& receiver, bool on);
    bool enableBSS(DSProcReceiver& receiver, bool on);
    bool enableNG(DSProcReceiver& receiver, bool on);
    bool enableSelcalSh(DSProcReceiver& receiver, bool on);
    bool enableSD(DSProcReceiver& receiver, bool on);
    bool enableMute(DSProcReceiver& receiver, bool rx, bool tx);

    // Reads and dispatches every record the driver has.
    void OnEvent(int fd, short revents);

private:
    friend class ProcessWide<DSProcReceiverService>;

    DSProcReceiverService();
    DSProcReceiverService(const DSProcReceiverService&) = delete;
    DSProcReceiverService& operator=(const DSProcReceiverService&) = delete;

    bool is_open() const { return static_cast<bool>(m_event.fd()); }
    // Opens a closed device; false, with the operation's line, when it stays closed.
    bool opened(const char* not_opened, unsigned ts);
    // "DSPROC_CONFIGURE" of `what` with its 12 bytes of parameters; a failure is logged.
    bool configure(unsigned ts, uint32_t what, const uint8_t* parameters, const char* failure);
    // Switches a feature of `mask`, named in the log lines by `name`.
    bool switch_feature(DSProcReceiver& receiver, DSProcReceiver::Feature& feature, uint32_t mask, const char* name,
                        bool on);
    void dispatch(const uint8_t* record);

    Event m_event;
    EventIdCounter counter_;
};

}  // namespace Hardware
