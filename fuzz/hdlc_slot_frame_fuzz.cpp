// Fuzz target: the raw HDLC slot, fed frames from its channel between packages from the controller
// and flush timer expiries on a frozen clock. Records: a length octet below 0xFE and that many
// octets of frame; 0xFE, a count and that many octets of package body; 0xFF 100 ms on the clock,
// with whatever falls due.

#include "quiet_logs.h"
#include "signalling/slots/hdlc_slot.h"
#include "support/frozen_clock.h"

#include <algorithm>

// The slot's reports find no controller and say so on the error stream.
extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::quiet_logs();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    testsupport::FrozenClock clock;
    LGCP::HdlcParams params;
    params.set_trunk(1);
    params.set_log(0);
    params.set_address(0x0102);
    HdlcSlot slot(params);
    for (size_t at = 0; at < size;) {
        const unsigned kind = data[at++];
        if (kind == 0xFF) {
            clock.advance(100);
            continue;
        }
        const size_t n = kind == 0xFE && at < size ? data[at++] : kind;
        const size_t end = std::min(size, at + n);
        if (kind == 0xFE) {
            LGCP::IoctlParams ioctl;
            auto* package = new LGCP::HdlcPackage;
            package->get_body().getValue().assign(data + at, data + end);
            ioctl.select_hdlcPackages().append(package);
            slot.Ioctl(ioctl);
        } else {
            Packet frame;
            frame.reserve_head(0);
            frame.put(data + at, unsigned(end - at));
            slot.on_hdlc_receive(frame);
        }
        at = end;
    }
    return 0;
}
