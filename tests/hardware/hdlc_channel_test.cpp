// HDLC channels on the real reactor against the emulated channel controller and TDM switch. The
// switch is the process's one HwMux, made afresh by each test and bound to that test's emulator.

#include "emulated_device_test.h"

#include "hardware/hdlc.h"
#include "board/hw_mux.h"
#include "foundation/packet/pool_test_support.h"

#include <cerrno>

namespace {

using namespace testsupport;
using Strings = std::vector<std::string>;

constexpr const char* mcc = "/dev/mcc/ctl";

class Owner : public HDLC::Notify {
public:
    void on_hdlc_receive(Packet& frame) override
    {
        frames.push_back(frame.text());
        if (closing)
            closing->deactivate();
    }
    void on_hdlc_error(Cause::Type cause) override { errors.push_back(cause); }
    void on_hdlc_ready() override { ++ready; }

    HDLC* closing = nullptr;  // the channel to close on a frame
    Strings frames;
    std::vector<int> errors;
    int ready = 0;
};

Packet frame(const std::vector<uint8_t>& bytes)
{
    Packet packet;
    packet.reserve_head(0);
    packet.put(bytes.data(), static_cast<unsigned>(bytes.size()));
    return packet;
}

class HdlcChannel : public boardtest::EmulatedDeviceTest {
protected:
    HdlcChannel() : EmulatedDeviceTest(mcc)
    {
        channel.id = 3;
        channel.timeslot = 1;
        channel.tdm_a = 5;
        channel.tdm_b = 6;
        channel.notify = &owner;
        HwMux::instance();  // its opening sweep is not what these tests look at
        board.set(mcc, "next-timeslot 300");
        board.clear_journal();
    }

    size_t entries(const char* request) { return device_entries(board, mcc, request).size(); }

    Owner owner;
    HDLC channel;
};

TEST_F(HdlcChannel, BasicRateChannelIsPatchedCarriesFramesAndPushesBack)
{
    channel.mode = 2;
    ASSERT_TRUE(channel.activate());
    EXPECT_EQ(requests(),
              (Strings{"MCC_ALLOCATE type=1 word1=512 word2=0 word3=1 word4=4 -> 0", "MCC_TIMESLOT -> 300"}));
    EXPECT_EQ(device_requests(board, "/dev/hal"),
              (Strings{"connect output=6 source=300 -> 0", "connect output=300 source=5 -> 0"}));

    // Frames waiting in the driver are all delivered, in order, before the channel reports itself
    // ready; empty frames are taken without a write.
    board.push(mcc, {0x01, 0x02});
    board.push(mcc, {0x03});
    ASSERT_TRUE(run_reactor_until([&] { return owner.ready == 1; }));
    EXPECT_EQ(owner.frames, (Strings{"01 02", "03"}));
    Packet none, empty = frame({}), out = frame({0xAA, 0xBB});
    EXPECT_TRUE(channel.hdlc_transmit(none) && channel.hdlc_transmit(empty) && channel.hdlc_transmit(out));
    ASSERT_TRUE(run_reactor_until([&] { return entries("frame") == 1; }));
    EXPECT_NE(device_entries(board, mcc, "frame")[0].fields.find(" timeslot=300 bytes=AABB"), std::string::npos);

    // The driver stops taking frames: the refused one is dropped, and exactly one ready report
    // follows once it drains again.
    board.set_draining(mcc, false);
    Packet large = frame(std::vector<uint8_t>(1000, 0x55));
    unsigned taken = 0;
    while (channel.hdlc_transmit(large))
        ASSERT_LT(++taken, 100000u);
    EXPECT_FALSE(channel.is_ready());
    run_reactor_for(30);
    EXPECT_EQ(owner.ready, 1);
    board.set_draining(mcc, true);
    ASSERT_TRUE(run_reactor_until([&] { return owner.ready == 2; }));
    run_reactor_for(30);
    EXPECT_EQ(owner.ready, 2);
    EXPECT_TRUE(run_reactor_until([&] { return entries("frame") == 1 + taken; }));

    // The driver ends the channel.
    board.end_of_file(mcc);
    ASSERT_TRUE(run_reactor_until([&] { return !owner.errors.empty(); }));
    EXPECT_EQ(owner.errors, (std::vector<int>{HDLC::Notify::Cause::read_failed}));
    EXPECT_TRUE(logged(errors, "hdlc [3/1]: read error: end of file"));
    EXPECT_TRUE(run_reactor_until([&] { return entries("close") == 1; }));
    EXPECT_FALSE(channel.hdlc_transmit(out));
    EXPECT_EQ(channel.txSU, 1 + taken);
    EXPECT_EQ(channel.txDiscard, 1u);
}

TEST_F(HdlcChannel, ActivationFailuresLeaveTheChannelClosedAReactivationStartsAfreshAndItsOwnerMayCloseIt)
{
    channel.mode = 3;
    EXPECT_FALSE(channel.activate());
    EXPECT_TRUE(board.journal().empty());

    channel.mode = 1;
    board.set_absent(mcc, true);
    EXPECT_FALSE(channel.activate());
    board.set_absent(mcc, false);
    board.fail(mcc, 0x40144D00, EBUSY);  // allocate
    EXPECT_FALSE(channel.activate());
    board.fail(mcc, 0x20004D02, ENXIO);  // time slot
    EXPECT_FALSE(channel.activate());
    EXPECT_EQ(errors.text(), "hdlc [3/1]: unknown mode 3\n"
                             "hdlc [3/1]: fail to open MCC device: No such file or directory\n"
                             "hdlc [3/1]: MCC_ALLOCATE fail: Device or resource busy\n"
                             "hdlc [3/1]: MCC_TIMESLOT fail: No such device or address\n");
    EXPECT_TRUE(run_reactor_until([&] { return entries("close") == 2; }));
    EXPECT_TRUE(device_requests(board, "/dev/hal").empty());
    EXPECT_EQ(device_entries(board, mcc, "MCC_ALLOCATE").back().fields.substr(0, 6), "type=0");  // primary-rate D

    // The other modes patch line time slot A both ways; activating again gives the first channel back.
    channel.mode = 0;  // SS7: controller channel type 3
    for (const char* next : {"next-timeslot 300", "next-timeslot 301"}) {
        board.set(mcc, next);
        ASSERT_TRUE(channel.activate());
    }
    EXPECT_EQ(device_requests(board, "/dev/hal"),
              (Strings{"connect output=5 source=300 -> 0", "connect output=300 source=5 -> 0",
                       "connect output=5 source=301 -> 0", "connect output=301 source=5 -> 0"}));
    EXPECT_TRUE(run_reactor_until([&] { return board.state(mcc).size() == 1; }));
    EXPECT_NE(board.state(mcc).at(0).find(" type=3 timeslot=301 "), std::string::npos);

    // An owner that closes the channel on a frame ends the drain there, quietly.
    owner.closing = &channel;
    board.push(mcc, {0x10});
    board.push(mcc, {0x20});
    ASSERT_TRUE(run_reactor_until([&] { return !owner.frames.empty(); }));
    run_reactor_for(30);
    EXPECT_EQ(owner.frames, Strings{"10"});
    EXPECT_TRUE(owner.errors.empty());
}

TEST_F(HdlcChannel, AFrameThatFindsThePacketPoolDryIsReadAndDroppedAndCountedAndTheNextOneDelivered)
{
    channel.mode = 2;
    ASSERT_TRUE(channel.activate());
    ASSERT_TRUE(run_reactor_until([&] { return owner.ready == 1; }));
    {
        std::vector<Packet> pool = packettest::drain_pool();
        board.push(mcc, {0x01});
        ASSERT_TRUE(run_reactor_until([&] { return channel.rxDropped == 1; }));
    }
    board.push(mcc, {0x02});
    ASSERT_TRUE(run_reactor_until([&] { return !owner.frames.empty(); }));
    EXPECT_EQ(owner.frames, Strings{"02"});
    EXPECT_EQ(channel.rxSU, 1u);
    EXPECT_TRUE(logged(errors, "hdlc [3/1]: packet pool exhausted, received frame dropped (1 so far)"));
}

}  // namespace
