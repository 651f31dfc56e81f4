#include "slots/circuit/ext_factory.h"

#include "slots/circuit/ext_slot.h"

#include "asn1/modules/LGCP.h"
#include "board/hw_mux.h"

#include <climits>
#include <iostream>

ExtFactory* ExtFactory::instance()
{
    static ExtFactory factory;
    return &factory;
}

Slot* ExtFactory::INewSlot(const LGCP::CreateParams& params)
{
    const LGCP::ExtParams* ext = params.get_ext();
    if (!ext)
        return nullptr;
    int transmitter = ext->get_transmitter().getValue();
    int receiver = ext->get_receiver().getValue();
    if (receiver < 0 || receiver >= HwMux::output_count || transmitter > INT_MAX - HwMux::first_output) {
        std::cerr << "ext-slot: no switch channel for transmitter " << transmitter << ", receiver " << receiver
                  << std::endl;
        return nullptr;
    }
    return new ExtSlot(transmitter + HwMux::first_output, receiver + HwMux::first_output);
}
