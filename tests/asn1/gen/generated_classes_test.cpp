// The generated message classes: their tables, names, accessors and descriptors.

// The C library's macros and functions of the colliding names come first, so that the generated
// headers must live with them.
#include <csignal>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "asn1/modules/ACP.h"
#include "asn1/modules/LEMZGW.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/TERM.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> names_of(const char* const* names, unsigned count)
{
    return std::vector<std::string>(names, names + count);
}

TEST(GeneratedClasses, AdditionsFollowTheRootFieldsAndSetTheirExtensionBits)
{
    EXPECT_STREQ(LGCP::CreateParams::selectionNames[LGCP::CreateParams::ats_qsig_b], "ats-qsig-b");
    EXPECT_EQ(TERM::TermParams::theInfo.numRootFields, 6u);
    EXPECT_STREQ(TERM::TermParams::fieldNames[18], "radio-command");
    // The first addition has the id numOptionalFields and its presence is extension bit 0.
    TERM::TermParams params;
    params.set_traceLevel(3);
    EXPECT_TRUE(params.hasOptionalField(6));
    EXPECT_EQ(params.extensionMap().size(), 1u);
    params.set_radio_command(TERM::RadioCommand());
    EXPECT_EQ(params.extensionMap().size(), 13u);
    EXPECT_TRUE(params.extensionMap()[12]);
}

TEST(GeneratedClasses, NamesTablesCarryNumbersExactlyWhereTheyJump)
{
    EXPECT_EQ(names_of(TERM::IpQoSDSCP_enum_names__, TERM::IpQoSDSCP::theInfo.nameCount),
        (std::vector<std::string>{"cs0", "le", "cs1=8", "af11=10", "af12=12", "af13=14", "cs2=16", "af21=18", "af22=20",
            "af23=22", "cs3=24", "af31=26", "af32=28", "af33=30", "cs4=32", "af41=34", "af42=36", "af43=38", "cs5=40",
            "voice-admit=44", "ef=46", "cs6=48", "cs7=56", "count=23"}));
    EXPECT_EQ(TERM::IpQoSDSCP::theInfo.maxEnumValue, 56);
    EXPECT_EQ(names_of(TERM::RadioStandby_enum_names__, 3), (std::vector<std::string>{"not-use=-1", "active", "standby"}));
    EXPECT_EQ(TERM::RadioStandby::theInfo.maxEnumValue, 1);
    EXPECT_EQ(TERM::RadioStandby::not_use, -1);
    EXPECT_STREQ(TERM::ED137CauseCode_enum_names__[16], "radio-no-permissions=2099");

    EXPECT_EQ(LEMZGW::ProtoLemzMsgID::theInfo.nameCount, 66u);
    EXPECT_STREQ(LEMZGW::ProtoLemzMsgID_enum_names__[0], "gw-get-id=4097");
    EXPECT_STREQ(LEMZGW::ProtoLemzMsgID_enum_names__[1], "gw-keep-alive");
    EXPECT_EQ(LEMZGW::ProtoLemzMsgID::theInfo.maxEnumValue, 13056);
    EXPECT_EQ(names_of(LEMZGW::ProtoLemzAnalogGainIDV1_enum_names__, 16),
        (std::vector<std::string>{"rtx1", "rr1", "rc1", "rrx1", "rtx2", "rr2", "rc2", "rrx2", "rdoc1", "rdoc2", "rsh",
            "fake=255", "min=0", "max=10", "mux", "spi"}));
}

TEST(GeneratedClasses, AccessorsOfTheParts)
{
    TERM::RadioFlags flags;
    flags.set_vad_tx(true);
    flags.set_li(600);  // stored unchecked; the coder refuses it
    EXPECT_TRUE(flags.get_vad_tx().getValue());
    EXPECT_EQ(flags.get_li().getValue(), 600u);
    TERM::RadioModifierAddr addr;
    addr.set_session_addr("10.0.0.1");
    addr.set_session_ssrc(4294967295u);
    EXPECT_EQ(addr.get_session_addr().getValue(), "10.0.0.1");
    EXPECT_EQ(addr.get_session_ssrc().getValue(), 4294967295u);

    LGCP::Message message;
    message.includeOptionalField(1, 1);
    EXPECT_TRUE(message.hasOptionalField(1));
    EXPECT_NE(message.getField(1), nullptr);
}

TEST(GeneratedClasses, OptionalFieldsAreIncludedByWritesAndReadAsDefaultsWhenAbsent)
{
    LGCP::Message message;
    const LGCP::Message& reader = message;
    EXPECT_EQ(reader.get_seq().getValue(), 0);
    EXPECT_EQ(message.getField(0), nullptr);  // a read creates nothing
    message.set_seq(7);
    EXPECT_TRUE(message.hasOptionalField(0));
    EXPECT_EQ(reader.get_seq().getValue(), 7);
    message.removeOptionalField(0);
    EXPECT_EQ(reader.get_seq().getValue(), 0);  // absent reads as the default again

    TERM::RtpParams rtp;
    EXPECT_EQ(rtp.get_dname().getValue(), "");  // the non-const read includes it
    EXPECT_TRUE(rtp.hasOptionalField(1));
    rtp.set_dname("radio");
    const auto& dname = static_cast<const TERM::RtpParams&>(rtp).get_dname();
    EXPECT_EQ(dname.getValue(), "radio");
    EXPECT_EQ(dname.info(), &TERM::RtpParams::dname::value_type::theInfo);
    EXPECT_EQ(dname.info()->upperLimit, 64u);
}

TEST(GeneratedClasses, ChoiceAccessReadsOnlyTheSelectedAlternativeOfItsClass)
{
    LGCP::Command command;
    EXPECT_EQ(command.get_ping(), nullptr);
    command.select_ping();
    EXPECT_NE(command.get_ping(), nullptr);
    EXPECT_EQ(command.get_query(), nullptr);
    command.select_connect() = 5u;
    ASSERT_NE(command.get_connect(), nullptr);
    EXPECT_EQ(command.get_connect()->getValue(), 5u);
    // A value of the wrong class under an index is not handed out as the alternative's class.
    command.setSelection(LGCP::Command::create, new ASN1::INTEGER(3));
    EXPECT_EQ(command.get_create(), nullptr);
}

TEST(GeneratedClasses, NamesOfTheCLibraryStayClassScoped)
{
    EXPECT_EQ(LGCP::BpcTestMode::read, 0);
    EXPECT_EQ(LGCP::BpcTestMode::write, 1);
    EXPECT_EQ(LGCP::CasCommandSignal::close, 1);
    EXPECT_EQ(LGCP::PDU::signal, 2);
    EXPECT_EQ(TERM::TermSignal::info_, 2);
    ACP::BoardVersion version;
    version.set_major(2);
    version.set_minor(5);
    EXPECT_EQ(version.get_major().getValue() * 10 + version.get_minor().getValue(), 25);
    // The C library's own macro still works beside them.
    EXPECT_EQ(major(makedev(8, 1)), 8u);
}

}  // namespace
