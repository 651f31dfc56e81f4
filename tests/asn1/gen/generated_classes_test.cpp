// The generated message classes: their tables, names, accessors and descriptors.

// The C library's macros and functions of the colliding names come first, so that the generated
// headers must live with them.
#include <csignal>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "asn1/modules/ACP.h"
#include "asn1/modules/CCP.h"
#include "asn1/modules/LEMZGW.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/MON.h"
#include "asn1/modules/TERM.h"

#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::string> names_of(const char* const* names, unsigned count)
{
    return std::vector<std::string>(names, names + count);
}

TEST(GeneratedClasses, MessageTablesFollowTheDefinition)
{
    const auto& info = LGCP::Message::theInfo;
    EXPECT_FALSE(info.extendable);
    EXPECT_EQ(info.numRootFields, 3u);
    EXPECT_EQ(info.numKnownExtensions, 0u);
    EXPECT_EQ(info.numOptionalFields, 2u);
    EXPECT_EQ(names_of(LGCP::Message::fieldNames, 3), (std::vector<std::string>{"seq", "slot", "pdu"}));
    EXPECT_EQ(std::vector<int>(LGCP::Message::fieldIds, LGCP::Message::fieldIds + 3), (std::vector<int>{0, 1, -1}));
    EXPECT_EQ(info.fieldInfos[2], &LGCP::PDU::theInfo);

    const auto& slot = *static_cast<const ASN1::ConstrainedObject::InfoType*>(info.fieldInfos[1]);
    EXPECT_EQ(slot.type, ASN1::FixedConstraint);
    EXPECT_EQ(slot.lowerLimit, 0);
    EXPECT_EQ(slot.upperLimit, 1023u);

    const auto& command = LGCP::Command::theInfo;
    EXPECT_TRUE(command.extendable);
    EXPECT_EQ(command.numRootAlternatives, 15u);
    EXPECT_EQ(command.numAlternatives, 15u);
    EXPECT_STREQ(LGCP::Command::selectionNames[LGCP::Command::ping], "ping");
    EXPECT_EQ(LGCP::Command::ping, 12);
    EXPECT_STREQ(LGCP::CreateParams::selectionNames[LGCP::CreateParams::trunk_bri], "trunk_bri");
    EXPECT_STREQ(LGCP::CreateParams::selectionNames[LGCP::CreateParams::ats_qsig_b], "ats-qsig-b");
    EXPECT_EQ(LGCP::Signal::protoLemz, 18);
}

TEST(GeneratedClasses, ExtensionAdditionsFollowTheRootFields)
{
    const auto& info = TERM::TermParams::theInfo;
    EXPECT_TRUE(info.extendable);
    EXPECT_EQ(info.numRootFields, 6u);
    EXPECT_EQ(info.numKnownExtensions, 13u);
    EXPECT_EQ(info.numOptionalFields, 6u);
    EXPECT_STREQ(TERM::TermParams::fieldNames[6], "traceLevel");
    EXPECT_STREQ(TERM::TermParams::fieldNames[18], "radio-command");

    // The first addition has the id numOptionalFields and its presence is extension bit 0.
    TERM::TermParams params;
    params.set_traceLevel(3);
    EXPECT_TRUE(params.hasOptionalField(6));
    EXPECT_EQ(params.extensionMap().size(), 1u);
    EXPECT_EQ(params.get_traceLevel().getValue(), 3);
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
    EXPECT_FALSE(TERM::IpQoSDSCP::theInfo.extendable);
    EXPECT_EQ(TERM::IpQoSDSCP::ef, 46);

    EXPECT_EQ(names_of(TERM::RadioStandby_enum_names__, 3), (std::vector<std::string>{"not-use=-1", "active", "standby"}));
    EXPECT_EQ(TERM::RadioStandby::theInfo.maxEnumValue, 1);
    EXPECT_EQ(TERM::RadioStandby::not_use, -1);

    EXPECT_EQ(TERM::ED137CauseCode::theInfo.nameCount, 17u);
    EXPECT_STREQ(TERM::ED137CauseCode_enum_names__[0], "radio-session-pre-emption=2000");
    EXPECT_STREQ(TERM::ED137CauseCode_enum_names__[16], "radio-no-permissions=2099");
    EXPECT_EQ(TERM::ED137CauseCode::theInfo.maxEnumValue, 2099);

    EXPECT_EQ(LEMZGW::ProtoLemzMsgID::theInfo.nameCount, 66u);
    EXPECT_STREQ(LEMZGW::ProtoLemzMsgID_enum_names__[0], "gw-get-id=4097");
    EXPECT_STREQ(LEMZGW::ProtoLemzMsgID_enum_names__[1], "gw-keep-alive");
    EXPECT_STREQ(LEMZGW::ProtoLemzMsgID_enum_names__[65], "ali-server-p1=13056");
    EXPECT_EQ(LEMZGW::ProtoLemzMsgID::theInfo.maxEnumValue, 13056);
    EXPECT_TRUE(LEMZGW::ProtoLemzMsgID::theInfo.extendable);

    EXPECT_EQ(names_of(LEMZGW::ProtoLemzAnalogGainIDV1_enum_names__, 16),
        (std::vector<std::string>{"rtx1", "rr1", "rc1", "rrx1", "rtx2", "rr2", "rc2", "rrx2", "rdoc1", "rdoc2", "rsh",
            "fake=255", "min=0", "max=10", "mux", "spi"}));
    EXPECT_EQ(LEMZGW::ProtoLemzAnalogGainIDV1::min, LEMZGW::ProtoLemzAnalogGainIDV1::rtx1);

    TERM::IpQoSDSCP dscp(TERM::IpQoSDSCP::cs7);
    EXPECT_EQ(dscp.getName(), "cs7");
    dscp.setValue(23);
    EXPECT_EQ(dscp.getName(), "count");
    dscp.setValue(2);
    EXPECT_EQ(dscp.getName(), "");
}

TEST(GeneratedClasses, SettersTakeTheFieldKindsValue)
{
    TERM::RadioFlags flags;
    flags.set_prio(-3);
    flags.set_vad_tx(true);
    flags.set_li(600);  // stored unchecked; the coder refuses it
    EXPECT_EQ(flags.get_prio().getValue(), -3);
    EXPECT_TRUE(flags.get_vad_tx().getValue());
    EXPECT_EQ(flags.get_li().getValue(), 600u);

    TERM::RadioModifierAddr addr;
    addr.set_session_addr("10.0.0.1");
    addr.set_session_ssrc(4294967295u);
    EXPECT_EQ(addr.get_session_addr().getValue(), "10.0.0.1");
    EXPECT_EQ(addr.get_session_ssrc().getValue(), 4294967295u);

    TERM::RadioCommandWMStandby standby;
    standby.set_state_channel(TERM::RadioStandby::standby);
    EXPECT_EQ(standby.get_state_channel().getValue(), TERM::RadioStandby::standby);

    TERM::RadioCommandWMSelCall selcall;
    selcall.set_flags(flags);
    EXPECT_EQ(selcall.get_flags().compare(flags), 0);

    LGCP::HdlcPackage package;
    package.set_body({'\x01', '\x02'});
    EXPECT_EQ(package.get_body().getValue(), (std::vector<char>{'\x01', '\x02'}));

    CCP::Message ccp;
    ccp.set_protocolIdentifier({1, 3, 6, 1});
    EXPECT_EQ(ccp.get_protocolIdentifier().getValue(), (std::vector<unsigned>{1, 3, 6, 1}));
}

TEST(GeneratedClasses, OptionalFieldsAreIncludedByWritesAndReadAsDefaultsWhenAbsent)
{
    LGCP::Message message;
    EXPECT_EQ(message.getField(0), nullptr);
    EXPECT_EQ(message.getField(1), nullptr);
    ASSERT_NE(message.getField(2), nullptr);

    message.includeOptionalField(1, 1);
    EXPECT_TRUE(message.hasOptionalField(1));
    EXPECT_NE(message.getField(1), nullptr);

    const LGCP::Message& reader = message;
    EXPECT_EQ(reader.get_seq().getValue(), 0);
    EXPECT_EQ(message.getField(0), nullptr);  // a read creates nothing
    EXPECT_FALSE(message.hasOptionalField(0));

    message.set_seq(7);
    EXPECT_TRUE(message.hasOptionalField(0));
    EXPECT_EQ(reader.get_seq().getValue(), 7);
    message.removeOptionalField(0);
    EXPECT_EQ(reader.get_seq().getValue(), 0);  // absent reads as the default again

    TERM::RtpParams rtp;
    EXPECT_EQ(rtp.get_dname().getValue(), "");
    EXPECT_TRUE(rtp.hasOptionalField(1));
    rtp.set_dname("radio");
    const auto& dname = static_cast<const TERM::RtpParams&>(rtp).get_dname();
    EXPECT_EQ(dname.getValue(), "radio");
    EXPECT_EQ(dname.info(), &TERM::RtpParams::dname::value_type::theInfo);
    EXPECT_EQ(dname.info()->lowerLimit, 1);
    EXPECT_EQ(dname.info()->upperLimit, 64u);
}

TEST(GeneratedClasses, ChoiceAccessReadsOnlyTheSelectedAlternativeOfItsClass)
{
    LGCP::Command command;
    EXPECT_EQ(command.get_ping(), nullptr);
    command.select_ping();
    EXPECT_NE(command.get_ping(), nullptr);
    EXPECT_EQ(command.get_query(), nullptr);
    EXPECT_EQ(command.currentSelection(), LGCP::Command::ping);

    command.select_connect() = 5u;
    ASSERT_NE(command.get_connect(), nullptr);
    EXPECT_EQ(command.get_connect()->getValue(), 5u);

    // A value of the wrong class under an index (as a hostile decoder input could never make,
    // but a careless caller could) is not handed out as the alternative's class.
    command.setSelection(LGCP::Command::create, new ASN1::INTEGER(3));
    EXPECT_EQ(command.get_create(), nullptr);

    LGCP::Signal signal(&LGCP::Signal::theInfo, LGCP::Signal::protoLemz, new LEMZGW::ProtoLemzPackets);
    ASSERT_NE(signal.get_protoLemz(), nullptr);
    EXPECT_TRUE(signal.get_protoLemz()->get_packets().empty());
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

TEST(GeneratedClasses, ClonesKeepTheirGeneratedClass)
{
    LGCP::Message message;
    message.set_seq(7);
    message.get_pdu().select_command().select_create().select_rtp().get_codecRTP().set_dname("x");
    std::unique_ptr<ASN1::AbstractData> copy(message.clone());
    auto* typed = dynamic_cast<LGCP::Message*>(copy.get());
    ASSERT_NE(typed, nullptr);
    EXPECT_EQ(typed->compare(message), 0);
    const LGCP::CreateParams* create = typed->get_pdu().get_command()->get_create();
    ASSERT_NE(create, nullptr);
    EXPECT_EQ(create->get_rtp()->get_codecRTP().get_dname().getValue(), "x");
}

// Walks the descriptors from a root, making a default value of each to learn its kind, and
// counts the generated classes met: every SEQUENCE, CHOICE and ENUMERATED, and the sized string.
class DescriptorWalk {
public:
    explicit DescriptorWalk(const ASN1::AbstractData::InfoType& root) { walk(&root); }

    std::size_t classes() const { return classes_; }

private:
    void walk(const ASN1::AbstractData::InfoType* info)
    {
        if (!seen_.insert(info).second)
            return;
        const std::unique_ptr<ASN1::AbstractData> value(info->create(info));
        ASSERT_EQ(value->info(), info);
        if (auto* seq = dynamic_cast<ASN1::SEQUENCE*>(value.get())) {
            ++classes_;
            const auto& s = *seq->info();
            for (unsigned i = 0; i < s.numRootFields + s.numKnownExtensions; ++i)
                walk(s.fieldInfos[i]);
        } else if (auto* choice = dynamic_cast<ASN1::CHOICE*>(value.get())) {
            ++classes_;
            for (unsigned i = 0; i < choice->info()->numAlternatives; ++i)
                walk(choice->info()->selectionInfos[i]);
        } else if (dynamic_cast<ASN1::ENUMERATED*>(value.get())) {
            ++classes_;
        } else if (auto* list = dynamic_cast<ASN1::SEQUENCE_OF_Base*>(value.get())) {
            walk(list->info()->elementInfo);
        } else if (auto* text = dynamic_cast<ASN1::AbstractString*>(value.get())) {
            classes_ += text->info()->type != ASN1::Unconstrained;
        }
    }

    std::set<const ASN1::AbstractData::InfoType*> seen_;
    std::size_t classes_ = 0;
};

TEST(GeneratedClasses, EveryTypeAMessageMayHoldIsThere)
{
    EXPECT_EQ(DescriptorWalk(LGCP::Message::theInfo).classes(), 331u);
    EXPECT_EQ(DescriptorWalk(MON::Message::theInfo).classes(), 19u);
}

}  // namespace
