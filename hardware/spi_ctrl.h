#pragma once

// The eight BRI line-interface chips (one per BRI trunk), whose registers are reached over SPI
// through "/dev/hal". The service initialises and enables every chip when it is built, reports
// each chip's line status as a trunkStatus signal once a second while a controller is connected,
// selects the clock-master chip for the clock service, and disables the chips at process exit.
// It claims no command. A device without SPI (ENODEV on a register request) switches the
// service off for good. Its log lines go to the debug stream.

#include "server/ctrl_service.h"

#include "foundation/os/fd.h"
#include "foundation/reactor/timer.h"

#include <array>

class spiCtrl : public CtrlSrv::Service {
public:
    static constexpr unsigned chip_count = 8;

    // The process's one service, built on first use.
    static spiCtrl* instance();

    // Used by instance(); tests make their own.
    spiCtrl();
    ~spiCtrl() override;

    // Opens the device when it is not open and SPI is usable, then initialises and enables
    // every chip.
    void init_device_and_channels();
    void init_channel(unsigned chip);
    void enable_channel(unsigned chip);
    void disable_channel(unsigned chip);
    // Makes the chip the clock master; -1 leaves every chip a clock slave.
    void clock(int chip);

    void write(unsigned chip, unsigned reg, unsigned data);
    // The register's value; 0 when it cannot be read.
    unsigned read(unsigned chip, unsigned reg);

    void OnConnect() override;
    void OnDisconnect() override;
    bool OnCommand(const LGCP::Command&) override { return false; }

    // One status report of every chip, then the next one armed.
    void status();

private:
    // Whether a chip operation named `what` goes on: SPI usable and a chip number in range (a
    // bad one is logged), with the device opened when it can be.
    bool chip_operation(unsigned chip, const char* what);
    // True for ENODEV, the device having no SPI: the service is then off for good.
    bool without_spi(int error);
    void send_status(unsigned chip, unsigned line_status);

    Fd fd_;
    Timer poll_;
    bool spi_on_ = true;
    // Bit 5 of the line status was already reported for the chip: a newly set bit is one slip.
    std::array<bool, chip_count> bit5_latch_{};
};
