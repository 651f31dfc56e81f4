#pragma once

// The one owner of the tone device "/dev/dtmf": it issues every request of the tone receivers and
// reads the driver's 16-byte event records, handing each to the receiver of its time slot whose
// DTMF detector was enabled under the record's event id.

#include "foundation/reactor/event.h"
#include "foundation/util/process_wide.h"
#include "hardware/tonec_driver.h"
#include "hardware/tonec_receiver.h"

#include <cstdint>

namespace Hardware {

class TonecReceiverService {
public:
    // Built, and the device opened, on first use (see ProcessWide).
    static TonecReceiverService* instance();

    // Opens the device when it is closed; a failure is logged and leaves the service closed.
    void init();

    // These two try to open a closed device first; every other request of a closed service fails
    // at the driver and is logged as such.
    bool configureDTMF(unsigned ts, const LGCP::DTMFParams& params);
    bool configureIVA(TonecReceiver& receiver, const LGCP::IVAParams& params);

    // Each enable carries a fresh event id; switching to the state the receiver is in issues nothing.
    bool enableDTMF(TonecReceiver& receiver, bool on);
    bool echoCancel(unsigned ts, bool on);
    bool enableDTMFReject(unsigned ts, bool on);
    bool enableToneGenerator(unsigned ts, int freq1, int freq2, int level1, int level2);
    bool enableIVA(TonecReceiver& receiver, bool on);
    void translateSelcal(TonecReceiver& receiver, const TERM::SelcalCommand& command);

    // Reads and dispatches every record the driver has.
    void OnEvent(int fd, short revents);

private:
    friend class ProcessWide<TonecReceiverService>;

    TonecReceiverService();
    TonecReceiverService(const TonecReceiverService&) = delete;
    TonecReceiverService& operator=(const TonecReceiverService&) = delete;

    bool is_open() const { return static_cast<bool>(m_event.fd()); }
    bool switch_by_value(uint32_t code, const char* request, const char* variant, unsigned ts);
    void dispatch(const uint8_t* record);

    Event m_event;
    EventIdCounter counter_;
};

}  // namespace Hardware
