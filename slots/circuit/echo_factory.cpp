#include "slots/circuit/echo_factory.h"

#include "slots/circuit/echo_slot.h"

#include "asn1/modules/LGCP.h"

#include <iostream>

EchoFactory* EchoFactory::instance()
{
    static EchoFactory factory;
    return &factory;
}

void EchoFactory::Scan()
{
    present.fill(false);
    std::clog << "Scanning echo channels ..." << std::endl;
}

Slot* EchoFactory::INewSlot(const LGCP::CreateParams& params)
{
    const LGCP::EchoParams* echo = params.get_echo();
    if (!echo)
        return nullptr;
    auto bus = static_cast<unsigned>(echo->get_bus().getValue());
    if (bus >= buses || !present[bus]) {
        std::cerr << "echo-slot: no echo bus " << echo->get_bus().getValue() << std::endl;
        return nullptr;
    }
    return new EchoSlot(bus * 32 + static_cast<unsigned>(echo->get_channel().getValue()));
}

void EchoFactory::Query(LGCP::Resources& resources)
{
    for (unsigned bus = 0; bus < buses; ++bus)
        if (present[bus])
            resources.get_echoBus().push_back(ASN1::INTEGER(static_cast<int>(bus)));
}
