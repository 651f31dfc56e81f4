#include "foundation/os/big_endian.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>

namespace {

using Bytes = std::array<uint8_t, 12>;

TEST(BigEndian, WritesAndReadsTheBoardsByteOrderAtTheOffsetOnly)
{
    Bytes record;
    record.fill(0xEE);
    BigEndian::put_u16(record.data(), 1, 0x1234);
    BigEndian::put_u32(record.data(), 3, 0x80084D02);
    BigEndian::put_u8(record.data(), 7, 0x5A);
    BigEndian::put_i32(record.data(), 8, -2);
    EXPECT_EQ(record, (Bytes{0xEE, 0x12, 0x34, 0x80, 0x08, 0x4D, 0x02, 0x5A, 0xFF, 0xFF, 0xFF, 0xFE}));
    EXPECT_EQ(BigEndian::get_u16(record.data(), 1), 0x1234);
    EXPECT_EQ(BigEndian::get_u32(record.data(), 3), 0x80084D02u);
    EXPECT_EQ(BigEndian::get_u8(record.data(), 7), 0x5A);
    EXPECT_EQ(BigEndian::get_i32(record.data(), 8), -2);

    // IEEE 754 single precision 1.5 is 0x3FC00000.
    BigEndian::put_float(record.data(), 0, 1.5f);
    EXPECT_EQ(BigEndian::get_u32(record.data(), 0), 0x3FC00000u);

    // The edges of each type round-trip.
    BigEndian::put_u16(record.data(), 5, 0xFF00);
    EXPECT_EQ(BigEndian::get_u16(record.data(), 5), 0xFF00);
    BigEndian::put_u32(record.data(), 1, 0xFFFFFFFFu);
    EXPECT_EQ(BigEndian::get_u32(record.data(), 1), 0xFFFFFFFFu);
    for (int32_t value : {-1, 9000, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}) {
        BigEndian::put_i32(record.data(), 8, value);
        EXPECT_EQ(BigEndian::get_i32(record.data(), 8), value);
    }
    for (float value : {-0.0f, 3.25f, -1e-30f, std::numeric_limits<float>::max(),
                        std::numeric_limits<float>::infinity()}) {
        BigEndian::put_float(record.data(), 2, value);
        float back = BigEndian::get_float(record.data(), 2);
        EXPECT_EQ(back, value);
        EXPECT_EQ(std::signbit(back), std::signbit(value));
    }
    BigEndian::put_float(record.data(), 0, std::numeric_limits<float>::quiet_NaN());
    EXPECT_TRUE(std::isnan(BigEndian::get_float(record.data(), 0)));
}

}  // namespace
