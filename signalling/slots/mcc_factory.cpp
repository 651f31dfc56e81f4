#include "signalling/slots/mcc_factory.h"

#include "signalling/slots/mcc_channel.h"
#include "signalling/slots/mcc_slot.h"

#include "asn1/modules/LGCP.h"
#include "foundation/os/big_endian.h"
#include "foundation/os/device.h"
#include "foundation/util/ext_header.h"

#include <array>
#include <fcntl.h>
#include <iostream>

MccFactory* MccFactory::instance()
{
    static MccFactory factory;
    return &factory;
}

Slot* MccFactory::INewSlot(const LGCP::CreateParams& params)
{
    const LGCP::MccParams* mcc = params.get_mcc();
    if (!mcc)
        return nullptr;
    uint32_t type;
    switch (mcc->get_type().getValue()) {
    case LGCP::MccType::data: type = MccChannel::data; break;
    case LGCP::MccType::bri: type = MccChannel::bri; break;
    case LGCP::MccType::transparent: type = MccChannel::transparent; break;
    default: return nullptr;
    }
    if (mcc->get_mode().getValue() == LGCP::MccMode::ss7)
        type = MccChannel::ss7;
    std::clog << ext::header(this) << "MCC_ALLOCATE type=" << type << std::endl;
    int timeslot;
    Fd fd = MccChannel::allocate(type, "mcc: ", timeslot);
    if (!fd)
        return nullptr;
    Slot* slot = new MccSlot(fd, timeslot);
    fd.close();
    return slot;
}

void MccFactory::Query(LGCP::Resources& resources)
{
    resources.set_mcc_data(0);
    resources.set_mcc_bri(0);
    resources.set_mcc_trans(0);
    Fd fd = Device::open("/dev/mcc/ctl", O_RDONLY);
    if (!fd)
        return;
    std::array<uint8_t, 16> counts{};
    if (Device::request_inout(fd, MccChannel::counts_code, counts) >= 0) {
        resources.set_mcc_data(BigEndian::get_i32(counts.data(), 0));
        resources.set_mcc_bri(BigEndian::get_i32(counts.data(), 4));
        resources.set_mcc_trans(BigEndian::get_i32(counts.data(), 8));
    }
    // Every query opens the device anew; the descriptor must not outlive it.
    fd.close();
}
