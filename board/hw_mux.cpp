#include "board/hw_mux.h"

#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "foundation/util/ext_hex.h"
#include "foundation/util/process_wide.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <execinfo.h>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

namespace {

constexpr uint32_t connect_code = 0x80084D02;  // {output, source}
constexpr uint32_t disable_code = 0x80044D03;  // {output}
constexpr uint32_t write_code = 0xC0084D04;    // {output, value}
constexpr uint32_t read_code = 0xC0084D05;     // {channel, value}: value 255 in, the byte out

constexpr int trace_frames = 10;

}  // namespace

HwMux* HwMux::instance() { return &ProcessWide<HwMux>::get(); }

HwMux::HwMux()
{
    map_.fill(disabled);
    std::clog << "hwMux: init" << std::endl;
    refresh_.Bind(this, &HwMux::OnDPC);
    IsOpened();
}

HwMux::~HwMux()
{
    refresh_.Deactivate();
    fd_.close();
}

bool HwMux::IsOpened()
{
    if (fd_)
        return true;
    Fd fd = Device::open("/dev/hal", O_RDWR);
    if (!fd) {
        std::clog << "hwMux: can't open device: " << std::strerror(errno) << std::endl;
        return false;
    }
    fd_ = fd;
    std::clog << "hwMux: device opened" << std::endl;
    post_disable_all();
    map_.fill(disabled);
    cursor_ = 0;
    refresh_.Activate();
    usleep(500);
    return true;
}

void HwMux::set_entry(int channel, uint16_t value)
{
    if (is_output(channel))
        map_[channel - first_output] = value;
}

int HwMux::request_disable(int output)
{
    std::array<uint8_t, 4> record;
    BigEndian::put_i32(record.data(), 0, output);
    return Device::request_in(fd_, disable_code, record);
}

// Nobody reads the result of the disables of the opening and the refresh: posted, so that many
// runs cost the emulated board one message.
void HwMux::post_disable_all()
{
    std::array<uint8_t, 4> record;
    BigEndian::put_i32(record.data(), 0, first_output);
    Device::post_counting_in(fd_, disable_code, record.data(), record.size(), output_count);
}

int HwMux::request_pair(uint32_t code, int first, int second)
{
    std::array<uint8_t, 8> record;
    BigEndian::put_i32(record.data(), 0, first);
    BigEndian::put_i32(record.data(), 4, second);
    return Device::request_in(fd_, code, record);
}

bool HwMux::Connect(int source, int output)
{
    if (!IsOpened() || source < 0 || source >= channel_count || output < 0) {
        std::clog << "hwMux: ERROR not opened" << std::endl;
        return false;
    }
    set_entry(output, static_cast<uint16_t>(source));
    if (request_pair(connect_code, output, source) < 0) {
        std::clog << "hwMux: connect " << source << " -> " << output << " failed: " << std::strerror(errno)
                  << std::endl;
        return false;
    }
    return true;
}

bool HwMux::Disconnect(int output)
{
    if (!IsOpened() || output < 0)
        return false;
    set_entry(output, constant);
    if (request_pair(write_code, output, idle_byte) < 0) {
        std::clog << "hwMux: disconnect failed " << output << " : " << std::strerror(errno) << std::endl;
        return false;
    }
    return true;
}

bool HwMux::Disable(int output)
{
    if (!IsOpened() || output < 0)
        return false;
    set_entry(output, disabled);
    if (request_disable(output) < 0) {
        std::clog << "hwMux: disable failed " << output << " : " << std::strerror(errno) << std::endl;
        return false;
    }
    return true;
}

bool HwMux::Write(int output, unsigned char value)
{
    if (!IsOpened() || output < 0)
        return false;
    set_entry(output, constant);
    if (request_pair(write_code, output, value) < 0) {
        std::clog << "hwMux: write failed " << output << " <- " << ext::OutUnsignedInHex(value) << " : "
                  << std::strerror(errno) << std::endl;
        return false;
    }
    return true;
}

unsigned char HwMux::Read(int channel)
{
    if (!IsOpened() || channel < 0)
        return 0xFF;
    std::array<uint8_t, 8> record;
    BigEndian::put_i32(record.data(), 0, channel);
    BigEndian::put_u32(record.data(), 4, 255);
    if (Device::request_inout(fd_, read_code, record) < 0) {
        std::clog << "hwMux: read failed " << channel << " -> "
                  << ext::OutUnsignedInHex(BigEndian::get_u32(record.data(), 4)) << " : " << std::strerror(errno)
                  << std::endl;
        return 0xFF;
    }
    return static_cast<unsigned char>(BigEndian::get_u32(record.data(), 4));
}

void HwMux::OnDPC()
{
    if (!fd_)
        return;
    in_run_ = true;
    for (int i = 0; i < refresh_batch; ++i) {
        cursor_ = (cursor_ + 1) % output_count;
        RefreshChannel(cursor_);
    }
    in_run_ = false;
    post_refresh();
}

// Within a run the disables of neighbouring outputs are gathered and leave together, when the
// next output to disable is not the neighbour or at the end of the run, before any other request.
void HwMux::RefreshChannel(int index)
{
    if (map_[index] != disabled)
        return;
    if (refresh_count_ > 0 && static_cast<size_t>(index) != refresh_first_ + refresh_count_)
        post_refresh();
    if (refresh_count_++ == 0)
        refresh_first_ = static_cast<size_t>(index);
    if (!in_run_)
        post_refresh();
}

void HwMux::post_refresh()
{
    if (refresh_count_ == 0)
        return;
    std::array<uint8_t, 4> record;
    BigEndian::put_i32(record.data(), 0, first_output + static_cast<int>(refresh_first_));
    Device::post_counting_in(fd_, disable_code, record.data(), record.size(), refresh_count_);
    refresh_count_ = 0;
}

void print_trace()
{
    void* frames[trace_frames];
    int count = backtrace(frames, trace_frames);
    std::cout << "Obtained " << count << " stack frames." << std::endl;
    char** symbols = backtrace_symbols(frames, count);
    if (!symbols)
        return;
    for (int i = 0; i < count; ++i)
        std::cout << symbols[i] << std::endl;
    std::free(symbols);
}
