// PER encoding and decoding of controller-shaped messages through the coding entry points, as the
// control server runs them: one time per iteration is the cost of one message.

#include "asn1/per/per_test_schema.h"

#include "asn1/runtime/coder_env.h"

#include <benchmark/benchmark.h>

#include <iterator>
#include <vector>

namespace {

// 0: ping with seq; 1: error response with seq and slot; 2: create with every kind of component.
ASN1::SEQUENCE sampleMessage(int which)
{
    switch (which) {
    case 0:
        return PerSchema::pingMessage(7);
    case 1:
        return PerSchema::errorMessage(7, 5, PerSchema::slotNotExists);
    default:
        return PerSchema::createMessage(4711, 1023);
    }
}

void BM_PerEncode(benchmark::State& state)
{
    const ASN1::SEQUENCE message = sampleMessage(static_cast<int>(state.range(0)));
    std::vector<char> out;
    for (auto _ : state) {
        out.clear();
        ASN1::CoderEnv env;
        if (!ASN1::encode(message, &env, std::back_inserter(out)))
            state.SkipWithError("encode failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * out.size()));
}
BENCHMARK(BM_PerEncode)->ArgName("message")->DenseRange(0, 2);

void BM_PerDecode(benchmark::State& state)
{
    std::vector<char> octets;
    ASN1::CoderEnv env;
    ASN1::encode(sampleMessage(static_cast<int>(state.range(0))), &env, std::back_inserter(octets));
    for (auto _ : state) {
        ASN1::SEQUENCE message = PerSchema::newMessage();
        if (!ASN1::decode(octets.data(), octets.data() + octets.size(), &env, message, true))
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(&message);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * octets.size()));
}
BENCHMARK(BM_PerDecode)->ArgName("message")->DenseRange(0, 2);

}  // namespace
