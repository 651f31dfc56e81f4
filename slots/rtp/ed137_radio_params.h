#pragma once

// The settings of an ED-137 radio that the controller gives with the radio's creation: whether the
// slot's RTP input follows the commanded squelch, the signalling time, the keep-alive period and
// multiplier of the supervision, the radio type and its transmit/receive mode.

#include "asn1/modules/TERM.h"

#include <cstdint>

namespace RTPSignalling {

struct ED137RadioParams {
    uint32_t gate = 0;
    uint32_t sigtime = 1;
    uint32_t keepAlivePeriod = 200;  // milliseconds
    uint32_t keepAliveMultiplier = 10;
    uint32_t radioType = TERM::ED137RadioType::radio_txrx;
    uint32_t txRxMode = TERM::ED137RadioTxRxMode::txrx;

    // Takes the type and mode, and each optional setting that is present.
    void Init(const TERM::ED137RadioResponse& response);
};

}  // namespace RTPSignalling
