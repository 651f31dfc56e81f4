#include "slots/rtp/ed137_radio_params.h"

namespace RTPSignalling {

void ED137RadioParams::Init(const TERM::ED137RadioResponse& response)
{
    using Optional = TERM::ED137RadioResponse::Optional;
    if (response.hasOptionalField(Optional::transmission_depend_on_squ))
        gate = response.get_transmission_depend_on_squ().getValue();
    if (response.hasOptionalField(Optional::sigtime))
        sigtime = response.get_sigtime().getValue();
    if (response.hasOptionalField(Optional::r2s_keepalive_period))
        keepAlivePeriod = response.get_r2s_keepalive_period().getValue();
    if (response.hasOptionalField(Optional::r2s_keepalive_multiplier))
        keepAliveMultiplier = response.get_r2s_keepalive_multiplier().getValue();
    radioType = static_cast<uint32_t>(response.get_type().getValue());
    txRxMode = static_cast<uint32_t>(response.get_txrxmode().getValue());
}

}  // namespace RTPSignalling
