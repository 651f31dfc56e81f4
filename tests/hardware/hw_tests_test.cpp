#include "board_control_harness.h"

#include "hardware/hw_mux.h"
#include "hardware/hw_tests.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using Strings = std::vector<std::string>;

const std::string success = "{ seq 4, pdu response : success : NULL }";
const std::string bus_error = "{ seq 4, pdu response : error : busError }";

std::string test_bpc(const std::string& mode, int bus, int seed, int start, int length)
{
    return "{ seq 4, pdu command : testBpc : { bus " + std::to_string(bus) + ", seed " + std::to_string(seed) +
           ", mode " + mode + " : NULL, timeslot-start " + std::to_string(start) + ", timeslot-length " +
           std::to_string(length) + " } }";
}

// The pattern the other end of the bus generates: the low bytes of random() after srandom(seed).
std::vector<int> pattern(unsigned seed, int length)
{
    srandom(seed);
    std::vector<int> bytes;
    for (int i = 0; i < length; ++i)
        bytes.push_back(static_cast<int>(random() & 0xFF));
    return bytes;
}

std::string hex(int byte)
{
    char text[4];
    std::snprintf(text, sizeof text, "%02X ", byte);
    return text;
}

class HwTestsTest : public boardtest::BoardControlTest {
protected:
    HwTestsTest()
    {
        make<HwTests>(mux);
        connect();
        board.clear_journal();
    }

    // What another party drives on a channel of the bus.
    void remote(int channel, int byte)
    {
        board.set("/dev/hal", "remote " + std::to_string(channel) + " " + std::to_string(byte));
    }

    HwMux mux;
};

TEST_F(HwTestsTest, ReadModeChecksWhatTheOtherEndDrives)
{
    std::vector<int> bytes = pattern(77, 4);
    for (int i = 0; i < 4; ++i)
        remote(15 * 128 + 8192 + 120 + i, bytes[i]);
    send(test_bpc("read", 15, 77, 120, 4));
    EXPECT_EQ(received(), Strings{success});
    Strings journal = requests("/dev/hal");
    ASSERT_EQ(journal.size(), 4u);
    EXPECT_EQ(journal[0], "read channel=10232 value=255 -> 0 byte=" + std::to_string(bytes[0]));

    // The last time slot floats.
    board.set("/dev/hal", "remote 10235 none");
    send(test_bpc("read", 15, 77, 120, 4));
    EXPECT_EQ(received(), Strings{bus_error});
    EXPECT_EQ(errors.text(), "bus 15: test failed on channel 123 expected " + hex(bytes[3]) + " read FF \n");
}

TEST_F(HwTestsTest, AnEmptyRunSucceedsWithoutTouchingTheSwitch)
{
    for (const char* mode : {"read", "write", "disconnect"})
        send(test_bpc(mode, 3, 1, 7, 0));
    EXPECT_EQ(received(), Strings(3, success));
    EXPECT_EQ(requests("/dev/hal"), Strings{});
}

}  // namespace
