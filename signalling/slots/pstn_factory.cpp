#include "signalling/slots/pstn_factory.h"

#include "signalling/slots/pstn_slot.h"

#include "asn1/modules/LGCP.h"

PstnFactory* PstnFactory::instance()
{
    static PstnFactory factory;
    return &factory;
}

Slot* PstnFactory::INewSlot(const LGCP::CreateParams& params)
{
    const LGCP::PstnParams* pstn = params.get_pstn();
    return pstn ? new PstnSlot(*pstn) : nullptr;
}

void PstnFactory::SelfSignal(const LGCP::Signal& signal)
{
    const ACP::TrunkStatus* status = signal.get_trunkStatus();
    if (status && status->get_type().getValue() == ACP::TrunkType::e1)
        TrunkStatusFactory::SelfSignal(signal);
}
