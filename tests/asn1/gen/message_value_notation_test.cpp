// Controller messages of the generated classes in value notation: printed with << and read back
// with >>, which the generated headers bring along, as the test controller does.

#include "message_samples.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::string print(const ASN1::AbstractData& value)
{
    std::ostringstream text;
    text << value;
    EXPECT_TRUE(text.good());
    return text.str();
}

// The printed message reads back, through the stream operator, into an equal message that
// prints the same text.
void expect_reads_back(const LGCP::Message& message)
{
    const std::string text = print(message);
    SCOPED_TRACE(text);
    std::istringstream input(text);
    LGCP::Message back;
    ASSERT_TRUE(input >> back);
    EXPECT_EQ(back.compare(message), 0);
    EXPECT_EQ(print(back), text);
}

TEST(MessageValueNotation, PrintsTheThreeMessagesLineByLine)
{
    const std::vector<LGCP::Message> three = samples::threeMessages();
    EXPECT_EQ(print(three[0]), "{\n  seq 7,\n  slot 12,\n  pdu response : success : NULL\n}");
    EXPECT_EQ(print(three[1]), "{\n  seq 7,\n  pdu response : error : unexpectedMsgType\n}");
    EXPECT_EQ(print(three[2]), "{\n  seq 3,\n  pdu command : trunkCfg : {\n    trunk 1,\n    mode master\n  }\n}");
    for (const LGCP::Message& message : three)
        expect_reads_back(message);
}

TEST(MessageValueNotation, EveryMessageFilledReadsBack)
{
    LGCP::Message create;
    create.set_seq(7);
    create.get_pdu().select_command().select_create().select_rtp().get_codecRTP().set_dname("x");
    expect_reads_back(create);
    for (const LGCP::Message& message : samples::filledMessages())
        expect_reads_back(message);
}

}  // namespace
