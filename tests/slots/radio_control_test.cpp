// The radio control base and the radio slot base with a protocol of the test's own, on the emulated
// header-extension driver: which packets of a burst are handled, the source filter, and the
// session attached to the slot's RTP session, with its filter, across a payload change.

#include "../hardware/emulated_device_test.h"

#include "rtp_session.h"

#include "slots/rtp/radio_control.h"
#include "slots/rtp/rtp_ext_slot.h"

#include <arpa/inet.h>
#include <regex>

namespace {

using boardtest::Strings;
const char ext[] = "/dev/rtp_ext";

// Payloads are a kind letter and a digit; the kind 'X' does not decode. Two packets are the same
// when kind and SSRC are.
class TestControl : public RTPSignalling::RadioControl {
public:
    using RadioControl::RadioControl;
    using RadioControl::statistics;

    void OnRtpExtEvent(int, short revents) override { ReadPackets(revents); }

    std::string handled;  // "<payload>@<ssrc> " per packet handled

private:
    int DecodePacket(const uint8_t* payload, int length, uint32_t ssrc, uint32_t) override
    {
        if (payload[0] == 'X')
            return -8;
        current = std::string(reinterpret_cast<const char*>(payload), length) + "@" + std::to_string(ssrc);
        return 0;
    }
    bool PacketDiffers() const override { return held[0] != current[0] || held.substr(2) != current.substr(2); }
    void HoldPacket() override { held = current; }
    void HandlePacket() override { handled += held + " "; }

    std::string current, held;
};

// The lines without the open files they name.
Strings without_files(Strings lines)
{
    for (std::string& line : lines)
        line = std::regex_replace(line, std::regex(" file=[0-9]+"), "");
    return lines;
}

class RadioControlTest : public boardtest::BoardTest { };

TEST_F(RadioControlTest, ARunOfEqualPacketsIsHandledOnceAsItsLastAndAChangeHandsTheEarlierOneOn)
{
    TestControl control(rtp_ext_init_params{});
    // A payload whose SSRC is "-" comes without its packet information: the request about it fails,
    // so its sender is unknown and it is never taken for the same as the packet before.
    const std::pair<Strings, std::string> bursts[] = {{{"A1 1", "A2 1", "B1 2"}, "A2@1 B1@2 "},
                                                      {{"A1 1", "A2 1", "A3 1"}, "A3@1 "},
                                                      {{"A1 1", "A2 2"}, "A1@1 A2@2 "},
                                                      {{"A1 1", "X2 1", "A3 1"}, "A3@1 "},
                                                      {{"X1 1"}, ""},
                                                      {{"A1 1", "A2 -"}, "A1@1 A2@0 "},
                                                      {{"A1 0", "A2 -"}, "A1@0 A2@0 "}};
    uint32_t bytes = 0;
    for (const auto& [packets, handled] : bursts) {
        for (const std::string& packet : packets) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "%02X%02X", packet[0], packet[1]);
            board.set(ext, "packet " + packet.substr(3) + " 10.0.0.1 " + hex);
            bytes += 2;
        }
        control.handled.clear();
        ASSERT_TRUE(testsupport::run_reactor_until([&] { return control.statistics.bytesRead == bytes; }));
        EXPECT_EQ(control.handled, handled) << packets.at(0);
    }
    EXPECT_EQ(control.statistics.lastDecodeError, -8);
}

TEST_F(RadioControlTest, TheSourceFilterIsAskedForOnlyOnAChangeAndARefusedOneIsAskedForAgain)
{
    TestControl control(rtp_ext_init_params{});
    in_addr first{inet_addr("10.0.0.5")}, second{inet_addr("10.0.0.6")};
    const std::tuple<bool, in_addr, const char*> steps[] = {
        {false, first, nullptr}, {true, first, nullptr},   {true, first, nullptr},  {true, second, "EIO"},
        {true, second, nullptr}, {false, second, nullptr}, {false, second, nullptr}};
    for (auto [set, address, refusal] : steps) {
        if (refusal)
            board.fail(ext, 0xC0084504, EIO);
        EXPECT_FALSE(control.UpdateAccess(set, address));
    }
    EXPECT_EQ(without_files(requests(ext, "RTP_EXT_")),
              (Strings{"RTP_EXT_INIT type=0x00000000 settings=0,0,0,0 -> 0", "RTP_EXT_FILTER address=10.0.0.5 -> 0",
                       "RTP_EXT_FILTER -> -1 EIO", "RTP_EXT_FILTER address=10.0.0.6 -> 0",
                       "RTP_EXT_UNFILTER address=0.0.0.0 -> 0"}));
    EXPECT_NE(errors.text().find(":set filer rtp_ext session fail !!!\n"), std::string::npos);
}

class TestSlot : public RtpExtSlot {
public:
    TestSlot(int channel, Fd session, const rtp_connection_params& params, const rtp_ext_attach_session_params& attach,
             const rtp_ext_init_params& init)
        : RtpExtSlot(channel, session, params, attach, init)
    {
        control = new TestControl(channel, attach, init);
    }
    RTPSignalling::RadioControl& radio() { return *control; }
};

TEST_F(RadioControlTest, APayloadChangeReopensTheExtensionOnTheNewRtpSessionWithItsFilterOrAnswersTheFailure)
{
    slottest::RtpSession rtp;
    auto* slot = new TestSlot(rtp.channel, rtp.session, rtp.params, rtp.attach, rtp_ext_init_params{});
    rtp.session.close();
    const in_addr sender{inet_addr("10.0.0.5")};
    slot->radio().UpdateAccess(true, sender);

    // A payload change begins a new session; the extension attaches to it and still accepts the one sender.
    LGCP::IoctlParams change;
    change.select_encoder_mode().setValue(LGCP::CodecMode::alaw);
    board.clear_journal();
    EXPECT_TRUE(slot->Ioctl(change));
    const Strings begun = requests("/dev/rtp", "RTP_BEGIN"), attached = requests(ext, "RTP_EXT_");
    ASSERT_EQ(begun.size(), 1u);
    ASSERT_EQ(attached.size(), 4u);
    EXPECT_EQ(attached[0].substr(0, 15), "RTP_EXT_DETACH ");
    EXPECT_EQ(attached[2].substr(attached[2].find(" -> ")),
              " -> 0 rtp=" + begun[0].substr(10, begun[0].find(' ', 10) - 10));
    EXPECT_EQ(without_files({attached[3]}), Strings{"RTP_EXT_FILTER address=10.0.0.5 -> 0"});

    // An extension session that cannot be opened again, or not with its filter, fails the change; the
    // filter that a new session refused is asked for again.
    for (const char* refused : {"0xC0144500", "0xC0084501", "0xC0084504"}) {
        board.command(std::string("fail /dev/rtp_ext ") + refused + " EIO");
        EXPECT_FALSE(slot->Ioctl(change)) << refused;
    }
    board.clear_journal();
    slot->radio().UpdateAccess(true, sender);
    EXPECT_EQ(without_files(requests(ext, "RTP_EXT_FILTER")), Strings{"RTP_EXT_FILTER address=10.0.0.5 -> 0"});

    slot->IBeforeDestroy();
    delete slot;
}

}  // namespace
