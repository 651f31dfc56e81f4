// Our SS7 signalling link against libss7, another implementation of MTP level 2 with an MTP level 3
// above it, over a frame channel in this process: both ends come into service, carry ISUP messages
// in order both ways, also when every tenth signal unit is lost, and tshark reads what crossed.

#include "foundation/protocol/protocols_family.h"
#include "foundation/tshark_fields.h"
#include "support/frozen_clock.h"
#include "support/temp_root.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#if TOVRASEL_HAVE_LIBSS7

#include "signalling/ss7_bridge.h"

namespace {

using namespace signallingtest;
using testsupport::FrozenClock;

// The layer above our link as far as libss7 needs one: it answers MTP3's signalling link test and
// traffic restart, tests the link from its side once the traffic restarts (libss7 routes nothing
// over a link before that), and keeps the circuits of the ISUP loop back acknowledgements it receives.
struct Mtp3Stub : ProtocolsFamily {
    static constexpr unsigned char national = 0x80, snm = 0, sntm = 1, isup = 5, sltm = 0x11, slta = 0x21, tra = 0x17,
                                   lpa = 0x24;

    Mtp3Stub() { add_protocol_tail(link); }
    void on_activated(Protocol*) override { ++activations; }
    void on_deactivated(Protocol*, Smart_pointer<Internal_protocol_status>) override { ++deactivations; }
    void on_message(Packet& msu) override
    {
        std::vector<unsigned char> octets(msu.data(), msu.data() + msu.length());
        const unsigned service = octets.size() >= 6 ? octets[0] & 0x0F : 0xFF;
        if ((service == sntm && octets[5] == sltm) || (service == snm && octets[5] == tra)) {
            // The answer goes back with the point codes swapped and the same test pattern.
            const uint32_t label = octets[1] | octets[2] << 8 | octets[3] << 16 | uint32_t(octets[4]) << 24;
            const uint32_t back = (label >> 14 & 0x3FFF) | (label & 0x3FFF) << 14 | (label & 0xF0000000);
            for (int i = 0; i < 4; ++i)
                octets[1 + i] = uint8_t(back >> (8 * i));
            if (service == sntm)
                octets[5] = slta;
            send(octets);
            if (service == snm) {
                octets[0] = national | sntm, octets[5] = sltm;
                send(octets);
            }
        } else if (octets.size() >= 8 && (octets[0] & 0x0F) == isup && octets[7] == lpa) {
            lpa_cics.push_back(octets[5] | (octets[6] & 0x0F) << 8);
        }
    }
    void send(const std::vector<unsigned char>& octets)
    {
        Packet p;
        prepare_head(p), p.put(octets.data(), unsigned(octets.size())), message(p);
    }
    // An ISUP loop back acknowledgement for a circuit, to libss7's point code.
    void send_lpa(unsigned cic)
    {
        const uint32_t label = Ss7Bridge::theirs | Ss7Bridge::ours << 14;
        send({uint8_t(national | isup), uint8_t(label), uint8_t(label >> 8), uint8_t(label >> 16), uint8_t(label >> 24),
              uint8_t(cic), uint8_t(cic >> 8), lpa});
    }

    SS7::SLC* const link = new SS7::SLC;  // owned by the family
    unsigned activations = 0, deactivations = 0;
    std::vector<int> lpa_cics;
};

// tshark's reading of the trace: no expert or malformed item, every length indicator as long as the
// signal unit (63 for longer ones) and every LSSU's status one of the four.
void expect_clean(const std::string& pcap)
{
    if (!foundationtest::tshark_available())
        GTEST_SKIP() << "tshark is not installed";
    FILE* tshark = popen(("tshark -r " + pcap + " --disable-protocol mtp3 -T fields -e frame.len -e mtp2.li -e mtp2.sf -e _ws.expert"
                          " -e _ws.malformed 2>/dev/null").c_str(), "r");
    unsigned frames = 0, lssus = 0;
    for (char text[256]; fgets(text, sizeof text, tshark); ++frames) {
        std::vector<std::string> fields;
        std::istringstream line(std::string(text, strcspn(text, "\n")));
        for (std::string field; std::getline(line, field, '\t');)
            fields.push_back(field);
        fields.resize(5);
        const unsigned length = unsigned(std::stoul(fields[0])), li = unsigned(std::stoul("0" + fields[1]));
        EXPECT_EQ(li, std::min(length - 3, 63u)) << text;
        if (length == 4) {
            ++lssus;
            EXPECT_LE(std::stoul("0" + fields[2]), 3u) << text;
        }
        EXPECT_EQ(fields[3] + fields[4], "") << text;
    }
    pclose(tshark);
    EXPECT_GT(frames, 100u);
    EXPECT_GT(lssus, 0u);
}

TEST(SlcLibss7, ComesIntoServiceAndCarriesMessagesInOrderBothWaysAlsoWhenSignalUnitsAreLost)
{
    testsupport::TempRoot dir;
    FrozenClock clock;
    Mtp3Stub mtp3;
    Ss7Bridge bridge(*mtp3.link, dir / "/mtp2.pcap");
    mtp3.link->emergency = true;
    mtp3.link->activate();
    ASSERT_TRUE(bridge.run_until([&] { return bridge.saw(SS7_EVENT_UP) && mtp3.link->state_id() == 5; }, 3000));

    for (bool dropping : {false, true}) {
        bridge.line.dropping = dropping;
        mtp3.lpa_cics.clear(), bridge.line.lpa_cics.clear();
        std::vector<int> cics;
        for (int cic = 1; cic <= 100; ++cic)
            cics.push_back(cic), mtp3.send_lpa(cic);
        // libss7 takes its messages once its MTP3 lets traffic through, a little after the link is up.
        int next = 1;
        EXPECT_TRUE(bridge.run_until([&] {
            while (next <= 100 && isup_lpa(bridge.line.ss7, next, Ss7Bridge::ours) == 0)
                ++next;
            return mtp3.lpa_cics.size() >= 100 && bridge.line.lpa_cics.size() >= 100;
        }, 20000)) << dropping;
        EXPECT_EQ(mtp3.lpa_cics, cics) << dropping;
        EXPECT_EQ(bridge.line.lpa_cics, cics) << dropping;
    }
    EXPECT_FALSE(bridge.saw(SS7_EVENT_DOWN) || bridge.saw(MTP2_LINK_DOWN));
    EXPECT_EQ(mtp3.activations, 1u);
    EXPECT_EQ(mtp3.deactivations, 0u);
    expect_clean(dir / "/mtp2.pcap");
}

}  // namespace

#else

TEST(SlcLibss7, Skipped) { GTEST_SKIP() << "libss7 is not installed"; }

#endif
