#include "asn1/runtime/invalid_value_tracer.h"
#include "asn1/runtime/validity_checker.h"

#include "asn1/test_module.h"
#include "asn1/modules/LGCP.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using ASN1::detail::Allocator;

// The tracer's description, empty for a value it finds valid.
std::string trace(const ASN1::AbstractData& value)
{
    std::ostringstream os;
    const bool valid = ASN1::trace_invalid(os, "", value);
    EXPECT_EQ(valid, os.str().empty());
    return valid ? "" : os.str().substr(0, os.str().size() - 1);
}

template <ASN1::ConstraintType Type, int Lower, unsigned Upper>
ASN1::INTEGER integer(int value)
{
    return ASN1::INTEGER(value, &ASN1::Constrained_INTEGER<Type, Lower, Upper>::theInfo);
}

TEST(ValidityCheckers, IntegerRanges)
{
    EXPECT_TRUE(ASN1::INTEGER(-1).isValid());
    EXPECT_TRUE(ASN1::INTEGER(-1).isStrictlyValid());
    EXPECT_TRUE((integer<ASN1::FixedConstraint, 0, 4294967295u>(-1).isStrictlyValid()));
    EXPECT_TRUE((integer<ASN1::FixedConstraint, -128, 127u>(-1).isStrictlyValid()));

    const auto tooBig = integer<ASN1::FixedConstraint, -128, 127u>(200);
    EXPECT_FALSE(tooBig.isValid());
    EXPECT_EQ(trace(tooBig), " The INTEGER value 200 is greater than upper bound 127");
    EXPECT_EQ(trace(integer<ASN1::FixedConstraint, -128, 127u>(-129)), " The INTEGER value -129 is smaller than lower bound -128");
    EXPECT_EQ(trace(integer<ASN1::FixedConstraint, 1, 255u>(0)), " The INTEGER value 0 is smaller than lower bound 1");
    EXPECT_EQ(trace(integer<ASN1::FixedConstraint, 1, 255u>(-1)), " The INTEGER value 4294967295 is greater than upper bound 255");

    const auto extended = integer<ASN1::ExtendableConstraint, 0, 7u>(8);
    EXPECT_TRUE(extended.isValid());
    EXPECT_FALSE(extended.isStrictlyValid());
    EXPECT_EQ(trace(extended), "");
}

TEST(ValidityCheckers, EnumerationsAndChoices)
{
    TestModule::Dscp dscp;  // extendable, root up to 56
    dscp.setValue(60);
    EXPECT_TRUE(dscp.isValid());
    EXPECT_FALSE(dscp.isStrictlyValid());
    EXPECT_EQ(trace(dscp), " This ENUMERATED has invalid value 60");
    dscp.setValue(-1);
    EXPECT_FALSE(dscp.isValid());
    LGCP::TrunkMode mode;
    mode.setValue(2);
    EXPECT_FALSE(mode.isValid());

    TestModule::Pick pick;
    EXPECT_FALSE(pick.isValid());
    EXPECT_FALSE(pick.isStrictlyValid());
    EXPECT_EQ(trace(pick), " This CHOICE is not selected");
    pick.createSelection(7);
    EXPECT_EQ(trace(pick), " This selection is not understood by this decoder");
    pick.setSelection(TestModule::Pick::octets, new ASN1::OCTET_STRING);  // an extension alternative
    EXPECT_TRUE(pick.isValid());
    EXPECT_FALSE(pick.isStrictlyValid());
    auto* cause = new LGCP::ErrorCause;
    cause->setValue(13);
    const LGCP::Response response(&LGCP::Response::theInfo, LGCP::Response::error, cause);
    EXPECT_TRUE(response.isValid());
    EXPECT_FALSE(response.isStrictlyValid());
    EXPECT_EQ(trace(response), ".error This ENUMERATED has invalid value 13");
}

TEST(ValidityCheckers, GeneralizedTime)
{
    EXPECT_TRUE(ASN1::GeneralizedTime(2024, 1, 31, 24, 0, 0, 999, 720, false).isStrictlyValid());
    const ASN1::GeneralizedTime month13(2024, 13, 1, 0, 0, 0, 0, 0, true);
    EXPECT_FALSE(month13.isValid());
    EXPECT_EQ(trace(month13), " This GeneralizedTime is not valid");
    EXPECT_FALSE(ASN1::GeneralizedTime(2024, 1, 1, 0, 0, 0, 0, -721, false).isValid());
    EXPECT_EQ(trace(ASN1::GeneralizedTime(2024, 1, 1, 0, 0, 0, 0, 0, true)), "");
}

const ASN1::ConstrainedObject::InfoType Sized = {{&Allocator<ASN1::OCTET_STRING>::create, 4}, ASN1::FixedConstraint, 2, 4};
const ASN1::ConstrainedObject::InfoType SizedExtendable = {
    {&Allocator<ASN1::OCTET_STRING>::create, 4}, ASN1::ExtendableConstraint, 2, 4};
const ASN1::ConstrainedObject::InfoType SizedBits = {{&Allocator<ASN1::BIT_STRING>::create, 3}, ASN1::FixedConstraint, 2, 4};
const ASN1::BMPString::InfoType VisibleBmp = {
    {{&Allocator<ASN1::BMPString>::create, 0x1e}, ASN1::Unconstrained, 0, 0xffffffffu}, 0x20, 0x7e, 16, 16};

TEST(ValidityCheckers, SizesAndCharacters)
{
    EXPECT_EQ(trace(ASN1::OCTET_STRING(1, 'x', &Sized)), " This OCTET STRING has size 1 smaller than its lower bound 2");
    EXPECT_EQ(trace(ASN1::OCTET_STRING(5, 'x', &Sized)), " This OCTET STRING has size 5 greater than its upper bound 4");
    EXPECT_TRUE(ASN1::OCTET_STRING(4, 'x', &Sized).isStrictlyValid());
    EXPECT_TRUE(ASN1::OCTET_STRING(5, 'x', &SizedExtendable).isValid());
    EXPECT_FALSE(ASN1::OCTET_STRING(5, 'x', &SizedExtendable).isStrictlyValid());
    ASN1::BIT_STRING bits(&SizedBits);
    bits.getValue().resize(1);
    EXPECT_EQ(trace(bits), " This BIT STRING has size 1 smaller than its lower bound 2");

    EXPECT_EQ(trace(ASN1::PrintableString(std::string("ok!"))), " The character '!' is not valid for the string");
    EXPECT_EQ(trace(ASN1::NumericString(std::string("12\x01"))), " The character '\\x01' is not valid for the string");
    EXPECT_TRUE(ASN1::GeneralString(std::string("\xff\x01")).isStrictlyValid());
    EXPECT_EQ(trace(ASN1::BMPString(L"ok\x0416", &VisibleBmp)), " The character '1046' is not valid for the string");
    EXPECT_FALSE(ASN1::BMPString(L"\x7f", &VisibleBmp).isValid());

    EXPECT_EQ(trace(ASN1::OBJECT_IDENTIFIER()), " This OBJECT IDENTIFIER is not assigned");
    EXPECT_EQ(trace(ASN1::OpenData()), " This Open Type does not contain any valid data");
    ASN1::OpenData encoded;
    encoded.setBuf({1});
    EXPECT_TRUE(encoded.isStrictlyValid());
}

// Named ::= SEQUENCE { list SEQUENCE (SIZE (0..3)) OF IA5String (SIZE (1..64)) }
const ASN1::SEQUENCE_OF_Base::InfoType DnameList = {
    {{&Allocator<ASN1::SEQUENCE_OF_Base>::create, 0x10}, ASN1::FixedConstraint, 0, 3}, &TERM::RtpParams::dname::value_type::theInfo};
const ASN1::AbstractData::InfoType* const namedInfos[] = {&DnameList};
const int namedIds[] = {-1};
const char* const namedNames[] = {"list"};
const ASN1::SEQUENCE::InfoType Named = {
    {&Allocator<ASN1::SEQUENCE>::create, 0x10}, false, namedInfos, namedIds, 1, 0, 0, nullptr, nullptr, namedNames};

TEST(ValidityCheckers, TracerNamesThePathToTheFault)
{
    ASN1::SEQUENCE named(&Named);
    auto& list = named.field<ASN1::SEQUENCE_OF_Base>(0);
    list.resize(3);
    for (unsigned i = 0; i < 3; ++i)
        static_cast<ASN1::IA5String&>(list[i]).setValue("name");
    EXPECT_TRUE(named.isStrictlyValid());
    static_cast<ASN1::IA5String&>(list[2]).setValue(std::string(65, 'n'));
    EXPECT_FALSE(named.isValid());
    std::ostringstream os;
    EXPECT_FALSE(ASN1::trace_invalid(os, "params", named));
    EXPECT_EQ(os.str(), "params.list[2] This AbstractString has size 65 greater than its upper bound 64\n");
    list.resize(4);
    EXPECT_EQ(trace(named), ".list This SEQUENCE OF has size 4 greater than its upper bound 3");
}

TEST(ValidityCheckers, RtpParamsDnameTooLong)
{
    LGCP::Message message;
    TERM::RtpParams& rtp = message.get_pdu().select_command().select_create().select_rtp().get_codecRTP();
    rtp.set_dname(std::string(64, 'd'));
    EXPECT_TRUE(rtp.isStrictlyValid());
    rtp.set_dname(std::string(65, 'd'));
    EXPECT_FALSE(rtp.isValid());
    EXPECT_FALSE(rtp.isStrictlyValid());
    EXPECT_EQ(trace(rtp), ".dname This AbstractString has size 65 greater than its upper bound 64");
    EXPECT_EQ(trace(message), ".pdu.command.create.rtp.codecRTP.dname This AbstractString has size 65 greater than its upper bound 64");

    // An absent field is not judged, whatever it holds.
    rtp.removeOptionalField(1);
    EXPECT_EQ(trace(rtp), "");
}

}  // namespace
