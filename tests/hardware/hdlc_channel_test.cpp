// HDLC channels on the real reactor against the emulated channel controller and TDM switch. The
// switch is the process's one HwMux, bound to the emulator of the first test that uses it: each
// test runs in a process of its own, as CTest runs them.

#include "emulated_device_test.h"

#include "hardware/hdlc.h"
#include "board/hw_mux.h"
#include "server/trace_ctl.h"

#include <cerrno>
#include <chrono>
#include <thread>

namespace {

using namespace testsupport;
using Strings = std::vector<std::string>;

constexpr const char* mcc = "/dev/mcc/ctl";
constexpr uint32_t allocate_code = 0x40144D00;
constexpr uint32_t timeslot_code = 0x20004D02;

class Owner : public HDLC::Notify {
public:
    void on_hdlc_receive(Packet& frame) override
    {
        frames.push_back(frame.text());
        if (close_on_receive)
            channel->deactivate();
    }
    void on_hdlc_error(Cause::Type cause) override { errors.push_back(cause); }
    void on_hdlc_ready() override { ++ready; }

    HDLC* channel = nullptr;
    bool close_on_receive = false;
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

size_t count(const std::string& text, const std::string& part)
{
    size_t found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

class HdlcChannel : public boardtest::EmulatedDeviceTest {
protected:
    HdlcChannel() : EmulatedDeviceTest(mcc)
    {
        channel.id = 3;
        channel.timeslot = 1;
        channel.notify = &owner;
        owner.channel = &channel;
        HwMux::instance();  // its opening sweep is not what these tests look at
        board.clear_journal();
    }
    ~HdlcChannel() override { traces.hdlc = false; }

    // Waits for what the emulator reports to come true; the daemon side's writes and closes reach
    // it on their own time.
    template <class Condition>
    bool eventually(Condition condition)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }

    size_t frames_written() { return device_entries(board, mcc, "frame").size(); }
    bool closed_on_board() { return !device_entries(board, mcc, "close").empty(); }

    Owner owner;
    HDLC channel;
};

TEST_F(HdlcChannel, BasicRateChannelIsPatchedCarriesFramesAndPushesBack)
{
    board.set(mcc, "next-timeslot 300");
    channel.mode = 2;
    channel.tdm_a = 5;
    channel.tdm_b = 6;
    traces.hdlc = true;
    ASSERT_TRUE(channel.activate());
    EXPECT_TRUE(channel.is_open());
    EXPECT_FALSE(channel.is_ready());
    EXPECT_EQ(requests(),
              (Strings{"MCC_ALLOCATE type=1 word1=512 word2=0 word3=1 word4=4 -> 0", "MCC_TIMESLOT -> 300"}));
    EXPECT_EQ(device_requests(board, "/dev/hal"),
              (Strings{"connect output=6 source=300 -> 0", "connect output=300 source=5 -> 0"}));

    // Two frames waiting in the driver are both delivered in the first report, in order, before
    // the channel reports itself ready.
    board.push(mcc, {0x01, 0x02});
    board.push(mcc, {0x03});
    ASSERT_TRUE(run_reactor_until([&] { return owner.ready == 1; }));
    EXPECT_EQ(owner.frames, (Strings{"01 02", "03"}));
    EXPECT_EQ(count(debug.text(), "hdlc [3/1]: do_read\n"), 1u);
    EXPECT_NE(debug.text().find("HDLC[3]: rx 01 02\n"), std::string::npos);
    EXPECT_EQ(channel.rxSU, 2u);
    run_reactor_for(30);
    EXPECT_EQ(owner.ready, 1);  // a ready channel is not polled for writability

    Packet out = frame({0xAA, 0xBB});
    EXPECT_TRUE(channel.hdlc_transmit(out));
    EXPECT_NE(debug.text().find("HDLC[3]: tx AA BB\n"), std::string::npos);
    ASSERT_TRUE(eventually([&] { return frames_written() == 1; }));
    std::string written = device_entries(board, mcc, "frame")[0].fields;
    EXPECT_NE(written.find(" timeslot=300 bytes=AABB"), std::string::npos) << written;

    // The driver stops taking frames: the refused one is dropped, and exactly one ready report
    // follows once it drains again.
    board.set_draining(mcc, false);
    Packet large = frame(std::vector<uint8_t>(1000, 0x55));
    unsigned taken = 0;
    while (channel.hdlc_transmit(large))
        ASSERT_LT(++taken, 100000u);
    EXPECT_GT(taken, 0u);
    EXPECT_FALSE(channel.is_ready());
    run_reactor_for(30);
    EXPECT_EQ(owner.ready, 1);
    board.set_draining(mcc, true);
    ASSERT_TRUE(run_reactor_until([&] { return owner.ready == 2; }));
    run_reactor_for(30);
    EXPECT_EQ(owner.ready, 2);
    EXPECT_TRUE(channel.is_ready());
    EXPECT_TRUE(eventually([&] { return frames_written() == 1 + taken; }));

    // The driver ends the channel.
    board.end_of_file(mcc);
    ASSERT_TRUE(run_reactor_until([&] { return !owner.errors.empty(); }));
    EXPECT_EQ(owner.errors, (std::vector<int>{HDLC::Notify::Cause::read_failed}));
    EXPECT_FALSE(channel.is_open());
    EXPECT_FALSE(channel.is_ready());
    EXPECT_NE(errors.text().find("hdlc [3/1]: read error: end of file\n"), std::string::npos);
    EXPECT_NE(debug.text().find("hdlc [3/1]: deactivated\n"), std::string::npos);
    EXPECT_TRUE(eventually([&] { return closed_on_board(); }));
    EXPECT_FALSE(channel.hdlc_transmit(out));

    EXPECT_EQ(channel.txSU, 1 + taken);
    EXPECT_EQ(channel.txDiscard, 1u);
    EXPECT_EQ(channel.txError, 0u);
    EXPECT_EQ(channel.txOverflow, 0u);
    EXPECT_EQ(channel.rxSU, 2u);
}

TEST_F(HdlcChannel, OtherModesPatchLineTimeSlotABothWaysAndReactivationStartsAfresh)
{
    board.set(mcc, "next-timeslot 300");
    channel.mode = 0;
    channel.tdm_a = 5;
    channel.tdm_b = 6;
    ASSERT_TRUE(channel.activate());
    ASSERT_TRUE(run_reactor_until([&] { return owner.ready == 1; }));
    Packet out = frame({0x7E});
    ASSERT_TRUE(channel.hdlc_transmit(out));

    board.set(mcc, "next-timeslot 301");
    channel.mode = 1;
    traces.hdlc = true;
    ASSERT_TRUE(channel.activate());
    EXPECT_EQ(channel.txSU, 0u);
    EXPECT_EQ(device_requests(board, "/dev/hal"),
              (Strings{"connect output=5 source=300 -> 0", "connect output=300 source=5 -> 0",
                       "connect output=5 source=301 -> 0", "connect output=301 source=5 -> 0"}));
    Strings allocations;
    for (const JournalEntry& entry : device_entries(board, mcc, "MCC_ALLOCATE"))
        allocations.push_back(entry.fields);
    EXPECT_EQ(allocations, (Strings{"type=3 word1=512 word2=0 word3=1 word4=4", "type=0 word1=512 word2=0 word3=1 word4=4"}));
    EXPECT_NE(debug.text().find("hdlc [3/1]: deactivated\nhdlc [3/1]: activated\n"), std::string::npos);
    // The first controller channel was given back before the second was taken.
    EXPECT_TRUE(eventually([&] { return board.state(mcc) == Strings{"file=3 type=0 timeslot=301 words=512,0,1,4"}; }));
    ASSERT_TRUE(run_reactor_until([&] { return owner.ready == 2; }));
}

TEST_F(HdlcChannel, AReceiverThatClosesTheChannelEndsTheDrainQuietly)
{
    channel.mode = 1;
    ASSERT_TRUE(channel.activate());
    owner.close_on_receive = true;
    board.push(mcc, {0x10});
    board.push(mcc, {0x20});
    ASSERT_TRUE(run_reactor_until([&] { return !owner.frames.empty(); }));
    run_reactor_for(30);
    EXPECT_EQ(owner.frames, (Strings{"10"}));
    EXPECT_TRUE(owner.errors.empty());
    EXPECT_EQ(owner.ready, 0);
    EXPECT_FALSE(channel.is_open());
    EXPECT_EQ(errors.text(), "");

    channel.do_read();
    EXPECT_NE(debug.text().find("hdlc [3/1]: do_read: !m_event.IsActive()\n"), std::string::npos);
}

TEST_F(HdlcChannel, EmptyFramesAreTakenAndAClosedChannelDiscards)
{
    Packet none;
    Packet empty;
    empty.reserve_head(0);
    EXPECT_TRUE(channel.hdlc_transmit(none));
    EXPECT_TRUE(channel.hdlc_transmit(empty));
    EXPECT_EQ(channel.txDiscard, 0u);
    Packet out = frame({1});
    EXPECT_FALSE(channel.hdlc_transmit(out));
    EXPECT_EQ(channel.txDiscard, 1u);
    EXPECT_EQ(channel.txSU, 0u);

    // Unbound, the channel's reports go nowhere.
    channel.unbind();
    EXPECT_NE(channel.notify, &owner);
    channel.mode = 2;
    ASSERT_TRUE(channel.activate());
    run_reactor_for(30);
    EXPECT_TRUE(channel.is_ready());
    EXPECT_EQ(owner.ready, 0);
}

TEST_F(HdlcChannel, ActivationFailuresAreLoggedAndLeaveTheChannelClosed)
{
    channel.mode = 3;
    EXPECT_FALSE(channel.activate());
    EXPECT_EQ(errors.text(), "hdlc [3/1]: unknown mode 3\n");
    EXPECT_TRUE(board.journal().empty());

    channel.mode = 1;
    board.set_absent(mcc, true);
    EXPECT_FALSE(channel.activate());
    board.set_absent(mcc, false);
    board.fail(mcc, allocate_code, EBUSY);
    EXPECT_FALSE(channel.activate());
    board.fail(mcc, timeslot_code, ENXIO);
    EXPECT_FALSE(channel.activate());
    EXPECT_FALSE(channel.is_open());
    EXPECT_EQ(errors.text(), "hdlc [3/1]: unknown mode 3\n"
                             "hdlc [3/1]: fail to open MCC device: No such file or directory\n"
                             "hdlc [3/1]: MCC_ALLOCATE fail: Device or resource busy\n"
                             "hdlc [3/1]: MCC_TIMESLOT fail: No such device or address\n");
    EXPECT_TRUE(eventually([&] { return device_entries(board, mcc, "close").size() == 2; }));
    EXPECT_TRUE(device_requests(board, "/dev/hal").empty());
}

}  // namespace
