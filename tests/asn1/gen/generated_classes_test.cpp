// The accessors of the generated message classes for optional fields and CHOICEs.

// The C library's macros and functions of names the modules use too (read, write, close, signal,
// major, minor) come first: the generated headers must compile beside them.
#include <csignal>
#include <sys/sysmacros.h>
#include <unistd.h>

#include "asn1/modules/ACP.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/TERM.h"

#include <gtest/gtest.h>

namespace {

TEST(GeneratedClasses, OptionalFieldsAreIncludedByWritesAndReadAsDefaultsWhenAbsent)
{
    LGCP::Message message;
    const LGCP::Message& reader = message;
    EXPECT_EQ(reader.get_seq().getValue(), 0);
    EXPECT_EQ(message.getField(0), nullptr);  // a read creates nothing
    message.set_seq(7);
    EXPECT_TRUE(message.hasOptionalField(LGCP::Message::Optional::seq));
    EXPECT_EQ(reader.get_seq().getValue(), 7);
    message.removeOptionalField(LGCP::Message::Optional::seq);
    EXPECT_EQ(reader.get_seq().getValue(), 0);  // absent reads as the default again

    TERM::RtpParams rtp;
    EXPECT_EQ(rtp.get_dname().getValue(), "");  // the non-const read includes it
    EXPECT_TRUE(rtp.hasOptionalField(TERM::RtpParams::Optional::dname));
}

TEST(GeneratedClasses, ChoiceAccessReadsOnlyTheSelectedAlternativeOfItsClass)
{
    LGCP::Command command;
    EXPECT_EQ(command.get_ping(), nullptr);
    command.select_ping();
    EXPECT_NE(command.get_ping(), nullptr);
    EXPECT_EQ(command.get_query(), nullptr);
    // A value of the wrong class under an index is not handed out as the alternative's class.
    command.setSelection(LGCP::Command::create, new ASN1::INTEGER(3));
    EXPECT_EQ(command.get_create(), nullptr);
}

}  // namespace
