#include "slots/rtp/rtp_driver.h"

#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"

#include <array>

namespace RtpDriver {

int Begin(Fd session, const rtp_connection_params& params)
{
    // The driver may fill the record in; the kept copy stays as it was sent.
    rtp_connection_params sent = params;
    return Device::request_inout(session, begin_session, sent.bytes);
}

int AddChannel(Fd session, uint32_t channel, uint32_t bss)
{
    std::array<uint8_t, 16> record{};
    BigEndian::put_u32(record.data(), 0, channel);
    BigEndian::put_u32(record.data(), 4, any_channel);
    BigEndian::put_u32(record.data(), 8, any_channel);
    BigEndian::put_u32(record.data(), 12, bss);
    if (Device::request_inout(session, add_channel, record) < 0)
        return -1;
    return BigEndian::get_i32(record.data(), 0);
}

void Teardown(Fd session)
{
    Device::request(session, teardown_first);
    Device::request(session, teardown_second);
    Device::request(session, teardown_third);
    Device::request_value(session, disable_pd, 1);
}

}  // namespace RtpDriver
