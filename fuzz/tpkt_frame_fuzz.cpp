// Feeds arbitrary bytes to the TPKT layer's receive path, as the stream layer below it hands over
// what each read returned. The layer sits in a family that stands for the rest of the controller
// link and keeps every payload delivered; no socket is involved: the family's receive enters the
// layer from below, and the time-out is called as the reactor's timer would call it.
//
// The first byte picks a chunk size from 1 to 64; the rest is the stream. The payloads must not
// depend on how the stream is cut: chunks as large as one packet holds (the whole stream of any
// usual input), chunks of the picked size and single bytes deliver the same payloads. Then the
// stream is fed again in chunks with the time-out firing after every chunk that leaves a frame
// unfinished; whatever it held, a frame that follows is delivered whole.

#include "foundation/protocol/protocols_family.h"
#include "foundation/protocol/tpkt_protocol.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

class Receiver : public ProtocolsFamily {
public:
    Receiver() { add_protocol_tail(tpkt); }

    // Hands the stream over in chunks of at most `chunk` bytes, calling the time-out after
    // each chunk that leaves a frame unfinished when `timeouts` is set.
    void feed(const std::uint8_t* data, std::size_t size, std::size_t chunk, bool timeouts)
    {
        for (std::size_t at = 0; at < size; at += chunk) {
            const std::size_t n = std::min(chunk, size - at);
            Packet p;
            p.reserve_head(0);
            p.put(data + at, unsigned(n));
            receive(p);
            if (timeouts && tpkt->state() != Tpkt_protocol::idle) {
                tpkt->on_timeout(nullptr);
                require(tpkt->state() == Tpkt_protocol::idle);
            }
        }
    }

    void on_message(Packet& p) override
    {
        payloads.emplace_back(reinterpret_cast<const char*>(p.data()), p.length());
    }

    Tpkt_protocol* tpkt = new Tpkt_protocol;
    std::vector<std::string> payloads;
};

std::vector<std::string> payloadsOf(const std::uint8_t* data, std::size_t size, std::size_t chunk)
{
    Receiver receiver;
    receiver.feed(data, size, chunk, false);
    return receiver.payloads;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // The layer reports every byte of garbage on the debug stream; the run needs none of it.
    std::clog.setstate(std::ios_base::badbit);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t chunk = data[0] % 64 + 1;
    const std::uint8_t* stream = data + 1;
    const std::size_t length = size - 1;

    const std::vector<std::string> whole = payloadsOf(stream, length, packet_max_size);
    std::size_t delivered = 0;
    for (const std::string& payload : whole)
        delivered += payload.size() + Tpkt_protocol::header_size;
    require(delivered <= length);
    require(payloadsOf(stream, length, chunk) == whole);
    require(payloadsOf(stream, length, 1) == whole);

    Receiver receiver;
    receiver.feed(stream, length, chunk, true);
    const std::uint8_t frame[] = {3, 0, 0, 6, 0xAA, 0x55};
    receiver.feed(frame, sizeof frame, sizeof frame, false);
    require(!receiver.payloads.empty() && receiver.payloads.back() == "\xAA\x55");
    return 0;
}
