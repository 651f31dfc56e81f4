#include "foundation/os/big_endian.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

TEST(BigEndian, WritesAndReadsTheBoardsByteOrderAtTheOffsetOnly)
{
    std::array<uint8_t, 12> record;
    record.fill(0xEE);
    BigEndian::put_u16(record.data(), 1, 0x1234);
    BigEndian::put_u32(record.data(), 3, 0x80084D02);
    BigEndian::put_u8(record.data(), 7, 0x5A);
    BigEndian::put_i32(record.data(), 8, -2);
    EXPECT_EQ(record, (std::array<uint8_t, 12>{0xEE, 0x12, 0x34, 0x80, 0x08, 0x4D, 0x02, 0x5A, 0xFF, 0xFF, 0xFF, 0xFE}));
    EXPECT_EQ(BigEndian::get_u16(record.data(), 1), 0x1234);
    EXPECT_EQ(BigEndian::get_u32(record.data(), 3), 0x80084D02u);
    EXPECT_EQ(BigEndian::get_u8(record.data(), 7), 0x5A);
    EXPECT_EQ(BigEndian::get_i32(record.data(), 8), -2);
    // IEEE 754 single precision 1.5 is 0x3FC00000; the sign of zero survives.
    BigEndian::put_float(record.data(), 0, 1.5f);
    EXPECT_EQ(BigEndian::get_u32(record.data(), 0), 0x3FC00000u);
    BigEndian::put_float(record.data(), 2, -0.0f);
    EXPECT_TRUE(std::signbit(BigEndian::get_float(record.data(), 2)));
    EXPECT_EQ(BigEndian::get_float(record.data(), 2), 0.0f);
}

}  // namespace
