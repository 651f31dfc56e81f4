#include "signalling/slots/hdlc_link_info.h"

LGCP::IoctlResponse hdlc_link_info(const HDLC& channel, uint32_t overflows)
{
    LGCP::IoctlResponse response;
    LGCP::HdlcLinkInfo& info = response.select_hdlcLinkInfo();
    info.set_txSU(int(channel.txSU));
    info.set_txDiscard(int(channel.txDiscard));
    info.set_txError(int(channel.txError));
    info.set_txOverflow(int(channel.txOverflow + overflows));
    info.set_rxSU(int(channel.rxSU));
    return response;
}
