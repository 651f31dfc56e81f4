// TPKT framing through the stream layer over a local socket pair, and the price of the first
// change to a shared packet.

#include "foundation/packet/packet.h"
#include "foundation/protocol/protocols_family.h"
#include "foundation/protocol/strm_protocol.h"
#include "foundation/protocol/tpkt_protocol.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include <sys/socket.h>
#include <unistd.h>

namespace {

// A stream layer under a TPKT layer that counts the payloads it delivers.
class CountingLink : public ProtocolsFamily {
public:
    explicit CountingLink(int fd) : stream(new StrmProtocol(Fd(fd)))
    {
        add_protocol_tail(stream);
        add_protocol_tail(new Tpkt_protocol);
    }
    void on_message(Packet& p) override
    {
        ++delivered;
        delivered_bytes += p.length();
    }

    StrmProtocol* stream;
    uint64_t delivered = 0;
    uint64_t delivered_bytes = 0;
};

void BM_TpktFrameAndUnframe(benchmark::State& state)
{
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) {
        state.SkipWithError("socketpair failed");
        return;
    }
    {
        CountingLink sender(fds[0]);
        CountingLink receiver(fds[1]);
        const std::vector<unsigned char> payload(size_t(state.range(0)), 0x5A);
        for (auto _ : state) {
            Packet p;
            sender.prepare_head(p);
            p.put(payload.data(), unsigned(payload.size()));
            sender.message(p);
            const uint64_t expected = receiver.delivered + 1;
            while (receiver.delivered < expected)
                receiver.stream->do_read();
        }
        state.SetBytesProcessed(int64_t(receiver.delivered_bytes));
        state.SetItemsProcessed(int64_t(receiver.delivered));
    }
    close(fds[0]);
    close(fds[1]);
}
BENCHMARK(BM_TpktFrameAndUnframe)->Arg(16)->Arg(512)->Arg(8192)->Arg(Tpkt_protocol::max_payload);

void BM_PacketCopyOnWrite(benchmark::State& state)
{
    Packet original;
    original.reserve_head(0);
    const std::vector<unsigned char> window(size_t(state.range(0)), 0x33);
    original.put(window.data(), unsigned(window.size()));
    for (auto _ : state) {
        Packet copy = original;
        copy.put(0x01);
        benchmark::DoNotOptimize(copy.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_PacketCopyOnWrite)->Arg(64)->Arg(1500)->Arg(16384)->Arg(packet_max_size - 1);

// The same handle copy without a change: the cost of sharing alone.
void BM_PacketShare(benchmark::State& state)
{
    Packet original;
    original.reserve_head(0);
    original.put(0x01);
    for (auto _ : state) {
        Packet copy = original;
        benchmark::DoNotOptimize(copy.length());
    }
}
BENCHMARK(BM_PacketShare);

}  // namespace
