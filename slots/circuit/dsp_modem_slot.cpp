#include "slots/circuit/dsp_modem_slot.h"

#include "slots/circuit/modem_factory.h"

#include "board/device_names.h"
#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "foundation/os/fixed_path.h"
#include "foundation/util/ext_header.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

// Requests of the modem control device.
constexpr uint32_t allocate_code = 0xBB0B;
constexpr uint32_t timeslot_code = 0xBB15;
constexpr uint32_t data_modes_code = 0xBB16;
constexpr uint32_t reset_parameters_code = 0xBB3A;
constexpr uint32_t parameter_code = 0xBB38;
constexpr uint32_t answer_code = 0xBB03;
constexpr uint32_t originate_code = 0xBB04;
constexpr uint32_t fax_originate_code = 0xBB40;

// The program, "-m" and the modem index leave room for this many of the controller's arguments
// in the board's vector of 64 entries with its terminating null.
constexpr size_t max_fax_execargs = 60;
const char fax_transfer_program[] = "/usr/local/sbin/fax";
const char fax_receiver_program[] = "/usr/local/bin/fax";

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

void DspModemSlot::Configure(Fd& fd)
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
    if (params.hasOptionalField(Optional::fax))
        StartFax(fd);
    else
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

void DspModemSlot::StartFax(Fd& fd)
{
    using Optional = TERM::ModemParams::Optional;
    if (params.hasOptionalField(Optional::execargs)) {
        std::vector<std::string> arguments{"-m", std::to_string(modem)};
        for (const ASN1::IA5String& argument : params.get_execargs()) {
            if (arguments.size() == 2 + max_fax_execargs)
                break;
            arguments.push_back(argument.getValue());
        }
        RunFax(params.hasOptionalField(Optional::execfile) ? params.get_execfile().getValue() : fax_transfer_program,
               arguments, 0, "executing fax transfer\n", "fax transfer executed");
    } else if (params.hasOptionalField(Optional::originate)) {
        if (Device::request_in(fd, fax_originate_code, words({modem, -1})) < 0)
            Fail("originate failed : ");
    } else {
        RunFaxReceiver();
    }
}

void DspModemSlot::RunFaxReceiver()
{
    std::time_t now = std::time(nullptr);
    char name[64];
    std::strftime(name, sizeof name, "/var/fax-%H-%M-%S.g3", std::localtime(&now));
    // Named like the board's fixed paths, so that off the board the program writes under the root.
    RunFax(fax_receiver_program, {"-m", std::to_string(modem), "receive", fixed_path(name)}, 1, "executing\n",
           "fax receiver executed");
}

void DspModemSlot::RunFax(const std::string& program, const std::vector<std::string>& arguments, unsigned delay,
                          const char* executing, const char* started)
{
    child.Bind(this, &DspModemSlot::on_fax_terminate);
    auto announce = [delay, executing] {
        sleep(delay);
        ssize_t ignored = write(STDOUT_FILENO, executing, std::strlen(executing));
        (void)ignored;
    };
    if (StartChild(program, arguments, announce, "fail to exec!") >= 0)
        std::clog << ext::header(this) << started << " modem=" << modem << " ts=" << channel << std::endl;
}

void DspModemSlot::on_fax_terminate(int status)
{
    std::clog << ext::header(this) << "fax terminated with code " << status << std::endl;
    // A program that never ran handled no page.
    if (int error = child.exec_error()) {
        std::cerr << ext::header(this) << "fail to exec fax: " << std::strerror(error) << std::endl;
    } else {
        if (status & 0xFF)
            std::cerr << ext::header(this) << "fax transfer failed" << std::endl;
        int pages = (status >> 8) & 0xFF;
        std::clog << ext::header(this) << "pages received: " << pages << std::endl;
        TERM::ModemProceeding proceeding;
        proceeding.select_acct().get_octetsIn().set_low(pages);
        OnModem(proceeding);
    }
    OnChildEnd(status);
}
