#pragma once

// The RTP driver "/dev/rtp": its request codes, the offsets of the session record
// (rtp_connection_params) that the slots read back, and the request sequences that the factories
// and the slots share. A session lives on one open of the device: it is begun with the record,
// gets its TDM channel, and is torn down with three requests.

#include "board/device_names.h"
#include "foundation/os/fd.h"

#include <cstddef>
#include <cstdint>

namespace RtpDriver {

constexpr uint32_t begin_session = 0xC02C5200;
constexpr uint32_t add_channel = 0xC0105202;
constexpr uint32_t teardown_second = 0x20005203;
constexpr uint32_t start_input = 0x20005204;
constexpr uint32_t stop_input = 0x20005205;
constexpr uint32_t attach_extension = 0xC0085209;
constexpr uint32_t teardown_first = 0x2000520A;
constexpr uint32_t teardown_third = 0x2000520B;
constexpr uint32_t enable_pd = 0xC024520C;
constexpr uint32_t disable_pd = 0x8004520D;

// rtp_connection_params
constexpr size_t remote_address = 0;
constexpr size_t remote_port = 4;
constexpr size_t local_address = 8;
constexpr size_t local_port = 12;
constexpr size_t rx_payload = 14;
constexpr size_t tx_payload = 16;
constexpr size_t packet_factor = 18;
constexpr size_t vad = 20;
constexpr size_t crate = 21;
constexpr size_t ssrc = 24;
constexpr size_t ttl = 36;
constexpr size_t type_of_service = 40;

// Asks the driver for a channel of its choice.
constexpr uint32_t any_channel = 0xFFFFFFFF;

// Begins the session: the driver's result, negative with errno on failure.
int Begin(Fd session, const rtp_connection_params& params);
// Adds the session's TDM channel (the given one, or any_channel); the channel the driver answered,
// or -1 with errno.
int AddChannel(Fd session, uint32_t channel, uint32_t bss);
// The teardown requests and the PD events' disable, their results ignored.
void Teardown(Fd session);

}  // namespace RtpDriver
