#include "test_module.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

TEST(Asn1OpenData, ComparesDecodedThenEncodedForms)
{
    const ASN1::OpenData empty;
    EXPECT_FALSE(empty.has_data());
    EXPECT_FALSE(empty.has_buf());
    EXPECT_EQ(empty.compare(ASN1::OpenData()), 0);

    ASN1::OpenData encoded;
    encoded.setBuf({'a', 'b'});
    ASN1::OpenData longer;
    longer.setBuf({'a', 'b', 'c'});
    EXPECT_EQ(encoded.compare(longer), -1);

    const ASN1::OpenData decoded(&ASN1::OpenData::theInfo, new ASN1::INTEGER(3));
    EXPECT_EQ(decoded.compare(encoded), 1);
    EXPECT_EQ(encoded.compare(decoded), -1);
    EXPECT_EQ(decoded.compare(ASN1::OpenData(&ASN1::OpenData::theInfo, new ASN1::INTEGER(1))), 2);
}

TEST(Asn1OpenData, CopiesBothParts)
{
    ASN1::OpenData original(&ASN1::OpenData::theInfo, new ASN1::BOOLEAN(true));
    original.setBuf({1, 2});
    ASN1::OpenData copy = original;
    ASSERT_TRUE(copy.has_data() && copy.has_buf());
    EXPECT_NE(copy.getData(), original.getData());
    EXPECT_EQ(*copy.getBuf(), (std::vector<char>{1, 2}));
    EXPECT_EQ(copy.compare(original), 0);

    ASN1::OpenData other;
    other.swap(copy);
    EXPECT_FALSE(copy.has_data());
    EXPECT_TRUE(other.has_data());
}

TEST(Asn1OpenData, TypeConstrainedHoldsItsTypeFromTheStart)
{
    ASN1::TypeConstrainedOpenData carrier(&TestModule::InnerCarrier_info);
    ASSERT_NE(dynamic_cast<TestModule::Inner*>(carrier.getData()), nullptr);
    EXPECT_FALSE(carrier.has_buf());

    std::unique_ptr<ASN1::AbstractData> clone(carrier.clone());
    auto* cloned = dynamic_cast<ASN1::TypeConstrainedOpenData*>(clone.get());
    ASSERT_NE(cloned, nullptr);
    EXPECT_NE(dynamic_cast<TestModule::Inner*>(cloned->getData()), nullptr);
    EXPECT_EQ(cloned->compare(carrier), 0);
}

}  // namespace
