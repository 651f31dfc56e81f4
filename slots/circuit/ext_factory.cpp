#include "slots/circuit/ext_factory.h"

#include "slots/circuit/ext_slot.h"

#include "asn1/modules/LGCP.h"
#include "board/hw_mux.h"

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
    // The receive channel must be an output of the switch, the transmit channel any channel of it.
    long long tx = static_cast<long long>(transmitter) + HwMux::first_output;
    if (receiver < 0 || receiver >= HwMux::output_count || tx < 0 || tx >= HwMux::channel_count) {
        std::cerr << "ext-slot: no switch channel for transmitter " << transmitter << ", receiver " << receiver
                  << std::endl;
        return nullptr;
    }
    return new ExtSlot(static_cast<int>(tx), receiver + HwMux::first_output);
}
