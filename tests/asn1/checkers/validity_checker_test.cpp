#include "asn1/runtime/invalid_value_tracer.h"
#include "asn1/runtime/validity_checker.h"

#include "asn1/coding.h"
#include "asn1/modules/LGCP.h"
#include "asn1/test_module.h"

#include <gtest/gtest.h>

#include <sstream>
#include <type_traits>

namespace {

using ASN1::detail::Allocator;

// Through the checkers, and through the members of the value's own kind where it has them.
template <class T>
void expectValidity(const T& value, bool valid, bool strictlyValid)
{
    const ASN1::AbstractData& data = value;
    EXPECT_EQ(data.isValid(), valid) << value;
    EXPECT_EQ(data.isStrictlyValid(), strictlyValid) << value;
    EXPECT_EQ(value.isValid(), valid) << value;
    EXPECT_EQ(value.isStrictlyValid(), strictlyValid) << value;
    if constexpr (std::is_base_of_v<ASN1::INTEGER, T>) {
        EXPECT_EQ(value.isStrictValid(), strictlyValid) << value;
    }
}

template <ASN1::ConstraintType Type, int Lower, unsigned Upper>
const ASN1::INTEGER::InfoType* range = &ASN1::Constrained_INTEGER<Type, Lower, Upper>::theInfo;

const ASN1::ConstrainedObject::InfoType Sized = {Allocator<ASN1::OCTET_STRING>::info(4), ASN1::FixedConstraint, 2, 4};
const ASN1::ConstrainedObject::InfoType SizedExtendable = {
    Allocator<ASN1::OCTET_STRING>::info(4), ASN1::ExtendableConstraint, 2, 4};
// One or two printable ASCII characters, extendable.
const ASN1::BMPString::InfoType Narrow = {
    {Allocator<ASN1::BMPString>::info(0x1e), ASN1::ExtendableConstraint, 1, 2}, 0x20, 0x7e, 16, 16};
struct OneOrTwo {
    static constexpr ASN1::ConstraintType type = ASN1::ExtendableConstraint;
    static constexpr int lowerLimit = 1;
    static constexpr unsigned upperLimit = 2;
};

TEST(ValidityCheckers, ValidWithinTheRootStrictlyValidOnlyThere)
{
    // Ranges: signed below, unsigned above an unsigned lower bound.
    expectValidity(ASN1::INTEGER(-1, range<ASN1::FixedConstraint, 0, 4294967295u>), true, true);
    expectValidity(ASN1::INTEGER(200, range<ASN1::FixedConstraint, -128, 127u>), false, false);
    expectValidity(ASN1::INTEGER(-1, range<ASN1::FixedConstraint, 1, 255u>), false, false);
    expectValidity(ASN1::INTEGER(8, range<ASN1::ExtendableConstraint, 0, 7u>), true, false);

    expectValidity(coding::read<TestModule::Dscp>("60"), true, false);  // extendable, root up to 56
    expectValidity(LGCP::TrunkMode(static_cast<LGCP::TrunkMode::NamedNumber>(2)), false, false);
    expectValidity(coding::read<LGCP::Response>("error : 13"), true, false);
    expectValidity(coding::read<TestModule::Pick>("octets : ''H"), true, false);  // an extension alternative
    expectValidity(TestModule::Pick(), false, false);  // nothing selected
    expectValidity(coding::read<TestModule::Pick>(R"(inner : { flag TRUE, label "\xe9" })"), false, false);

    expectValidity(ASN1::OCTET_STRING(1, 'x', &Sized), false, false);
    expectValidity(ASN1::OCTET_STRING(5, 'x', &SizedExtendable), true, false);
    expectValidity(ASN1::PrintableString(std::string("ok!")), false, false);
    expectValidity(ASN1::GeneralString(std::string("\xff\x01")), true, true);
    expectValidity(ASN1::BMPString(L"~ ", &Narrow), true, true);
    expectValidity(ASN1::BMPString(L"abc", &Narrow), true, false);
    expectValidity(ASN1::BMPString(L"", &Narrow), false, false);
    expectValidity(ASN1::BMPString(L"a\x7f", &Narrow), false, false);

    using Flags = ASN1::SEQUENCE_OF<ASN1::BOOLEAN, OneOrTwo>;
    expectValidity(coding::read<Flags>("{ TRUE, FALSE, TRUE }"), true, false);
    expectValidity(Flags(), false, false);
    expectValidity(coding::read<ASN1::SEQUENCE_OF<TestModule::Pick>>("{ number : 1, octets : ''H }"), true, false);

    // The hour 24 ends a day; the milliseconds are not judged.
    expectValidity(ASN1::GeneralizedTime(2024, 2, 29, 24, 0, 0, 999999, -720, false), true, true);
    expectValidity(ASN1::GeneralizedTime(2024, 13, 1, 0, 0, 0, 0, 0, false), false, false);
    expectValidity(ASN1::GeneralizedTime(2024, 1, 1, 0, 0, 0, 0, 721, true), false, false);

    expectValidity(ASN1::OpenData(), false, false);
    expectValidity(ASN1::OpenData(&ASN1::OpenData::theInfo, new ASN1::INTEGER(8, range<ASN1::ExtendableConstraint, 0, 7u>)),
                   true, false);
}

TEST(ValidityCheckers, BmpCharactersOutsideTheirRange)
{
    const ASN1::BMPString text(L"a~\x1f\x7f", &Narrow);
    EXPECT_TRUE(text.legalCharacter(L' '));
    EXPECT_FALSE(text.legalCharacter(L'\x7f'));
    EXPECT_EQ(text.first_illegal_at(), 2u);
    EXPECT_EQ(ASN1::BMPString(L"a~", &Narrow).first_illegal_at(), 2u);
}

// The tracer's description, empty for a value it finds valid.
std::string trace(const ASN1::AbstractData& value, const char* prefix = "")
{
    std::ostringstream os;
    const bool valid = ASN1::trace_invalid(os, prefix, value);
    EXPECT_EQ(valid, os.str().empty());
    return os.str();
}

TEST(ValidityCheckers, TracerNamesThePathToTheFault)
{
    LGCP::Message message;
    TERM::RtpParams& rtp = message.get_pdu().select_command().select_create().select_rtp().get_codecRTP();
    rtp.set_dname(std::string(64, 'd'));
    EXPECT_EQ(trace(message), "");
    rtp.set_dname(std::string(65, 'd'));
    EXPECT_EQ(trace(message, "message"),
              "message.pdu.command.create.rtp.codecRTP.dname This AbstractString has size 65 greater than its upper bound 64\n");
    // An absent field is not judged, whatever it holds.
    rtp.removeOptionalField(TERM::RtpParams::Optional::dname);
    EXPECT_EQ(trace(rtp), "");

    TestModule::Dscp beyond;
    beyond.setValue(TestModule::Dscp::beyond);
    EXPECT_EQ(trace(beyond), " This ENUMERATED has invalid value 60\n");
    EXPECT_EQ(trace(ASN1::BMPString(L"a\x1f", &Narrow)), " The character '31' is not valid for the string\n");
    EXPECT_EQ(trace(ASN1::GeneralizedTime(2024, 13, 1, 0, 0, 0, 0, 0, false)), " This GeneralizedTime is not valid\n");
}

TEST(ValidityCheckers, TracerSentencesOfEachKind)
{
    const ASN1::BIT_STRING::InfoType bitsInfo = {Allocator<ASN1::BIT_STRING>::info(3), ASN1::FixedConstraint, 2, 8};
    ASN1::BIT_STRING bits(&bitsInfo);
    bits.getValue().assign({'\x80'}, 1);
    TestModule::Pick unknown = coding::read<TestModule::Pick>("octets : ''H");
    using Flags = ASN1::SEQUENCE_OF<ASN1::BOOLEAN, OneOrTwo>;
    auto picks = coding::read<ASN1::SEQUENCE_OF<TestModule::Pick>>("{ number : 1, number : 2 }");
    picks[1] = TestModule::Pick();
    const std::pair<std::unique_ptr<ASN1::AbstractData>, const char*> cases[] = {
        {std::make_unique<ASN1::INTEGER>(200, range<ASN1::FixedConstraint, -128, 127u>),
         " The INTEGER value 200 is greater than upper bound 127\n"},
        {std::make_unique<ASN1::INTEGER>(-129, range<ASN1::FixedConstraint, -128, 127u>),
         " The INTEGER value -129 is smaller than lower bound -128\n"},
        // Read unsigned above an unsigned lower bound.
        {std::make_unique<ASN1::INTEGER>(-1, range<ASN1::FixedConstraint, 1, 255u>),
         " The INTEGER value 4294967295 is greater than upper bound 255\n"},
        {std::make_unique<ASN1::INTEGER>(8, range<ASN1::ExtendableConstraint, 0, 7u>), ""},
        {std::make_unique<ASN1::OCTET_STRING>(1, 'x', &Sized), " This OCTET STRING has size 1 smaller than its lower bound 2\n"},
        {std::make_unique<ASN1::OCTET_STRING>(5, 'x', &Sized), " This OCTET STRING has size 5 greater than its upper bound 4\n"},
        {std::make_unique<ASN1::BIT_STRING>(bits), " This BIT STRING has size 1 smaller than its lower bound 2\n"},
        {std::make_unique<ASN1::PrintableString>(std::string("ok!")), " The character '!' is not valid for the string\n"},
        {std::make_unique<ASN1::OBJECT_IDENTIFIER>(), " This OBJECT IDENTIFIER is not assigned\n"},
        {std::make_unique<ASN1::OpenData>(), " This Open Type does not contain any valid data\n"},
        {std::make_unique<ASN1::OpenData>(&ASN1::OpenData::theInfo, new TestModule::Pick()), " This CHOICE is not selected\n"},
        {std::make_unique<TestModule::Pick>(), " This CHOICE is not selected\n"},
        {std::make_unique<TestModule::Pick>(unknown), ""},
        {std::make_unique<Flags>(), " This SEQUENCE OF has size 0 smaller than its lower bound 1\n"},
        {std::make_unique<ASN1::SEQUENCE_OF<TestModule::Pick>>(picks), "[1] This CHOICE is not selected\n"},
    };
    for (const auto& [value, sentence] : cases)
        EXPECT_EQ(trace(*value), sentence) << *value;
}

}  // namespace
