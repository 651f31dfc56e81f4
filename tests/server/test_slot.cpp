#include "test_slot.h"

namespace servertest {

std::vector<std::string> TestSlot::calls;

TestFactory* TestFactory::instance()
{
    static TestFactory factory;
    return &factory;
}

Slot* TestFactory::INewSlot(const LGCP::CreateParams& params)
{
    if (const LGCP::ExtParams* ext = params.get_ext())
        return new TestSlot("x", ext->get_transmitter().getValue(), ext->get_receiver().getValue());
    if (const LGCP::EchoParams* echo = params.get_echo())
        return new PostponedSlot(static_cast<unsigned>(echo->get_channel().getValue()));
    return nullptr;
}

void TestFactory::Query(LGCP::Resources& resources) { resources.set_modem(resources.get_modem().getValue() + 1); }

void TestFactory::SelfSignal(const LGCP::Signal& signal)
{
    const ACP::TrunkStatus* status = signal.get_trunkStatus();
    for (Slot* slot : slots)
        slot->OnTrunkStatus(static_cast<unsigned>(status->get_trunk().getValue()),
                            static_cast<ACP::TrunkState::NamedNumber>(status->get_state().getValue()));
}

}  // namespace servertest
