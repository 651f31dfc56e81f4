#include "hardware/e1_ctl.h"

#include "board/device_names.h"

#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "foundation/util/ext_header.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr uint32_t status_code = 0xC0504D03;  // the 80-byte status record of one trunk
constexpr uint32_t tclk_code = 0xC0044D0B;    // the mask by value

constexpr uint32_t trunk_open_code = 0x80044300;   // the trunk by value
constexpr uint32_t trunk_close_code = 0x80044301;  // the trunk by value
constexpr uint32_t set_code = 0xC00C4302;          // a cas_channel
constexpr uint32_t get_code = 0xC00C4303;          // a cas_channel, rx and tx filled in
constexpr uint32_t channel_code = 0xC0104304;      // a cas_channel and the operation

constexpr unsigned status_ms = 1000;

// The status record: the trunk at 0, the counters and the state as the driver fills them.
constexpr size_t status_size = 80;
constexpr size_t slips_at = 36;
constexpr size_t loss_bf_at = 40;
constexpr size_t loss_carrier_at = 44;
constexpr size_t loss_ais_at = 48;
constexpr size_t loss_rai_at = 52;
constexpr size_t state_at = 76;

// cas_channel: trunk, time slot, rx and tx bytes, two bytes 0; the channel request adds the
// operation.
constexpr size_t cas_channel_size = 12;
constexpr size_t rx_at = 8;
constexpr size_t tx_at = 9;
constexpr size_t operation_at = 12;
constexpr uint32_t operation_open = 0;
constexpr uint32_t operation_close = 1;

// The E1 frame-alignment and signalling time slots, which carry no channel of their own.
constexpr int alignment_timeslot = 0;
constexpr int signalling_timeslot = 16;

using CasRecord = std::array<uint8_t, cas_channel_size + 4>;

CasRecord cas_record(int trunk, int timeslot, uint8_t tx)
{
    CasRecord record{};
    BigEndian::put_i32(record.data(), 0, trunk);
    BigEndian::put_i32(record.data(), 4, timeslot);
    BigEndian::put_u8(record.data(), tx_at, tx & 0xF);
    return record;
}

int counter(const uint8_t* record, size_t offset) { return static_cast<int>(BigEndian::get_u32(record, offset)); }

}  // namespace

E1Ctl* E1Ctl::instance()
{
    static E1Ctl service;
    return &service;
}

E1Ctl::~E1Ctl()
{
    maintenance_.close();
    cas_.close();
}

void E1Ctl::OnConnect()
{
    SendStatus();
    status_.set(status_ms, &E1Ctl::OnCheckStatus, this);
    tclk_ = 0;
    UpdateTclk();
    CheckOpenCas();
}

void E1Ctl::OnDisconnect()
{
    for (int trunk = 0; trunk < trunk_count; ++trunk)
        HandleCasClose(trunk, alignment_timeslot);
}

bool E1Ctl::OnCommand(const LGCP::Command& command)
{
    if (const LGCP::IoctlParams* params = command.get_ioctl()) {
        OnIoctl(*params);
        return true;
    }
    if (const LGCP::TrunkCfg* cfg = command.get_trunkCfg()) {
        SetMode(*cfg);
        Success();
        return true;
    }
    return false;
}

void E1Ctl::OnCheckStatus()
{
    SendStatus();
    CheckOpenCas();
    status_.set(status_ms, &E1Ctl::OnCheckStatus, this);
}

void E1Ctl::SendStatus()
{
    if (!IsOpen())
        return;
    for (int trunk = 0; trunk < trunk_count; ++trunk) {
        std::array<uint8_t, status_size> record{};
        BigEndian::put_i32(record.data(), 0, trunk);
        if (Device::request_inout(maintenance_, status_code, record) < 0) {
            std::cerr << ext::header(this) << "synchronization status read fail, trunk = " << trunk
                      << " cause = " << std::strerror(errno) << std::endl;
            continue;
        }
        uint32_t state = BigEndian::get_u32(record.data(), state_at);
        LGCP::Signal signal;
        ACP::TrunkStatus& status = signal.select_trunkStatus();
        status.set_trunk(trunk);
        status.set_state(state <= ACP::TrunkState::disabled ? static_cast<ACP::TrunkState::NamedNumber>(state)
                                                            : ACP::TrunkState::unknown);
        status.set_slips(counter(record.data(), slips_at));
        status.set_lossBF(counter(record.data(), loss_bf_at));
        status.set_lossCarrier(counter(record.data(), loss_carrier_at));
        status.set_lossAIS(counter(record.data(), loss_ais_at));
        status.set_lossRAI(counter(record.data(), loss_rai_at));
        status.set_type(ACP::TrunkType::e1);
        SendSignal(signal);
    }
}

void E1Ctl::SetMode(const LGCP::TrunkCfg& cfg)
{
    int trunk = cfg.get_trunk().getValue();
    // The mask has a bit for trunks 0 to 31 only.
    if (trunk < 0 || trunk >= 32)
        return;
    uint32_t bit = uint32_t{1} << trunk;
    if (cfg.get_mode().getValue() == LGCP::TrunkMode::slave)
        tclk_ |= bit;
    else
        tclk_ &= ~bit;
    UpdateTclk();
}

void E1Ctl::UpdateTclk()
{
    if (!IsOpen())
        return;
    if (Device::request_value(maintenance_, tclk_code, tclk_) < 0)
        std::cerr << ext::header(this) << "fail to set TCLK [cause=" << std::strerror(errno) << "]" << std::endl;
    else
        std::clog << ext::header(this) << "TCLT = 0x" << std::hex << tclk_ << std::dec << std::endl;
}

bool E1Ctl::IsOpen()
{
    if (!maintenance_)
        maintenance_ = Device::open(GetMaintenance(), O_RDWR | O_NONBLOCK);
    return static_cast<bool>(maintenance_);
}

bool E1Ctl::CheckOpenCas()
{
    if (cas_)
        return true;
    cas_ = Device::open("/dev/e1-cas", O_RDWR | O_NONBLOCK);
    if (!cas_)
        return false;
    std::clog << ext::header(this) << "cas interface opened!" << std::endl;
    casEvent_.Bind("E1/Cas", &E1Ctl::OnUpdateCas, this);
    casEvent_.Schedule(cas_, POLLIN);
    return true;
}

void E1Ctl::OnIoctl(const LGCP::IoctlParams& params)
{
    // Of the ioctls without a slot only CAS is served here, and only with its device.
    const LGCP::CasCommand* command = params.get_cas();
    if (!command || !CheckOpenCas()) {
        Error(LGCP::ErrorCause::unsupported);
        return;
    }
    int trunk = command->get_channel().get_path().getValue();
    if (trunk < 0 || trunk >= trunk_count) {
        Error(LGCP::ErrorCause::invalidParams);
        return;
    }
    HandleCas(*command);
    Success();
}

void E1Ctl::HandleCas(const LGCP::CasCommand& command)
{
    int trunk = command.get_channel().get_path().getValue();
    int timeslot = command.get_channel().get_timeslot().getValue();
    const LGCP::CasCommandSignal& cmd = command.get_cmd();
    switch (cmd.currentSelection()) {
    case LGCP::CasCommandSignal::open: HandleCasOpen(trunk, timeslot, cmd.get_open()->getValue()); break;
    case LGCP::CasCommandSignal::close: HandleCasClose(trunk, timeslot); break;
    case LGCP::CasCommandSignal::set: HandleCasSet(trunk, timeslot, cmd.get_set()->getValue()); break;
    case LGCP::CasCommandSignal::get: HandleCasGet(trunk, timeslot); break;
    default: break;
    }
}

void E1Ctl::HandleCasOpen(int trunk, int timeslot, int value)
{
    if (!casOpen_[trunk]) {
        int result = Device::request_value(cas_, trunk_open_code, static_cast<uint32_t>(trunk));
        SendCas(trunk, alignment_timeslot, result, 0);
        if (result < 0) {
            std::clog << ext::header(this) << "open cas signalling on trunk(" << trunk << ") - fail(" << result << ")"
                      << std::endl;
            return;
        }
        std::clog << ext::header(this) << "open cas signalling on trunk(" << trunk << ") - ok" << std::endl;
        casOpen_[trunk] = true;
    } else {
        SendCas(trunk, alignment_timeslot, 0, 0);
    }
    if (timeslot == alignment_timeslot || timeslot == signalling_timeslot)
        return;
    CasRecord record = cas_record(trunk, timeslot, static_cast<uint8_t>(value));
    BigEndian::put_u32(record.data(), operation_at, operation_open);
    int result = Device::request_in(cas_, channel_code, record);
    if (result < 0)
        SendCas(trunk, timeslot, result, 0);
    else
        HandleCasGet(trunk, timeslot);
}

void E1Ctl::HandleCasClose(int trunk, int timeslot)
{
    if (!casOpen_[trunk])
        return;
    if (timeslot == alignment_timeslot) {
        // The driver's 0 is told as 1: the controller reads 0 on a trunk-level report as "open".
        int result = Device::request_value(cas_, trunk_close_code, static_cast<uint32_t>(trunk));
        SendCas(trunk, alignment_timeslot, result == 0 ? 1 : result, 0);
        if (result >= 0)
            casOpen_[trunk] = false;
        return;
    }
    if (timeslot == signalling_timeslot)
        return;
    CasRecord record = cas_record(trunk, timeslot, 0);
    BigEndian::put_u32(record.data(), operation_at, operation_close);
    int result = Device::request_in(cas_, channel_code, record);
    if (result < 0)
        SendCas(trunk, timeslot, result, 0);
    else
        SendCas(trunk, timeslot, -1, 1);
}

void E1Ctl::HandleCasSet(int trunk, int timeslot, int value)
{
    if (!casOpen_[trunk])
        return;
    CasRecord record = cas_record(trunk, timeslot, static_cast<uint8_t>(value));
    int result = Device::request_in(cas_, set_code, record.data(), cas_channel_size);
    if (result < 0)
        SendCas(trunk, timeslot, result, 0);
    else
        HandleCasGet(trunk, timeslot);
}

void E1Ctl::HandleCasGet(int trunk, int timeslot)
{
    if (!casOpen_[trunk])
        return;
    CasRecord record = cas_record(trunk, timeslot, 0);
    int result = Device::request_inout(cas_, get_code, record.data(), cas_channel_size);
    if (result < 0)
        SendCas(trunk, timeslot, result, 0);
    else
        SendCas(trunk, timeslot, record[rx_at], record[tx_at]);
}

void E1Ctl::OnUpdateCas(int, short revents)
{
    // A hang-up or error is read too: the read tells what it is.
    if (!(revents & (POLLIN | POLLHUP | POLLERR)))
        return;
    // One change record per call; the reactor comes back while more wait.
    uint8_t record[cas_channel_size];
    ssize_t length = ::read(cas_, record, sizeof record);
    if (length == 0) {
        // The driver never ends; polling a device that has gone would report it for ever. The
        // status step opens it again.
        std::cerr << ext::header(this) << "fail to read from cas interface: end of file" << std::endl;
        casEvent_.Release();
        cas_.close();
        return;
    }
    if (length < 0 && errno != EAGAIN)
        std::cerr << ext::header(this) << "fail to read from cas interface: " << std::strerror(errno) << std::endl;
    if (length != static_cast<ssize_t>(sizeof record))
        return;
    SendCas(BigEndian::get_i32(record, 0), BigEndian::get_i32(record, 4), record[rx_at], record[tx_at]);
}

void E1Ctl::SendCas(int trunk, int timeslot, int rx, int tx)
{
    LGCP::Signal signal;
    LGCP::CasSignalling& cas = signal.select_cas();
    cas.get_channel().set_path(trunk);
    cas.get_channel().set_timeslot(timeslot);
    cas.set_rx(rx);
    cas.set_tx(tx);
    SendSignal(signal);
}

void E1Ctl::PutHeader(std::ostream& out) const { out << "E1: "; }
