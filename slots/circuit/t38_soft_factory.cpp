#include "slots/circuit/t38_soft_factory.h"

#include "slots/circuit/t38_instance_count.h"
#include "slots/circuit/t38_soft_slot.h"

#include "server/slots.h"

#include "asn1/modules/LGCP.h"
#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "foundation/util/ext_header.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <iostream>
#include <memory>

namespace {

constexpr const char* device = "/dev/mcc/ctl";
constexpr uint32_t allocate_code = 0x40144D00;
constexpr uint32_t timeslot_code = 0x20004D02;
constexpr uint32_t transparent = 2;
// After the program: "--child", "--remote", the addresses and at most 27 of the controller's
// arguments, the board's vector of 32 entries with its terminating null.
constexpr size_t max_arguments = 30;

}  // namespace

T38SoftFactory* T38SoftFactory::instance()
{
    static T38SoftFactory factory;
    return &factory;
}

T38SoftFactory::T38SoftFactory() = default;

T38SoftFactory::~T38SoftFactory() = default;

void T38SoftFactory::PutHeader(std::ostream& out) const { out << "t38soft: "; }

Slot* T38SoftFactory::INewSlot(const LGCP::CreateParams& params)
{
    const LGCP::T38Soft* t38 = params.get_t38soft();
    if (!t38)
        return nullptr;
    auto fail = [this](const char* what) {
        std::cerr << ext::header(this) << "T38SoftFactory::INewSlot - FAIL to " << what << " [" << errno << "]"
                  << std::endl;
    };
    Fd channel = Device::open(device, O_RDWR);
    if (!channel) {
        fail("open </dev/mcc/ctl>");
        return nullptr;
    }
    std::array<uint8_t, 20> record{};
    BigEndian::put_u32(record.data(), 0, transparent);
    BigEndian::put_i32(record.data(), 4, t38->get_rx_packet_size().getValue());
    BigEndian::put_i32(record.data(), 12, t38->get_rx_threshold().getValue());
    BigEndian::put_i32(record.data(), 16, t38->get_tx_threshold().getValue());
    int timeslot = -1;
    std::unique_ptr<T38SoftSlot> slot;
    if (Device::request_in(channel, allocate_code, record) < 0) {
        fail("ioctl MCC_ALLOCATE");
    } else if ((timeslot = Device::request(channel, timeslot_code)) < 0) {
        fail("ioctl MCC_TIMESLOT");
    } else {
        const TERM::HostAddress& remote = t38->get_dhost();
        std::vector<std::string> arguments{"--child", "--remote",
                                           remote.get_iaddr().getValue() + '/' +
                                               std::to_string(remote.get_port().getValue()) + '/' +
                                               std::to_string(t38->get_shost().get_port().getValue())};
        for (const ASN1::IA5String& argument : t38->get_args()) {
            if (arguments.size() == max_arguments)
                break;
            arguments.push_back(argument.getValue());
        }
        std::clog << ext::header(this) << "args for run t38 daemon:" << std::endl;
        std::clog << ext::header(this) << "arg[0]=" << T38SoftSlot::program << std::endl;
        for (size_t n = 0; n < arguments.size(); ++n)
            std::clog << ext::header(this) << "arg[" << n + 1 << "]=" << arguments[n] << std::endl;
        slot = std::make_unique<T38SoftSlot>(timeslot);
        int pid = slot->Run(channel, arguments);
        if (pid < 0)
            slot.reset();
        else
            std::clog << ext::header(this) << "t38 daemon[" << pid << "] successfully started" << std::endl;
    }
    // The program keeps its own descriptor of the channel.
    channel.close();
    return slot.release();
}

void T38SoftFactory::Query(LGCP::Resources&)
{
    // The count comes from a program: the report waits for it.
    LGCP::Resources* report = Slots::instance()->HoldResourceReport();
    if (!report)
        return;
    QueryNumOfInstances([report](int count) {
        report->set_t38_instances(count);
        Slots::instance()->ReleaseResourceReport(report);
    });
}

void T38SoftFactory::QueryNumOfInstances(std::function<void(int)> counted)
{
    T38InstanceCount* run = counts.emplace_back(std::make_unique<T38InstanceCount>()).get();
    run->Start([this, run, counted](int count) {
        counts.remove_if([run](const std::unique_ptr<T38InstanceCount>& held) { return held.get() == run; });
        counted(count);
    });
}
