#include "signalling/slots/trunk_status_factory.h"

#include "asn1/modules/LGCP.h"
#include "server/slot.h"

void TrunkStatusFactory::SelfSignal(const LGCP::Signal& signal)
{
    const ACP::TrunkStatus* status = signal.get_trunkStatus();
    if (!status)
        return;
    for (Slot* slot : slots)
        slot->OnTrunkStatus(unsigned(status->get_trunk().getValue()), ACP::TrunkState::NamedNumber(status->get_state().getValue()));
}
