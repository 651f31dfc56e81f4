#include "slots/rtp/rtp_lemz_factory.h"

#include "slots/rtp/rtp_lemz_slot.h"

#include "foundation/os/big_endian.h"

#include <unistd.h>

namespace {

constexpr uint16_t lemz_extension = 0x1337;

using Optional = TERM::RtpParams::Optional;
using RadioOptional = TERM::RtpRadioRequest::Optional;

// The gateway slot the request asks for; null for an extension mode it does not name.
RtpSlot* make_slot(const TERM::RtpParams& rtp, int channel, Fd session, const rtp_connection_params& params)
{
    const TERM::RtpE2M* e2m = rtp.hasOptionalField(Optional::rtp_e2m) ? &rtp.get_rtp_e2m() : nullptr;
    const TERM::RtpExtMode* mode =
        e2m && e2m->hasOptionalField(TERM::RtpE2M::Optional::mode) ? &e2m->get_mode() : nullptr;
    RtpExtSlot* slot = nullptr;
    if (!mode || mode->get_both_rtp_and_rtp_ext()) {
        rtp_ext_init_params init;
        BigEndian::put_u16(init.bytes.data(), 0, lemz_extension);
        rtp_ext_attach_session_params attach;
        BigEndian::put_i32(attach.bytes.data(), 0, session.get());
        BigEndian::put_u32(attach.bytes.data(), 4, uint32_t(getpid()));
        slot = new RtpLEMZRadioGWSlot(channel, session, params, attach, init, true);
    } else if (const TERM::RtpExtDescription* holder = mode->get_only_rtp()) {
        rtp_attach_session_params attach;
        BigEndian::put_i32(attach.bytes.data(), 0, holder->get_fd().getValue());
        BigEndian::put_i32(attach.bytes.data(), 4, holder->get_pid().getValue());
        slot = new RtpLEMZRadioGWSlot(channel, session, params, attach);
    } else {
        return nullptr;
    }
    slot->radioStatus = rtp.get_radio().get_status();
    return slot;
}

}  // namespace

RtpLEMZFactory* RtpLEMZFactory::instance()
{
    static RtpLEMZFactory factory;
    return &factory;
}

Slot* RtpLEMZFactory::INewSlot(const LGCP::CreateParams& params)
{
    const LGCP::CreateRtpParams* request = params.get_rtp();
    if (!request)
        return nullptr;
    const TERM::RtpParams& rtp = request->get_codecRTP();
    if (!rtp.hasOptionalField(Optional::radio) || !rtp.get_radio().get_status().get_lemz())
        return nullptr;
    const TERM::RtpRadioRequest& radio = rtp.get_radio();
    const uint32_t bss = radio.hasOptionalField(RadioOptional::bss_enable) && radio.get_bss_enable().getValue();
    return Create(*request, "do create rtp ext LEMZ: ", bss,
                  [&rtp](int channel, Fd session, const rtp_connection_params& record) {
                      return make_slot(rtp, channel, session, record);
                  });
}
