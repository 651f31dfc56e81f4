#include "signalling/slots/isdn_factory.h"

#include "signalling/slots/ats_qsig_b_slot.h"
#include "signalling/slots/ats_qsig_slot.h"
#include "signalling/slots/mcc_channel.h"

#include "asn1/modules/LGCP.h"
#include "foundation/os/device.h"
#include "foundation/util/ext_header.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>

namespace {

// The data link as the hosts make it: for the user side, then given its side and log level.
ISDN::LAPD* new_link(const LGCP::IsdnSide& side, int log)
{
    auto* link = new ISDN::LAPD(ISDN::Side::user, 0);
    link->side = side.get_network() ? ISDN::Side::network : ISDN::Side::user;
    link->log_level = uint32_t(log);
    return link;
}

}  // namespace

IsdnFactory* IsdnFactory::instance()
{
    static IsdnFactory factory;
    return &factory;
}

Slot* IsdnFactory::INewSlot(const LGCP::CreateParams& params)
{
    if (const LGCP::IsdnParams* isdn = params.get_isdn())
        return NewIsdnSlot(*isdn);
    if (const LGCP::AtsQsigParams* qsig = params.get_ats_qsig())
        return NewAtsQsigSlot(*qsig);
    if (const LGCP::AtsQsigBParams* b = params.get_ats_qsig_b())
        return NewAtsQsigBSlot(*b);
    return nullptr;
}

Slot* IsdnFactory::FindSlot(unsigned int number) const
{
    for (Slot* slot : slots)
        if (slot->id == number)
            return slot;
    return nullptr;
}

Slot* IsdnFactory::NewIsdnSlot(const LGCP::IsdnParams& params)
{
    const bool bri = params.get_type().getValue() == LGCP::IsdnType::bri;
    int timeslot;
    Fd fd = MccChannel::allocate(bri ? MccChannel::bri : MccChannel::data, "mcc/isdn: ", timeslot);
    if (!fd)
        return nullptr;
    ISDN::LAPD* link = new_link(params.get_side(), params.get_log().getValue());
    if (bri)
        link->change_to_bri();
    link->link_number = uint32_t(params.get_trunk().getValue());
    Slot* slot = new IsdnSlot(fd, timeslot, link);
    fd.close();
    return slot;
}

Slot* IsdnFactory::NewAtsQsigSlot(const LGCP::AtsQsigParams& params)
{
    Fd fd = Device::open("/dev/dsp-data", O_RDWR | O_NONBLOCK);
    if (!fd) {
        int error = errno;
        std::cerr << ext::header(this) << "fail to open dsp-data device: " << std::strerror(error) << std::endl;
        return nullptr;
    }
    // The driver answers the channel as the result; the record it is given stays unread.
    std::array<uint8_t, 4> unused{};
    const int channel = Device::request_inout(fd, AtsQsigSlot::channel_code, unused);
    if (channel < 0) {
        // A link on no channel would carry nothing while the controller took it for made.
        int error = errno;
        std::cerr << ext::header(this) << "D_CHANNEL fail: " << std::strerror(error) << std::endl;
        fd.close();
        return nullptr;
    }
    ISDN::LAPD* link = new_link(params.get_side(), params.get_log().getValue());
    link->link_number = uint32_t(channel);
    Slot* slot = new AtsQsigSlot(fd, channel, link);
    fd.close();
    return slot;
}

Slot* IsdnFactory::NewAtsQsigBSlot(const LGCP::AtsQsigBParams& params)
{
    auto* qsig = dynamic_cast<AtsQsigSlot*>(FindSlot(params.get_slot().getValue()));
    if (!qsig || params.get_subslot().getValue() == 0)
        return nullptr;
    const uint32_t index = params.get_subslot().getValue() - 1;
    const int channel = qsig->NewBChannel(index);
    if (channel == -1)
        return nullptr;
    return new AtsQsigBSlot(qsig->id, qsig->serial, index, channel);
}
