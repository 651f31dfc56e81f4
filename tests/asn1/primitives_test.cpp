#include "test_module.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using TestModule::Dscp;

std::vector<char> octets(std::initializer_list<int> values) { return std::vector<char>(values.begin(), values.end()); }

TEST(Asn1Utility, CountBitsCoversTheWholeRange)
{
    const std::pair<unsigned, unsigned> cases[] = {{0, 32}, {1, 0},   {2, 1},   {3, 2},           {4, 2},
                                                   {256, 8}, {257, 9}, {0x80000001u, 32}, {0xffffffffu, 32}};
    for (const auto& [n, bits] : cases)
        EXPECT_EQ(ASN1::CountBits(n), bits) << n;
}

TEST(Asn1ObjectIdentifier, ContentsOctetsBothWaysAndHostileArcs)
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

    const std::vector<char> cut = octets({0x2b, 0x06, 0x81});
    EXPECT_FALSE(oid.decodeCommon(cut.data(), cut.size()));
    const std::vector<char> huge = octets({0x2b, 0x90, 0x80, 0x80, 0x80, 0x00});  // 2^32
    EXPECT_FALSE(oid.decodeCommon(huge.data(), huge.size()));
    const std::vector<char> largest = octets({0x2b, 0x8f, 0xff, 0xff, 0xff, 0x7f});
    ASSERT_TRUE(oid.decodeCommon(largest.data(), largest.size()));
    EXPECT_EQ(oid.getValue().back(), 0xffffffffu);
}

TEST(Asn1BitString, BitsStayAPerBitField)
{
    ASN1::BIT_STRING bits;
    bits.getValue().assign(octets({0xff, 0xff}), 3);
    EXPECT_EQ(bits.getValue().getData(), octets({0xe0}));
    bits.getValue().resize(10);
    bits.getValue().set(9);
    bits.getValue().set(40);  // beyond the size: ignored
    EXPECT_EQ(bits.getValue().getData(), octets({0xe0, 0x40}));
    EXPECT_FALSE(bits.getValue()[40]);
    bits.getValue().resize(2);
    EXPECT_EQ(bits.getValue().getData(), octets({0xc0}));
}

TEST(Asn1Compare, OctetsUnsignedIntegersWrapAndDifferentTypesOrderByDescriptor)
{
    const ASN1::OCTET_STRING ab(octets({0x61, 0x62}));
    EXPECT_EQ(ab.compare(ASN1::OCTET_STRING(octets({0x61, 0x62, 0x63}))), -1);
    EXPECT_EQ(ASN1::OCTET_STRING(octets({0x80})).compare(ASN1::OCTET_STRING(octets({0x01}))), 0x7f);
    EXPECT_EQ(ASN1::INTEGER(-1).compare(ASN1::INTEGER(0x7fffffff)), static_cast<int>(0x80000000u));

    const ASN1::INTEGER plain(7);
    TestModule::Id constrained;
    constrained = 7u;
    EXPECT_NE(plain.compare(constrained), 0);
    EXPECT_EQ(constrained.compare(plain), -plain.compare(constrained));
    EXPECT_NE(ASN1::IA5String("a").compare(ASN1::VisibleString("a")), 0);
    // Open types may hold anything; their comparison must not read one class as another.
    const ASN1::OpenData holdsInteger(&ASN1::OpenData::theInfo, new ASN1::INTEGER(1));
    const ASN1::OpenData holdsSequence(&ASN1::OpenData::theInfo, new TestModule::Inner);
    EXPECT_NE(holdsInteger.compare(holdsSequence), 0);
    EXPECT_EQ(holdsInteger.compare(holdsSequence), -holdsSequence.compare(holdsInteger));
}

TEST(Asn1Enumerated, NamesFromTheNumberedTableRoundTrip)
{
    Dscp dscp;
    for (const auto& [value, name] :
         {std::pair{0, "cs0"}, {1, "le"}, {8, "cs1"}, {10, "af11"}, {46, "ef"}, {56, "cs7"}, {23, "count"}}) {
        dscp.setValue(value);
        EXPECT_EQ(dscp.getName(), name) << value;
        dscp.setValue(-7);
        ASSERT_TRUE(dscp.setFromName(name)) << name;
        EXPECT_EQ(dscp.getValue(), value);
    }
    // Without a name (or outside 0..maxEnumValue, even when an entry carries it) the caller
    // prints the number.
    for (int unnamed : {2, 9, 55, -1, 60, 61}) {
        dscp.setValue(unnamed);
        EXPECT_TRUE(dscp.getName().empty()) << unnamed;
    }
    // Two names for one value: both read, the first in table order prints.
    ASSERT_TRUE(dscp.setFromName("alias"));
    EXPECT_EQ(dscp.getName(), "cs1");
    // A known name above the root maximum takes its value but reports it.
    EXPECT_FALSE(dscp.setFromName("beyond"));
    EXPECT_EQ(dscp.getValue(), 60);
    // Unknown names, and the "=N" spelling itself, change nothing.
    dscp.setValue(Dscp::ef);
    for (const char* unknown : {"", "e", "ef=46", "cs7 ", "EF"})
        EXPECT_FALSE(dscp.setFromName(unknown)) << unknown;
    EXPECT_EQ(dscp.getValue(), 46);
}

TEST(Asn1OpenData, CopiesBothForms)
{
    ASN1::OpenData original(&ASN1::OpenData::theInfo, new ASN1::BOOLEAN(true));
    original.setBuf({1, 2});
    const ASN1::OpenData copy = original;
    ASSERT_TRUE(copy.has_data() && copy.has_buf());
    EXPECT_NE(copy.getData(), original.getData());
    EXPECT_EQ(copy.compare(original), 0);

    // A type-constrained open type holds its type from the start, clones included.
    ASN1::TypeConstrainedOpenData carrier(&TestModule::InnerCarrier_info);
    std::unique_ptr<ASN1::AbstractData> clone(carrier.clone());
    auto* cloned = dynamic_cast<ASN1::TypeConstrainedOpenData*>(clone.get());
    ASSERT_NE(cloned, nullptr);
    EXPECT_NE(dynamic_cast<TestModule::Inner*>(cloned->getData()), nullptr);
    EXPECT_EQ(cloned->compare(carrier), 0);
}

}  // namespace
