#include "per_test_schema.h"
#include "per_test_support.h"

#include "asn1/runtime/coder_env.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>

namespace {

using PerTest::bytes;

// The octets of value under rule, appended to prefix; empty when encoding fails.
std::vector<char> encodeWithRule(int rule, const ASN1::AbstractData& value, std::vector<char> prefix = {})
{
    ASN1::CoderEnv env;
    env.encodingRule = rule;
    const std::size_t before = prefix.size();
    const bool ok = ASN1::encode(value, &env, std::back_inserter(prefix));
    EXPECT_EQ(ok, prefix.size() > before);
    return prefix;
}

bool decodeWithRule(int rule, const std::vector<char>& input, ASN1::AbstractData& value)
{
    ASN1::CoderEnv env;
    env.encodingRule = rule;
    return ASN1::decode(input.data(), input.data() + input.size(), &env, value, true);
}

TEST(CoderEnv, PackedRuleIsTheDefaultAndAppendsToTheCallersOctets)
{
    EXPECT_EQ(ASN1::CoderEnv().encodingRule, ASN1::CoderEnv::perRule);
    EXPECT_EQ(encodeWithRule(ASN1::CoderEnv::perRule, PerSchema::pingMessage(7), bytes({0x03, 0x00})),
              bytes({0x03, 0x00, 0x80, 0x01, 0x07, 0x18}));
}

TEST(CoderEnv, FailuresWriteNothing)
{
    ASN1::SEQUENCE unselected = PerSchema::newMessage();
    PerSchema::setSeq(unselected, 1);
    EXPECT_TRUE(encodeWithRule(ASN1::CoderEnv::perRule, unselected).empty());
    ASN1::SEQUENCE message = PerSchema::newMessage();
    EXPECT_FALSE(decodeWithRule(ASN1::CoderEnv::perRule, {}, message));

    const ASN1::SEQUENCE ping = PerSchema::pingMessage(7);
    EXPECT_TRUE(encodeWithRule(7, ping).empty());
    EXPECT_FALSE(decodeWithRule(7, bytes({0x80, 0x01, 0x07, 0x18}), message));
    std::vector<char> out;
    EXPECT_FALSE(ASN1::encode(ping, nullptr, std::back_inserter(out)));
    EXPECT_TRUE(out.empty());
}

TEST(CoderEnv, EachRuleReachesItsCoder)
{
    for (const ASN1::SEQUENCE& original : {PerSchema::pingMessage(7), PerSchema::errorMessage(9, 300, PerSchema::destroyInProgress)}) {
        for (int rule : {ASN1::CoderEnv::valueNotationRule, ASN1::CoderEnv::berRule, ASN1::CoderEnv::perRule}) {
            SCOPED_TRACE(rule);
            const std::vector<char> octets = encodeWithRule(rule, original);
            ASN1::SEQUENCE back = PerSchema::newMessage();
            ASSERT_TRUE(decodeWithRule(rule, octets, back));
            EXPECT_EQ(back, original);
        }
    }
    const std::vector<char> text = encodeWithRule(ASN1::CoderEnv::valueNotationRule, PerSchema::pingMessage(7));
    EXPECT_NE(std::string(text.begin(), text.end()).find("ping"), std::string::npos);
}

TEST(CoderEnv, ModulesAreFoundByNameNotByPointer)
{
    ASN1::CoderEnv env;
    char name[] = "LGCP";
    env.modules[name] = nullptr;
    const std::string other = "LGCP";
    EXPECT_EQ(env.modules.count(other.c_str()), 1u);
    EXPECT_EQ(env.modules.count("MON"), 0u);
}

}  // namespace
