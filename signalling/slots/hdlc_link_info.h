#pragma once

// The controller's report of an HDLC channel's counters (ioctl response hdlcLinkInfo).

#include "asn1/modules/LGCP.h"
#include "hardware/hdlc.h"

// `overflows`: frames the channel's owner dropped before they reached the channel.
LGCP::IoctlResponse hdlc_link_info(const HDLC& channel, uint32_t overflows = 0);
