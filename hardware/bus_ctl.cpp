#include "hardware/bus_ctl.h"

#include "hardware/spi_ctrl.h"

#include "asn1/runtime/value_notation_writer.h"
#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "foundation/util/ext_header.h"

#include <array>
#include <fcntl.h>
#include <iostream>

namespace {

constexpr uint32_t clock_select_code = 0x80044301;  // HW_CLOCK_SELECT {source}

constexpr int freerun = 4;
// What an external clock without the backplane's asks for.
constexpr int external_without_backplane = 5;

const char* const source_names[] = {"f0", "f1", "f2", "f3", "freerun", "X3", "?1", "?2"};
constexpr int source_name_count = sizeof source_names / sizeof source_names[0];

bool external(const LGCP::ClockCfg& cfg) { return cfg.get_clkSel0().getValue() == LGCP::ClkSel0::external; }

bool backplane(const LGCP::ClockCfg& cfg) { return cfg.get_bextEn().getValue() == LGCP::BExtEn::enabled; }

}  // namespace

BusCtl* BusCtl::instance()
{
    static BusCtl service;
    return &service;
}

BusCtl::BusCtl(spiCtrl* spi) : spi_(spi) {}

BusCtl::~BusCtl() { fd_.close(); }

spiCtrl& BusCtl::spi() { return spi_ ? *spi_ : *spiCtrl::instance(); }

void BusCtl::DisableControl()
{
    std::clog << ext::header(this) << "clock control disabled." << std::endl;
    enabled_ = false;
}

void BusCtl::OnConnect()
{
    if (enabled_)
        SetDefaultClock();
}

void BusCtl::OnDisconnect()
{
    if (enabled_)
        SetDefaultClock();
}

bool BusCtl::OnCommand(const LGCP::Command& command)
{
    const LGCP::ClockCfg* cfg = command.get_clockCfg();
    if (!cfg)
        return false;
    if (!enabled_)
        Error(LGCP::ErrorCause::unsupported);
    else if (external(*cfg) && backplane(*cfg) && cfg->get_source().getValue() < 0)
        Error(LGCP::ErrorCause::invalidParams);  // it names no source
    else if (SetClockSrc(*cfg))
        Success();
    else
        Error(LGCP::ErrorCause::internal);
    return true;
}

void BusCtl::SetDefaultClock()
{
    LGCP::ClockCfg cfg;
    cfg.set_clkSel0(LGCP::ClkSel0::internal);
    cfg.set_bextEn(LGCP::BExtEn::disabled);
    cfg.set_source(-1);
    SetClockSrc(cfg);
}

bool BusCtl::SetClockSrc(const LGCP::ClockCfg& cfg)
{
    if (!IsOpen()) {
        // Without the clock select no BRI chip may drive the clock either.
        spi().clock(-1);
        std::cerr << ext::header(this) << "set clock source fail: code 1." << std::endl;
        return false;
    }
    std::cerr << ext::header(this) << "set clock source cmd: " << cfg << std::endl;
    if (!external(cfg))
        return DrvSetClkSrc(freerun);
    if (!backplane(cfg))
        return DrvSetClkSrc(external_without_backplane);
    int source = cfg.get_source().getValue();
    return source >= 0 && DrvSetClkSrc(source);
}

bool BusCtl::DrvSetClkSrc(int source)
{
    std::array<uint8_t, 4> record;
    BigEndian::put_i32(record.data(), 0, source);
    if (Device::request_in(fd_, clock_select_code, record) < 0) {
        std::cerr << ext::header(this) << "HW_CLOCK_SELECT fail." << std::endl;
        return false;
    }
    std::cerr << ext::header(this) << "clock source = ";
    if (source < source_name_count)
        std::cerr << source_names[source] << std::endl;
    else
        std::cerr << source << std::endl;
    return true;
}

bool BusCtl::IsOpen()
{
    if (fd_)
        return true;
    if (!enabled_)
        return false;
    fd_ = Device::open("/dev/hal", O_RDWR);
    return static_cast<bool>(fd_);
}

void BusCtl::PutHeader(std::ostream& out) const { out << "clkctl: "; }
