#pragma once

// Slot types for the tests of the slot core. TestSlot answers its stream and hardware hooks as
// the test scripts them and records every hook call, so that no test touches the TDM switch.
// PostponedSlot ends some milliseconds after its destroy began, as a slot waiting for a child
// process does, or at once from inside IBeforeDestroy. TestFactory makes TestSlots for the create
// alternative `ext` and PostponedSlots for `echo`.

#include "server_harness.h"

#include "server/slot.h"
#include "server/slot_factory.h"
#include "server/slots.h"

#include "foundation/reactor/timer.h"

namespace servertest {

class TestSlot : public Slot {
public:
    TestSlot(std::string name, int transmit, int receive) : name(std::move(name)), transmit(transmit), receive(receive)
    {
    }

    // "<slot> <hook> [<other slot>]" for every hook called, in order, over all test slots.
    inline static Strings calls;

    const char* GetName() const override { return name.c_str(); }
    int GetConnectionPriority() override { return priority; }
    bool IHwConnectTransmitter(Slot& destination) override { return route("connect-transmitter", destination); }
    bool IHwConnectReceiver(Slot& source) override { return route("connect-receiver", source); }
    bool IHwDisconnectTransmitter(Slot& destination) override { return route("disconnect-transmitter", destination); }
    bool IHwDisconnectReceiver(Slot& source) override { return route("disconnect-receiver", source); }
    bool IOnOutputStream() override { return record("output-stream", output); }
    bool IOnInputStream() override { return record("input-stream", input); }
    void IOnOutputRelease() override { record("output-release", true); }
    void IOnInputRelease() override { record("input-release", true); }
    int IGetTransmitChannel() override { return transmit; }
    int IGetReceiveChannel() override { return receive; }
    // Recorded with their parameters, then answered as a slot type that takes none of them.
    bool IActivate(const TERM::TermActivateParams& params) override
    {
        return record("activate " + collapse(params), accept_requests || Slot::IActivate(params));
    }
    bool IUserData(const std::vector<char>& data) override
    {
        return record("user-data " + std::string(data.begin(), data.end()), accept_requests || Slot::IUserData(data));
    }
    bool Ioctl(const LGCP::IoctlParams& params) override
    {
        return record("ioctl " + collapse(params), accept_requests || Slot::Ioctl(params));
    }
    void OnTrunkStatus(unsigned int trunk, const ACP::TrunkState::NamedNumber&) override
    {
        record("trunk-status " + std::to_string(trunk), true);
    }

    std::string name;
    int transmit;
    int receive;
    int priority = 0;
    // The answers of IOnOutputStream and IOnInputStream.
    bool output = true;
    bool input = true;
    // The next this many hardware hooks of this slot fail.
    int refuse = 0;
    // Activate, userData and ioctl succeed.
    bool accept_requests = false;

private:
    static std::string collapse(const ASN1::AbstractData& value) { return testsupport::collapse(value.asValueNotation()); }
    bool record(const std::string& hook, bool result)
    {
        calls.push_back(name + " " + hook);
        return result;
    }
    bool route(const std::string& hook, Slot& other)
    {
        record(hook + " " + other.GetName(), true);
        if (refuse == 0)
            return true;
        --refuse;
        return false;
    }
};

class PostponedSlot : public TestSlot {
public:
    explicit PostponedSlot(unsigned delay_ms) : TestSlot("postponed", -1, -1), delay_ms(delay_ms) {}

    // The end is armed on the slot's own timer, which goes with the slot; without a delay the
    // slot ends from inside this hook.
    bool IBeforeDestroy() override
    {
        delay_ms ? end.set(delay_ms, &PostponedSlot::on_release, static_cast<Slot*>(this)) : on_release();
        return false;
    }

    unsigned delay_ms;
    Timer end;
};

// ext { transmitter t, receiver r }: a TestSlot "x"; echo { bus 0, channel ms }: a PostponedSlot
// ending ms after its destroy began. The query counts one modem; every slot hears trunk status.
class TestFactory : public SlotFactory {
public:
    // The one factory of the test program; it stays on the factory list.
    static TestFactory* instance()
    {
        static TestFactory factory;
        return &factory;
    }

    const char* GetName() const override { return "Test"; }
    Slot* INewSlot(const LGCP::CreateParams& params) override
    {
        if (const LGCP::ExtParams* ext = params.get_ext())
            return new TestSlot("x", ext->get_transmitter().getValue(), ext->get_receiver().getValue());
        if (const LGCP::EchoParams* echo = params.get_echo())
            return new PostponedSlot(static_cast<unsigned>(echo->get_channel().getValue()));
        return nullptr;
    }
    void Query(LGCP::Resources& resources) override { resources.set_modem(resources.get_modem().getValue() + 1); }
    void SelfSignal(const LGCP::Signal& signal) override
    {
        const ACP::TrunkStatus* status = signal.get_trunkStatus();
        for (Slot* slot : slots)
            slot->OnTrunkStatus(static_cast<unsigned>(status->get_trunk().getValue()),
                                static_cast<ACP::TrunkState::NamedNumber>(status->get_state().getValue()));
    }

    size_t size() const { return slots.size(); }
};

// The slot service behind a control server with a controller, one for the whole test program:
// the controller's loss blocks for a second. Each test leaves the slot table empty.
inline ServerHarness& slot_service()
{
    TestFactory::instance();
    // Never deleted, so that no loss is handled at the end.
    static ServerHarness* harness = new ServerHarness{Slots::instance()};
    return *harness;
}

}  // namespace servertest
