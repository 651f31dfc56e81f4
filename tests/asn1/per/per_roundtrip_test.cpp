// Values of every kind travel through the encoder and back to an equal value in both variants;
// the variants differ where they must; values the encoding cannot carry are refused.

#include "per_test_schema.h"
#include "per_test_support.h"

#include "asn1/test_module.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using PerTest::bytes;
using PerTest::encoded;

// Both variants encode value, decode it to an equal value and encode that to the same octets.
void expectRoundTrip(const ASN1::AbstractData& value)
{
    for (bool aligned : {true, false}) {
        SCOPED_TRACE(aligned ? "aligned" : "unaligned");
        const std::vector<char> out = encoded(value, aligned);
        std::unique_ptr<ASN1::AbstractData> back(value.info()->create(value.info()));
        ASSERT_TRUE(PerTest::decode(out, *back, aligned));
        EXPECT_EQ(*back, value);
        EXPECT_EQ(encoded(*back, aligned), out);
    }
}

TEST(PerRoundTrip, MessagesWithEveryKindOfComponentAndExtensionAdditions)
{
    const ASN1::SEQUENCE message = PerSchema::createMessage(4711, 1023);
    expectRoundTrip(message);
    EXPECT_NE(encoded(message, true), encoded(message, false));

    TestModule::Outer outer;
    outer.get_id() = 1000;
    outer.get_pick().setSelection(TestModule::Pick::octets, new ASN1::OCTET_STRING(bytes({1, 2, 3, 4})));
    outer.includeOptionalField(1, TestModule::Outer::items);
    auto& items = outer.get_items();
    items.resize(3);
    items[1].set_flag(true);
    items[2].includeOptionalField(0, 1);
    items[2].set_label("third");
    outer.includeOptionalField(2, TestModule::Outer::e0);
    outer.field<ASN1::INTEGER>(TestModule::Outer::e0).setValue(-70000);
    outer.includeOptionalField(5, TestModule::Outer::e3);
    outer.includeOptionalField(7, TestModule::Outer::e5);
    outer.field<TestModule::Inner>(TestModule::Outer::e5).set_flag(true);
    expectRoundTrip(outer);

    // An addition in the middle removed again: the remaining ones still travel.
    outer.removeOptionalField(5);
    expectRoundTrip(outer);
}

TEST(PerRoundTrip, OpenTypes)
{
    // A type-constrained open type carries its value inside a length.
    ASN1::TypeConstrainedOpenData carrier(&TestModule::InnerCarrier_info);
    auto& inner = *boost::polymorphic_downcast<TestModule::Inner*>(carrier.getData());
    inner.set_flag(true);
    inner.includeOptionalField(0, 1);
    inner.set_label("in");
    EXPECT_EQ(encoded(carrier), bytes({0x04, 0xc0, 0x02, 0x69, 0x6e}));
    expectRoundTrip(carrier);

    // A plain open type is read as octets and kept; revisiting decodes them into the held value,
    // and a value never revisited goes out again as the octets it came in.
    std::vector<char> out;
    ASN1::PEREncoder encoder(out);
    ASSERT_TRUE(encoder.encodeAnyType(&inner));
    ASN1::OpenData open;
    ASSERT_TRUE(PerTest::decode(out, open));
    ASSERT_TRUE(open.has_buf());
    EXPECT_EQ(encoded(open), out);
    ASN1::PERDecoder revisitor(nullptr, nullptr);
    EXPECT_FALSE(revisitor.revisit(open));
    open.setData(new TestModule::Inner);
    ASSERT_TRUE(revisitor.revisit(open));
    EXPECT_EQ(*open.getData(), inner);
}

TEST(PerRoundTrip, UnalignedVariantPacksCharactersAndNumbers)
{
    const ASN1::PrintableString text("AB");
    EXPECT_EQ(encoded(text, true), bytes({0x02, 0x41, 0x42}));
    EXPECT_EQ(encoded(text, false), bytes({0x02, 0x83, 0x08}));
    expectRoundTrip(text);

    PerSchema::Port port;
    port = 0x1234;
    EXPECT_EQ(encoded(port, false), bytes({0x12, 0x34}));
    expectRoundTrip(ASN1::NumericString("0 9"));
    expectRoundTrip(ASN1::BMPString(L"\x20ac\xffff"));
    expectRoundTrip(ASN1::IntegerWithNamedNumber(-5, &TestModule::Level_info));
    expectRoundTrip(ASN1::GeneralizedTime("19991231235959+0130"));
}

TEST(PerRoundTrip, ValuesTheEncodingCannotCarryAreRefused)
{
    ASN1::SEQUENCE unselected = PerSchema::newMessage();
    EXPECT_FALSE(PerTest::encodes(unselected));

    PerSchema::Slot slot;
    slot = 1024;
    EXPECT_FALSE(PerTest::encodes(slot));
    EXPECT_FALSE(PerTest::encodes(PerSchema::Gain(&PerSchema::Gain::theInfo) = 128));
    EXPECT_FALSE(PerTest::encodes(PerSchema::Gain(&PerSchema::Gain::theInfo) = static_cast<unsigned>(-129)));

    ASN1::ENUMERATED kind(&PerSchema::Kind);
    kind.setValue(5);
    EXPECT_FALSE(PerTest::encodes(kind));
    ASN1::ENUMERATED cause(&PerSchema::ErrorCause);
    cause.setValue(-1);
    EXPECT_FALSE(PerTest::encodes(cause));

    EXPECT_FALSE(PerTest::encodes(ASN1::PrintableString("a@b")));
    EXPECT_FALSE(PerTest::encodes(ASN1::IA5String("\xe9")));
    EXPECT_FALSE(PerTest::encodes(ASN1::BMPString(std::wstring(1, wchar_t(0x10000)))));

    ASN1::OBJECT_IDENTIFIER oid;
    oid.getValue().assign(130, 0xffffffffu);
    EXPECT_FALSE(PerTest::encodes(oid));

    ASN1::OCTET_STRING wrongSize(&PerSchema::Host);
    wrongSize.getValue() = bytes({1, 2, 3});
    EXPECT_FALSE(PerTest::encodes(wrongSize));
}

}  // namespace
