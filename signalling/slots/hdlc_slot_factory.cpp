#include "signalling/slots/hdlc_slot_factory.h"

#include "signalling/slots/hdlc_slot.h"

#include "asn1/modules/LGCP.h"
#include "server/trace_ctl.h"

#include <iostream>

HdlcSlotFactory* HdlcSlotFactory::instance()
{
    static HdlcSlotFactory factory;
    return &factory;
}

Slot* HdlcSlotFactory::INewSlot(const LGCP::CreateParams& params)
{
    if (traces.hdlc)
        std::clog << std::endl << "HdlcSlotFactory.INewSlot" << std::endl << std::endl;
    const LGCP::HdlcParams* hdlc = params.get_hdlcParams();
    return hdlc ? new HdlcSlot(*hdlc) : nullptr;
}
