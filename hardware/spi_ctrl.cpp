#include "hardware/spi_ctrl.h"

#include "foundation/os/device.h"

#include <cerrno>
#include <fcntl.h>
#include <iostream>

namespace {

constexpr uint32_t read_code = 0xC0034203;   // {chip, register, 0xFF}: the value as the result
constexpr uint32_t write_code = 0xC0034204;  // {chip, register, data}

constexpr unsigned reg_enable = 50;  // 0x80 holds the chip disabled, 0x00 lets it run
constexpr unsigned reg_line_status = 51;
constexpr unsigned reg_clock = 87;  // 0x38 on the clock master, 0x30 on the others

constexpr unsigned chip_disabled = 0x80;
constexpr unsigned chip_enabled = 0x00;
constexpr unsigned clock_slave = 0x30;
constexpr unsigned clock_master = 0x38;

struct RegisterWrite {
    unsigned reg;
    unsigned data;
};
// A chip's set-up, in order, while it is held disabled; it runs once enabled.
constexpr std::array<RegisterWrite, 7> init_sequence{{
    {reg_enable, chip_disabled},
    {48, 0x08},
    {reg_clock, clock_slave},
    {52, 0x60},
    {53, 0x00},
    {54, 0x00},
    {55, 0x00},
}};

constexpr unsigned poll_ms = 1000;

// The line state that register 51 shows: bit 0 carrier present, bit 2 frame alignment, bits 7-6
// 11 a normal line, 10 a remote alarm, anything else alarm indication.
ACP::TrunkState::NamedNumber line_state(unsigned value)
{
    if (!(value & 0x01))
        return ACP::TrunkState::lossCarrier;
    if (!(value & 0x04))
        return ACP::TrunkState::lossBF;
    switch (value & 0xC0) {
    case 0xC0: return ACP::TrunkState::normal;
    case 0x80: return ACP::TrunkState::rai;
    default: return ACP::TrunkState::ais;
    }
}

}  // namespace

spiCtrl* spiCtrl::instance()
{
    static spiCtrl service;
    return &service;
}

spiCtrl::spiCtrl() { init_device_and_channels(); }

spiCtrl::~spiCtrl()
{
    if (!fd_)
        return;
    poll_.reset();
    for (unsigned chip = 0; chip < chip_count; ++chip)
        disable_channel(chip);
    clock(-1);
    fd_.close();
}

void spiCtrl::init_device_and_channels()
{
    if (fd_ || !spi_on_)
        return;
    std::clog << "spi: try init" << std::endl;
    fd_ = Device::open("/dev/hal", O_RDWR);
    if (!fd_) {
        std::clog << "spi: /dev/hal open fail" << std::endl;
        return;
    }
    for (unsigned chip = 0; chip < chip_count; ++chip) {
        init_channel(chip);
        enable_channel(chip);
    }
}

bool spiCtrl::chip_operation(unsigned chip, const char* what)
{
    if (!spi_on_)
        return false;
    if (chip >= chip_count) {
        std::clog << "spi: bad channel for " << what << ' ' << chip << std::endl;
        return false;
    }
    init_device_and_channels();
    return true;
}

void spiCtrl::init_channel(unsigned chip)
{
    if (!chip_operation(chip, "init"))
        return;
    for (const RegisterWrite& step : init_sequence)
        write(chip, step.reg, step.data);
    if (spi_on_)
        std::clog << "spi: init channel " << chip << std::endl;
}

void spiCtrl::enable_channel(unsigned chip)
{
    if (!chip_operation(chip, "enable"))
        return;
    write(chip, reg_enable, chip_enabled);
    if (spi_on_)
        std::clog << "spi: enable channel " << chip << std::endl;
}

void spiCtrl::disable_channel(unsigned chip)
{
    if (!chip_operation(chip, "disable"))
        return;
    write(chip, reg_enable, chip_disabled);
    if (spi_on_)
        std::clog << "spi: disable channel " << chip << std::endl;
}

void spiCtrl::clock(int chip)
{
    if (!spi_on_)
        return;
    if (chip < -1 || chip >= static_cast<int>(chip_count)) {
        std::clog << "spi: bad channel for set clock master " << chip << std::endl;
        return;
    }
    init_device_and_channels();
    for (unsigned each = 0; each < chip_count; ++each)
        write(each, reg_clock, clock_slave);
    if (chip >= 0)
        write(chip, reg_clock, clock_master);
    if (!spi_on_)
        return;
    if (chip < 0)
        std::clog << "spi: clock master disabled" << std::endl;
    else
        std::clog << "spi: set clock master on channel " << chip << std::endl;
}

bool spiCtrl::without_spi(int error)
{
    if (error != ENODEV)
        return false;
    spi_on_ = false;
    poll_.reset();
    std::clog << "spi: hal without spi" << std::endl;
    return true;
}

void spiCtrl::write(unsigned chip, unsigned reg, unsigned data)
{
    if (!fd_ || !spi_on_)
        return;
    std::array<uint8_t, 3> record{static_cast<uint8_t>(chip), static_cast<uint8_t>(reg), static_cast<uint8_t>(data)};
    if (Device::request_in(fd_, write_code, record) >= 0 || without_spi(errno))
        return;
    std::clog << "spi: write error: channel=" << chip << " addr=" << reg << " data=" << data << std::endl;
}

unsigned spiCtrl::read(unsigned chip, unsigned reg)
{
    if (!fd_ || !spi_on_)
        return 0;
    std::array<uint8_t, 3> record{static_cast<uint8_t>(chip), static_cast<uint8_t>(reg), 0xFF};
    int result = Device::request_in(fd_, read_code, record);
    if (result >= 0)
        return static_cast<unsigned>(result) & 0xFF;
    if (!without_spi(errno))
        std::clog << "spi: read error: channel=" << chip << " addr=" << reg << std::endl;
    return 0;
}

void spiCtrl::OnConnect()
{
    if (fd_ && spi_on_)
        poll_.set(poll_ms, &spiCtrl::status, this);
}

void spiCtrl::OnDisconnect() { poll_.reset(); }

void spiCtrl::status()
{
    for (unsigned chip = 0; chip < chip_count && spi_on_; ++chip) {
        unsigned value = read(chip, reg_line_status);
        // A device that turned out to have no SPI reports nothing more.
        if (spi_on_)
            send_status(chip, value);
    }
    if (spi_on_)
        poll_.set(poll_ms, &spiCtrl::status, this);
}

void spiCtrl::send_status(unsigned chip, unsigned line_status)
{
    // Bit 5 counts one slip when it comes up; it must drop before it counts again.
    bool bit5 = line_status & 0x20;
    int slips = bit5 && !bit5_latch_[chip] ? 1 : 0;
    bit5_latch_[chip] = bit5;

    LGCP::Signal signal;
    ACP::TrunkStatus& report = signal.select_trunkStatus();
    report.set_trunk(static_cast<int>(chip));
    report.set_state(line_state(line_status));
    report.set_slips(slips);
    report.set_type(ACP::TrunkType::bri);
    SendSignal(signal);
}
