#include "signalling/slots/ats_qsig_b_slot.h"

#include "signalling/slots/ats_qsig_slot.h"
#include "signalling/slots/isdn_factory.h"

#include "foundation/util/ext_header.h"

#include <iostream>

AtsQsigBSlot::AtsQsigBSlot(uint32_t parent, uint64_t parent_serial, uint32_t index, int channel)
    : parent(parent), index(index), channel(channel), parent_serial_(parent_serial)
{
}

bool AtsQsigBSlot::IBeforeDestroy()
{
    auto* qsig = dynamic_cast<AtsQsigSlot*>(IsdnFactory::instance()->FindSlot(parent));
    if (qsig && qsig->serial == parent_serial_)
        qsig->RemoveBChannel(index, channel);
    else
        std::clog << ext::header(this) << "Can't find signalling slot" << std::endl;
    return true;
}
