#include "signalling/slots/ats_qsig_slot.h"

#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"

#include <array>
#include <iostream>

uint64_t AtsQsigSlot::last_serial_ = 0;

AtsQsigSlot::AtsQsigSlot(Fd fd, int channel, ISDN::LAPD* link)
    : IsdnSlot(fd, channel, link, "AtsQsigSlot::OnEvent"), serial(++last_serial_)
{
}

bool AtsQsigSlot::IBeforeDestroy()
{
    event_.Release();
    return true;
}

int AtsQsigSlot::NewBChannel(uint32_t index)
{
    std::array<uint8_t, 8> record;
    BigEndian::put_u32(record.data(), 0, index);
    BigEndian::put_i32(record.data(), 4, -1);
    if (!is_open() || Device::request_inout(event_.fd(), add_b_code, record) == -1) {
        std::cerr << "ats-qsig: add B channel fail !!!" << std::endl;
        return -1;
    }
    return BigEndian::get_i32(record.data(), 4);
}

void AtsQsigSlot::RemoveBChannel(uint32_t index, int channel)
{
    // The D channel's descriptor went with its end: there is no driver left to ask.
    if (!is_open())
        return;
    std::array<uint8_t, 8> record;
    BigEndian::put_u32(record.data(), 0, index);
    BigEndian::put_i32(record.data(), 4, channel);
    Device::request_in(event_.fd(), remove_b_code, record);
}
