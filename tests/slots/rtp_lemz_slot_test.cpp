// The LEMZ radio slots in each of their construction forms, on the emulated RTP and header-extension
// drivers: the extension session each form sets up, which side's packets a radio command becomes,
// and which slot repeats its reports (the factory's choice of form is the system test's).

#include "../hardware/emulated_device_test.h"
#include "rtp_session.h"

#include "foundation/reactor/clock.h"
#include "slots/rtp/rtp_lemz_slot.h"

#include <functional>
#include <memory>
#include <regex>

namespace {

using boardtest::Strings;
const char ext[] = "/dev/rtp_ext";

class LemzSlotTest : public boardtest::BoardTest {
protected:
    // The extension requests since the last call, without the open files they name.
    Strings extension_requests()
    {
        Strings lines = requests(ext, "RTP_EXT_");
        for (const std::string& line : requests("/dev/rtp", "RTP_ATTACH_EXT"))
            lines.push_back(line);
        // The descriptors of this process and the emulator's open files vary.
        for (std::string& line : lines)
            line = std::regex_replace(line, std::regex(" file=[0-9]+| rtp=file=[0-9]+| fd=[0-9]+ pid=-1"), "");
        board.clear_journal();
        return lines;
    }
    // The packet types written since the last call, in hexadecimal.
    Strings types()
    {
        Strings written;
        for (const testsupport::JournalEntry& entry : testsupport::device_entries(board, ext, "payload"))
            written.push_back(entry.fields.substr(entry.fields.find("bytes=") + 6, 2));
        board.clear_journal();
        return written;
    }
    static LGCP::IoctlParams radio_command(const std::string& params)
    {
        LGCP::IoctlParams ioctl;
        EXPECT_TRUE(ioctl.setFromValueNotation("rtpExt : lemz : { addr { session-addr \"10.0.0.9\", session-ssrc 1 }, "
                                               "params " + params + " }"));
        return ioctl;
    }
};

TEST_F(LemzSlotTest, EachFormSetsUpItsExtensionAndOnlyTheTimedGatewayRepeatsItsReports)
{
    const std::string remote = "{ remote { no 4, ch 6 } }";
    rtp_attach_session_params held{};
    BigEndian::put_u32(held.bytes.data(), 0, 7);
    BigEndian::put_u32(held.bytes.data(), 4, 300);
    const rtp_ext_init_params init{};
    using Make = std::function<RtpLEMZSlot*(slottest::RtpSession&)>;
    // How the slot is made, its name, the extension requests at creation (no process holds the
    // session named for another process: the slot is made without radio signalling), whether the
    // command it takes (a report on the gateway side, a command to a gateway on the other) is
    // written, and whether it repeats its reports.
    const std::tuple<Make, const char*, Strings, bool, bool> rows[] = {
        {[&](slottest::RtpSession& rtp) {
             return new RtpLEMZRadioGWSlot(rtp.channel, rtp.session, rtp.params, rtp.attach, init, true);
         },
         "rtp ext LEMZ (GW)",
         {"RTP_EXT_INIT type=0x00000000 settings=0,0,0,0 -> 0", "RTP_EXT_ATTACH -> 0"},
         true,
         true},
        {[&](slottest::RtpSession& rtp) {
             return new RtpLEMZRadioGWSlot(rtp.channel, rtp.session, rtp.params, rtp.attach, init, false);
         },
         "rtp ext LEMZ (GW)",
         {"RTP_EXT_INIT type=0x00000000 settings=0,0,0,0 -> 0", "RTP_EXT_ATTACH -> 0"},
         true,
         false},
        {[&](slottest::RtpSession& rtp) { return new RtpLEMZRadioGWSlot(rtp.channel, rtp.session, rtp.params, held); },
         "rtp ext LEMZ (GW)",
         {"RTP_ATTACH_EXT fd=7 pid=300 -> -1 EBADF"},
         false,
         false},
        {[&](slottest::RtpSession& rtp) { return new RtpLEMZRadioGWSlot(rtp.channel, rtp.session, rtp.params, init); },
         "rtp ext LEMZ (GW)",
         {"RTP_EXT_INIT type=0x00000000 settings=0,0,0,0 -> 0"},
         true,
         false},
        {[&](slottest::RtpSession& rtp) {
             return new RtpLEMZRadioWSSlot(rtp.channel, rtp.session, rtp.params, rtp.attach, init);
         },
         "rtp ext LEMZ (WS)",
         {"RTP_EXT_INIT type=0x00000000 settings=0,0,0,0 -> 0", "RTP_EXT_ATTACH -> 0"},
         true,
         false},
        {[&](slottest::RtpSession& rtp) { return new RtpLEMZRadioWSSlot(rtp.channel, rtp.session, rtp.params, held); },
         "rtp ext LEMZ (WS)",
         {"RTP_ATTACH_EXT fd=7 pid=300 -> -1 EBADF"},
         false,
         false},
        {[&](slottest::RtpSession& rtp) { return new RtpLEMZRadioWSSlot(rtp.channel, rtp.session, rtp.params, init); },
         "rtp ext LEMZ (WS)",
         {"RTP_EXT_INIT type=0x00000000 settings=0,0,0,0 -> 0"},
         true,
         false},
    };
    for (const auto& [make, name, set_up, writes, repeats] : rows) {
        board.clear_journal();
        slottest::RtpSession rtp;
        board.clear_journal();
        std::unique_ptr<RtpLEMZSlot> slot(make(rtp));
        const bool gateway = std::string(name) == "rtp ext LEMZ (GW)";
        EXPECT_EQ(slot->GetName(), std::string(name));
        EXPECT_EQ(extension_requests(), set_up) << name;
        EXPECT_TRUE(slot->Ioctl(radio_command(gateway ? "wm-remote : " + remote : "gw-set-remote : " + remote)));
        EXPECT_EQ(types(), writes ? Strings{gateway ? "86" : "0A"} : Strings{}) << name;
        // A second and more later: the periodic reports, if any.
        Mux::set_clock_offset_for_tests(1500 * 1000);
        testsupport::run_reactor_for(50);
        Mux::set_clock_offset_for_tests(0);
        EXPECT_EQ(!types().empty(), repeats) << name;
        slot->IBeforeDestroy();
    }
}

}  // namespace
