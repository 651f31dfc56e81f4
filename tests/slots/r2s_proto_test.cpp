// The ED-137 payload codec: known payloads of both forms packed and read back byte for byte, the
// packing errors, and hostile payloads (truncated, too many features, tags of the other form).

#include "slots/rtp/r2s_proto.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
const unsigned char too_short = static_cast<unsigned char>(-9), wrong_form = static_cast<unsigned char>(-8);

// The packed bytes, or the error as the one byte.
Bytes pack(r2s_proto& proto, int length)
{
    Bytes buffer(length);
    int packed = r2s_proto_pack(&proto, buffer.data(), length);
    return packed < 0 ? Bytes{static_cast<unsigned char>(packed)} : Bytes(buffer.begin(), buffer.begin() + packed);
}

TEST(R2sProto, RecordsPackToKnownPayloadsThatReadBackToThem)
{
    r2s_proto_rx_additional_rrc rrc_short{1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0};
    r2s_proto_rx_additional_rrc rrc_long{0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0, 18, 52};
    r2s_proto_rx_additional_mam mam{1, 0x123456, 0, 0x7FFFFF, 0x0102, 0x0304, 0xFFFF};
    r2s_proto_rx_additional_rrc rrc_bad{};
    rrc_bad.extended = 2;
    r2s_proto_tx_additional_climax_time_delay delay{200};
    r2s_proto_tx_additional_rrc rrc_tx{0, 1, 0, 1, 1, 0, 1, 0};
    r2s_proto_tx_additional_rrm rrm{1, 0x7FFFFF};
    using Build = std::function<void(r2s_proto*)>;
    const std::tuple<int, Build, Bytes> rows[] = {
        {64, [](r2s_proto* p) { r2s_proto_set_rx_header(p, 1, 1, 63, 0, 1, 1); }, {0x3F, 0xD8, 0x00, 0x00}},
        {64, [](r2s_proto* p) { r2s_proto_set_tx_header(p, 4, 5, 0, 0); }, {0x81, 0x40, 0x00, 0x00}},
        {4, [](r2s_proto* p) { r2s_proto_set_rx_header(p, 0, 0, 0, 0, 0, 0), r2s_proto_add_rx_sqi(p, 3, 5); },
         {0x00, 0x01, 0x11, 0x1D}},
        // Every rx feature; the climax time delay is not carried in the rx form.
        {64, [&](r2s_proto* p) {
             r2s_proto_set_rx_header(p, 2, 0, 1, 1, 0, 0), r2s_proto_add_rx_sqi(p, 31, 7);
             r2s_proto_add_rx_rrc(p, &rrc_short), r2s_proto_add_rx_rrc(p, &rrc_long), r2s_proto_add_rx_mam(p, &mam);
             r2s_proto_add_tx_time_delay(p, &delay);
         },
         {0x40, 0x61, 0x11, 0xFF, 0x31, 0xA1, 0x34, 0x0F, 0x80, 0x12, 0x34, 0x4C,
          0x92, 0x34, 0x56, 0x7F, 0xFF, 0xFF, 0x01, 0x02, 0x03, 0x04, 0xFF, 0xFF}},
        // Every tx feature; the signal quality is not carried in the tx form.
        {64, [&](r2s_proto* p) {
             r2s_proto_set_tx_header(p, 7, 63, 0, 1), r2s_proto_add_tx_time_delay(p, &delay);
             r2s_proto_add_rx_sqi(p, 1, 1), r2s_proto_add_tx_rrc(p, &rrc_tx), r2s_proto_add_tx_rrm(p, &rrm);
         },
         {0xEF, 0xD1, 0x21, 0xC8, 0x31, 0x5A, 0x43, 0xFF, 0xFF, 0xFF}},
        {64, [](r2s_proto*) {}, {wrong_form}},
        {3, [](r2s_proto* p) { r2s_proto_set_tx_header(p, 1, 1, 0, 0); }, {too_short}},
        {64, [&](r2s_proto* p) { r2s_proto_set_rx_header(p, 0, 0, 0, 0, 0, 0), r2s_proto_add_rx_rrc(p, &rrc_bad); },
         {wrong_form}}};
    for (const auto& [length, build, bytes] : rows) {
        r2s_proto proto, read;
        r2s_proto_init(&proto, r2s_proto_none);
        build(&proto);
        EXPECT_EQ(pack(proto, length), bytes);
        const auto unpack = proto.form == r2s_proto_rx ? r2s_proto_unpack_rx : r2s_proto_unpack_tx;
        if (bytes.size() > 1) {
            EXPECT_EQ(unpack(&read, bytes.data(), static_cast<int>(bytes.size())), 0);
            EXPECT_EQ(pack(read, length), bytes);
        }
    }
}

TEST(R2sProto, HostilePayloadsKeepWhatDecodedBeforeTheFault)
{
    // Header tx: PTT type 1, PTT-id 5, X set; then 17 climax time delays 0x21.
    Bytes seventeen(36, 0x21);
    seventeen[1] = 0x41;
    const std::tuple<Bytes, int, unsigned> rows[] = {{{0x21, 0x41, 0x21, 0x21, 0x43, 0x01, 0x02}, -9, 1},
                                                     {{0x21, 0x41, 0x11, 0x1D, 0x21, 0x21}, 0, 1},
                                                     {{0x21, 0x41, 0x5F}, -9, 0},
                                                     {seventeen, 0, 16}};
    for (const auto& [payload, result, count] : rows) {
        r2s_proto proto;
        r2s_proto_init(&proto, r2s_proto_none);
        EXPECT_EQ(r2s_proto_unpack_tx(&proto, payload.data(), static_cast<int>(payload.size())), result);
        EXPECT_EQ(proto.count, count);
        EXPECT_TRUE(proto.form == r2s_proto_tx && proto.tx.ptt_type == 1 && proto.tx.ptt_id == 5);
        EXPECT_TRUE(count == 0 || proto.additionals[0].values[0] == 0x21);
    }
}

}  // namespace
