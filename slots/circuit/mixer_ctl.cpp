#include "slots/circuit/mixer_ctl.h"

#include "board/device_names.h"
#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"

#include <array>
#include <cerrno>
#include <fcntl.h>

namespace Mixer {

namespace {

void put(uint8_t* record, size_t offset, const mix_slot& slot)
{
    BigEndian::put_i32(record, offset, slot.dev_no);
    BigEndian::put_i32(record, offset + 4, slot.type);
    BigEndian::put_i32(record, offset + 8, slot.number);
}

}  // namespace

int mixer_ctl(uint32_t request, uint8_t* record, size_t size)
{
    Fd fd = Device::open(GetMixerDevName(), O_RDONLY);
    if (!fd)
        return -1;
    int result = Device::request_inout(fd, request, record, size);
    int error = errno;
    fd.close();
    errno = error;
    return result;
}

int mixer_ctl(uint32_t request, const mix_slot& slot)
{
    std::array<uint8_t, 12> record{};
    put(record.data(), 0, slot);
    return mixer_ctl(request, record.data(), record.size());
}

int mixer_ctl(uint32_t request, const mix_input& input)
{
    std::array<uint8_t, 28> record{};
    put(record.data(), 0, input.rx);
    put(record.data(), 12, input.tx);
    BigEndian::put_i32(record.data(), 24, input.weight);
    return mixer_ctl(request, record.data(), record.size());
}

int mixer_ctl(uint32_t request, mix_enum& step)
{
    std::array<uint8_t, 16> record{};
    BigEndian::put_i32(record.data(), 0, step.unit);
    BigEndian::put_i32(record.data(), 4, step.tdm_channels);
    BigEndian::put_i32(record.data(), 8, step.reserved);
    BigEndian::put_i32(record.data(), 12, step.mixer_inputs);
    int result = mixer_ctl(request, record.data(), record.size());
    step.unit = BigEndian::get_i32(record.data(), 0);
    step.tdm_channels = BigEndian::get_i32(record.data(), 4);
    step.reserved = BigEndian::get_i32(record.data(), 8);
    step.mixer_inputs = BigEndian::get_i32(record.data(), 12);
    return result;
}

}  // namespace Mixer
