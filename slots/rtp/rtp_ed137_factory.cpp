#include "slots/rtp/rtp_ed137_factory.h"

#include "slots/rtp/ed137_radio_params.h"
#include "slots/rtp/rtp_driver.h"
#include "slots/rtp/rtp_ed137_radio_gw_slot.h"

#include "foundation/os/big_endian.h"

namespace {

constexpr uint16_t extension_type = 0x0167;
constexpr uint32_t the_requesting_process = 0xFFFFFFFF;

// The extension session's settings: the signalling time in packets of the keep-alive period.
rtp_ext_init_params init_params(const RTPSignalling::ED137RadioParams& radio, const rtp_connection_params& session)
{
    uint32_t factor = BigEndian::get_u16(session.bytes.data(), RtpDriver::packet_factor);
    if (factor == 0)
        factor = 2;
    rtp_ext_init_params init;
    uint8_t* record = init.bytes.data();
    BigEndian::put_u16(record, 0, extension_type);
    BigEndian::put_u32(record, 4, 1);
    BigEndian::put_u32(record, 8, 123);
    BigEndian::put_u32(record, 12, radio.keepAlivePeriod / (10 * factor) * radio.sigtime);
    BigEndian::put_u32(record, 16, radio.sigtime);
    return init;
}

}  // namespace

RtpED137Factory* RtpED137Factory::instance()
{
    static RtpED137Factory factory;
    return &factory;
}

RtpED137Factory::RtpED137Factory() : RtpFactory("rtp ext ED137") {}

Slot* RtpED137Factory::INewSlot(const LGCP::CreateParams& params)
{
    const LGCP::CreateRtpParams* request = params.get_rtp();
    if (!request || !request->get_codecRTP().hasOptionalField(TERM::RtpParams::Optional::radio))
        return nullptr;
    const TERM::RtpRadioRequest& block = request->get_codecRTP().get_radio();
    const TERM::ED137RadioStatus* status = block.get_status().get_ed_137();
    if (!status)
        return nullptr;
    const bool bss = block.hasOptionalField(TERM::RtpRadioRequest::Optional::bss_enable) &&
        block.get_bss_enable().getValue();
    return Create(*request, "do create rtp ext ED137: ", bss,
                  [&block, status](int channel, Fd session, const rtp_connection_params& record) {
                      RTPSignalling::ED137RadioParams radio;
                      if (status->hasOptionalField(TERM::ED137RadioStatus::Optional::radio_response))
                          radio.Init(status->get_radio_response());
                      rtp_ext_attach_session_params attach;
                      BigEndian::put_i32(attach.bytes.data(), 0, session.get());
                      BigEndian::put_u32(attach.bytes.data(), 4, the_requesting_process);
                      auto* slot = new RtpED137RadioGWSlot(channel, session, record, attach,
                                                           init_params(radio, record), radio);
                      slot->radioStatus = block.get_status();
                      return slot;
                  });
}
