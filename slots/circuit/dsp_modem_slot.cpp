#include "slots/circuit/dsp_modem_slot.h"

#include "slots/circuit/modem_factory.h"

#include "board/device_names.h"
#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "foundation/util/ext_header.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <string>

namespace {

// Requests of the modem control device.
constexpr uint32_t allocate_code = 0xBB0B;
constexpr uint32_t timeslot_code = 0xBB15;
constexpr uint32_t data_modes_code = 0xBB16;
constexpr uint32_t reset_parameters_code = 0xBB3A;
constexpr uint32_t parameter_code = 0xBB38;
constexpr uint32_t answer_code = 0xBB03;
constexpr uint32_t originate_code = 0xBB04;

// Bits of the data-mode mask, by TERM::DigitalDataModeEnum; V.120 has none.
constexpr uint32_t data_mode_bits[] = {0x1, 0x2, 0x4, 0x0};

// A record of 32-bit words in the board's byte order.
template <size_t N>
std::array<uint8_t, 4 * N> words(const int32_t (&values)[N])
{
    std::array<uint8_t, 4 * N> record;
    for (size_t n = 0; n < N; ++n)
        BigEndian::put_i32(record.data(), 4 * n, values[n]);
    return record;
}

}  // namespace

DspModemSlot::~DspModemSlot()
{
    pppd_kill();
    unbind();
    control.close();
}

void DspModemSlot::unbind() { ModemFactory::instance()->ReleaseModemSlot(this); }

void DspModemSlot::Fail(const char* step)
{
    int error = errno;
    std::cerr << ext::header(this) << step << std::strerror(error) << std::endl;
    OnAbort(error);
}

bool DspModemSlot::InitModem()
{
    if (modem >= 0)
        return true;
    Fd fd = Device::open(GetModemDevName(), O_RDONLY);
    if (!fd) {
        Fail("fail to open device: ");
        return false;
    }
    Configure(fd);
    fd.close();
    return modem >= 0;
}

void DspModemSlot::Configure(Fd fd)
{
    int index = Device::request_value(fd, allocate_code, 0);
    if (index < 0) {
        Fail("insufficient resources : ");
        return;
    }
    int timeslot = Device::request_value(fd, timeslot_code, 0);
    if (timeslot < 0) {
        Fail("get timeslot fail : ");
        return;
    }
    using Optional = TERM::ModemParams::Optional;
    if (params.hasOptionalField(Optional::ddm)) {
        uint32_t mask = 0;
        for (const TERM::DigitalDataModeEnum& mode : params.get_ddm())
            if (mode.getValue() >= 0 && mode.getValue() <= TERM::DigitalDataModeEnum::ddmV120)
                mask |= data_mode_bits[mode.getValue()];
        if (Device::request_in(fd, data_modes_code, words({index, static_cast<int32_t>(mask)})) < 0) {
            Fail("set DDM failed : ");
            return;
        }
    }
    if (Device::request_in(fd, reset_parameters_code, words({index, -1})) < 0) {
        int error = errno;
        std::cerr << ext::header(this) << "reset dmp parameters failed : " << std::strerror(error) << std::endl;
    }
    if (params.hasOptionalField(Optional::dmp)) {
        for (const TERM::DDModemParam& parameter : params.get_dmp()) {
            int offset = parameter.get_offset().getValue();
            int value = parameter.get_value().getValue();
            if (Device::request_in(fd, parameter_code, words({index, offset, value})) < 0) {
                int error = errno;
                std::cerr << ext::header(this) << "set dmp parameter " << "index=" << offset << " value=" << value
                          << " failed : " << std::strerror(error) << std::endl;
            }
        }
    }
    channel = timeslot;
    modem = index;
    control = fd.dup();
    OnChangeOutputStream(true);
    OnChangeInputStream(true);
    if (!params.hasOptionalField(Optional::fax))
        StartPppd(fd);
}

void DspModemSlot::StartPppd(Fd fd)
{
    std::string device = "/dev/mdm" + std::to_string(modem);
    if (params.hasOptionalField(TERM::ModemParams::Optional::originate)) {
        if (Device::request_in(fd, originate_code, words({modem, -1})) < 0)
            Fail("originate failed : ");
        else
            pppd_exec(device.c_str(), "/usr/local/etc/ppp/coptions");
    } else if (Device::request_in(fd, answer_code, words({modem, -1})) < 0) {
        Fail("answer failed : ");
    } else {
        pppd_exec(device.c_str(), "/usr/local/etc/ppp/aoptions");
    }
}
