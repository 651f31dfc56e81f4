#include "test_module.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

std::vector<char> octets(std::initializer_list<int> values) { return std::vector<char>(values.begin(), values.end()); }

TEST(Asn1Utility, CountBitsCoversTheWholeRange)
{
    EXPECT_EQ(ASN1::CountBits(0), 32u);
    EXPECT_EQ(ASN1::CountBits(1), 0u);
    EXPECT_EQ(ASN1::CountBits(2), 1u);
    EXPECT_EQ(ASN1::CountBits(3), 2u);
    EXPECT_EQ(ASN1::CountBits(4), 2u);
    EXPECT_EQ(ASN1::CountBits(256), 8u);
    EXPECT_EQ(ASN1::CountBits(257), 9u);
    EXPECT_EQ(ASN1::CountBits(0x80000001u), 32u);
    EXPECT_EQ(ASN1::CountBits(0xffffffffu), 32u);
}

TEST(Asn1Utility, OctetComparisonIsUnsignedAndPrefixAware)
{
    const ASN1::OCTET_STRING ab(octets({0x61, 0x62}));
    const ASN1::OCTET_STRING abc(octets({0x61, 0x62, 0x63}));
    EXPECT_EQ(ab.compare(abc), -1);
    EXPECT_EQ(abc.compare(ab), 1);
    EXPECT_EQ(ab.compare(ASN1::OCTET_STRING(octets({0x61, 0x62}))), 0);
    EXPECT_EQ(ASN1::OCTET_STRING(octets({0x80})).compare(ASN1::OCTET_STRING(octets({0x01}))), 0x7f);
    EXPECT_EQ(std::string(abc), "abc");
}

TEST(Asn1ObjectIdentifier, ContentsOctetsBothWays)
{
    ASN1::OBJECT_IDENTIFIER oid;
    const std::vector<char> internet = octets({0x2b, 0x06, 0x01});
    ASSERT_TRUE(oid.decodeCommon(internet.data(), internet.size()));
    EXPECT_EQ(oid.getValue(), (std::vector<unsigned>{1, 3, 6, 1}));
    std::vector<char> encoded;
    oid.encodeCommon(encoded);
    EXPECT_EQ(encoded, internet);

    oid.getValue() = {2, 100, 128, 0};
    encoded.clear();
    oid.encodeCommon(encoded);
    EXPECT_EQ(encoded, octets({0x81, 0x34, 0x81, 0x00, 0x00}));
    ASN1::OBJECT_IDENTIFIER back;
    ASSERT_TRUE(back.decodeCommon(encoded.data(), encoded.size()));
    EXPECT_EQ(back, oid);

    oid.getValue() = {1};
    encoded.clear();
    oid.encodeCommon(encoded);
    EXPECT_TRUE(encoded.empty());
    EXPECT_TRUE(back.decodeCommon(nullptr, 0));
    EXPECT_TRUE(back.getValue().empty());
}

TEST(Asn1ObjectIdentifier, RefusesCutAndOversizedSubIdentifiers)
{
    ASN1::OBJECT_IDENTIFIER oid;
    const std::vector<char> cut = octets({0x2b, 0x06, 0x81});
    EXPECT_FALSE(oid.decodeCommon(cut.data(), cut.size()));
    EXPECT_EQ(oid.getValue(), (std::vector<unsigned>{1, 3, 6}));

    const std::vector<char> huge = octets({0x2b, 0x90, 0x80, 0x80, 0x80, 0x00});  // 2^32
    EXPECT_FALSE(oid.decodeCommon(huge.data(), huge.size()));
    const std::vector<char> largest = octets({0x2b, 0x8f, 0xff, 0xff, 0xff, 0x7f});
    ASSERT_TRUE(oid.decodeCommon(largest.data(), largest.size()));
    EXPECT_EQ(oid.getValue().back(), 0xffffffffu);
}

TEST(Asn1BitString, BitsStayAPerBitFieldAndCompareByDifferingBits)
{
    ASN1::BIT_STRING bits;
    bits.getValue().assign(octets({0xff, 0xff}), 3);
    EXPECT_EQ(bits.size(), 3u);
    EXPECT_EQ(bits.getValue().getData(), octets({0xe0}));
    bits.getValue().resize(10);
    bits.getValue().set(9);
    bits.getValue().set(40);  // beyond the size: ignored
    EXPECT_EQ(bits.getValue().getData(), octets({0xe0, 0x40}));
    EXPECT_TRUE(bits.getValue()[9]);
    EXPECT_FALSE(bits.getValue()[40]);
    bits.getValue().resize(2);
    EXPECT_EQ(bits.getValue().getData(), octets({0xc0}));

    ASN1::BIT_STRING a, b;
    a.getValue().assign(octets({0xa0}), 3);  // 101
    b.getValue().assign(octets({0xc0}), 3);  // 110
    EXPECT_EQ(a.compare(b), 0x20 - 0x40);
    b.getValue().assign(octets({0xa0}), 4);
    EXPECT_EQ(a.compare(b), -1);
}

TEST(Asn1Integer, ComparisonWrapsAndConstrainedFrontIsUnsigned)
{
    EXPECT_EQ(ASN1::INTEGER(5).compare(ASN1::INTEGER(3)), 2);
    EXPECT_EQ(ASN1::INTEGER(-1).compare(ASN1::INTEGER(0x7fffffff)), static_cast<int>(0x80000000u));

    ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 4294967295u> wide;
    wide = 4294967295u;
    EXPECT_EQ(wide.getValue(), 4294967295u);
    EXPECT_EQ(static_cast<const ASN1::INTEGER&>(wide).getValue(), -1);
    const auto& info = *wide.info();
    EXPECT_EQ(info.tag, 2u);
    EXPECT_EQ(info.type, ASN1::FixedConstraint);
    EXPECT_EQ(info.upperLimit, 4294967295u);
    EXPECT_EQ((ASN1::Constrained_INTEGER<ASN1::FixedConstraint, -128, 127>::theInfo.lowerLimit), -128);
    EXPECT_EQ(ASN1::INTEGER::theInfo.upperLimit, 0xffffffffu);
}

TEST(Asn1Integer, NamedNumbersByValueAndByName)
{
    ASN1::IntegerWithNamedNumber level(&TestModule::Level_info);
    std::string name;
    for (const auto& [value, expected] : {std::pair{-5, "low"}, {0, "off"}, {7, "high"}, {100, "max"}}) {
        level.setValue(value);
        ASSERT_TRUE(level.getName(name)) << value;
        EXPECT_EQ(name, expected);
    }
    for (int unnamed : {-6, 1, 99, 101}) {
        level.setValue(unnamed);
        EXPECT_FALSE(level.getName(name)) << unnamed;
    }
    EXPECT_TRUE(level.setFromName("high"));
    EXPECT_EQ(level.getValue(), 7);
    EXPECT_FALSE(level.setFromName("hig"));
    EXPECT_EQ(level.getValue(), 7);
}

TEST(Asn1Strings, DescriptorsCarryTheCharacterSets)
{
    const auto& numeric = ASN1::NumericString::theInfo;
    EXPECT_EQ(numeric.tag, 0x12u);
    EXPECT_EQ(std::string(numeric.characterSet, numeric.characterSetSize), " 0123456789");
    EXPECT_EQ(numeric.charSetIndexBits, 4u);
    EXPECT_EQ(ASN1::PrintableString::theInfo.characterSetSize, 74u);
    EXPECT_EQ(ASN1::PrintableString::theInfo.charSetAlignedBits, 8u);
    EXPECT_EQ(ASN1::VisibleString::theInfo.characterSet[94], '~');
    EXPECT_EQ(ASN1::IA5String::theInfo.characterSetSize, 128u);
    EXPECT_EQ(ASN1::GeneralString::theInfo.characterSetSize, 256u);
    EXPECT_EQ(static_cast<unsigned char>(ASN1::GeneralString::theInfo.characterSet[255]), 0xffu);
    EXPECT_EQ(ASN1::BMPString::theInfo.lastChar, 0xffff);

    EXPECT_LT(ASN1::IA5String("ab").compare(ASN1::IA5String("abc")), 0);
    EXPECT_GT(ASN1::BMPString(L"\x0416").compare(ASN1::BMPString(L"A")), 0);
    // Different string types are different types.
    EXPECT_NE(ASN1::IA5String("a").compare(ASN1::VisibleString("a")), 0);
}

TEST(Asn1Compare, DifferentTypesOrderByDescriptorNeverByContent)
{
    const ASN1::INTEGER plain(7);
    TestModule::Id constrained;
    constrained = 7u;
    const int forward = plain.compare(constrained);
    EXPECT_NE(forward, 0);
    EXPECT_EQ(constrained.compare(plain), -forward);

    // Open types may hold anything; their comparison must not read one class as another.
    const ASN1::OpenData holdsInteger(&ASN1::OpenData::theInfo, new ASN1::INTEGER(1));
    const ASN1::OpenData holdsSequence(&ASN1::OpenData::theInfo, new TestModule::Inner);
    EXPECT_NE(holdsInteger.compare(holdsSequence), 0);
    EXPECT_EQ(holdsInteger.compare(holdsSequence), -holdsSequence.compare(holdsInteger));
}

TEST(Asn1Clone, KeepsTheClassAndContent)
{
    TestModule::Id id;
    id = 1000u;
    std::unique_ptr<ASN1::AbstractData> copy(id.clone());
    ASSERT_NE(dynamic_cast<TestModule::Id*>(copy.get()), nullptr);
    EXPECT_EQ(*copy, id);

    ASN1::GeneralizedTime time("20240229123456.5Z");
    copy.reset(time.clone());
    EXPECT_EQ(static_cast<ASN1::GeneralizedTime&>(*copy).get(), "20240229123456.500Z");
}

}  // namespace
