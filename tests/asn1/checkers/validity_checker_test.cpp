#include "asn1/runtime/invalid_value_tracer.h"
#include "asn1/runtime/validity_checker.h"

#include "asn1/coding.h"
#include "asn1/modules/LGCP.h"
#include "asn1/test_module.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using ASN1::detail::Allocator;

void expectValidity(const ASN1::AbstractData& value, bool valid, bool strictlyValid)
{
    EXPECT_EQ(value.isValid(), valid) << value;
    EXPECT_EQ(value.isStrictlyValid(), strictlyValid) << value;
}

template <ASN1::ConstraintType Type, int Lower, unsigned Upper>
const ASN1::INTEGER::InfoType* range = &ASN1::Constrained_INTEGER<Type, Lower, Upper>::theInfo;

const ASN1::ConstrainedObject::InfoType Sized = {{&Allocator<ASN1::OCTET_STRING>::create, 4}, ASN1::FixedConstraint, 2, 4};
const ASN1::ConstrainedObject::InfoType SizedExtendable = {
    {&Allocator<ASN1::OCTET_STRING>::create, 4}, ASN1::ExtendableConstraint, 2, 4};

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

    expectValidity(ASN1::OCTET_STRING(1, 'x', &Sized), false, false);
    expectValidity(ASN1::OCTET_STRING(5, 'x', &SizedExtendable), true, false);
    expectValidity(ASN1::PrintableString(std::string("ok!")), false, false);
    expectValidity(ASN1::GeneralString(std::string("\xff\x01")), true, true);

    expectValidity(ASN1::OpenData(), false, false);
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
    rtp.removeOptionalField(1);
    EXPECT_EQ(trace(rtp), "");
}

}  // namespace
