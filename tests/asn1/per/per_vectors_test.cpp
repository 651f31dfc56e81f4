// Known encodings, each checked both ways: the encoder writes exactly these octets and the decoder
// reads them back into an equal value.

#include "per_test_schema.h"
#include "per_test_support.h"

#include "asn1/runtime/per_rules.h"
#include "asn1/test_module.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using PerTest::bytes;
using PerTest::encoded;

// Encodes value to expected and decodes expected into a fresh value of the same type.
void expectBothWays(const ASN1::AbstractData& value, const std::vector<char>& expected, bool aligned = true)
{
    EXPECT_EQ(encoded(value, aligned), expected);
    std::unique_ptr<ASN1::AbstractData> back(value.info()->create(value.info()));
    ASSERT_TRUE(PerTest::decode(expected, *back, aligned));
    EXPECT_EQ(*back, value);
}

TEST(PerVectors, ControllerMessages)
{
    expectBothWays(PerSchema::pingMessage(7), bytes({0x80, 0x01, 0x07, 0x18}));
    // The slot number is two aligned octets (range 1024); the cause 3 takes 4 bits after the
    // extension bit.
    expectBothWays(PerSchema::errorMessage(7, 5, PerSchema::slotNotExists), bytes({0xc0, 0x01, 0x07, 0x00, 0x05, 0x63}));
    expectBothWays(PerSchema::errorMessage(7, 5, PerSchema::unsupported), bytes({0xc0, 0x01, 0x07, 0x00, 0x05, 0x66}));

    // A ping without seq: bitmap 00, PDU index 0, extension bit 0, index 12.
    ASN1::SEQUENCE bare = PerSchema::newMessage();
    auto& command = PerSchema::select<ASN1::CHOICE>(PerSchema::pduOf(bare), PerSchema::command);
    command.createSelection(PerSchema::ping);
    expectBothWays(bare, bytes({0x06, 0x00}));

    // The extension alternative reboot (addition 0): a BOOLEAN as an open type of one octet. An
    // addition index 1 is none that this type knows.
    PerSchema::select<ASN1::BOOLEAN>(command, PerSchema::reboot).setValue(true);
    expectBothWays(bare, bytes({0x08, 0x00, 0x01, 0x80}));
    ASN1::SEQUENCE unknown = PerSchema::newMessage();
    EXPECT_FALSE(PerTest::decode(bytes({0x08, 0x20, 0x01, 0x00}), unknown));

    // seq 1, ioctl oid 1.3.6.1: command index 9, then the Ioctl extension alternative 0 as an
    // open type of 4 octets, the identifier's length 3 and its contents ending the input.
    PerSchema::setSeq(bare, 1);
    auto& ioctl = PerSchema::select<ASN1::CHOICE>(command, PerSchema::ioctl);
    PerSchema::select<ASN1::OBJECT_IDENTIFIER>(ioctl, PerSchema::oid).getValue() = {1, 3, 6, 1};
    expectBothWays(bare, bytes({0x80, 0x01, 0x01, 0x13, 0x00, 0x04, 0x03, 0x2b, 0x06, 0x01}));
}

TEST(PerVectors, UnconstrainedIntegerIsShortestTwosComplement)
{
    const struct {
        int value;
        std::vector<char> octets;
    } cases[] = {
        {-1, bytes({0x01, 0xff})}, {-129, bytes({0x02, 0xff, 0x7f})}, {127, bytes({0x01, 0x7f})},
        {128, bytes({0x02, 0x00, 0x80})}, {0, bytes({0x01, 0x00})}, {-128, bytes({0x01, 0x80})},
        {2147483647, bytes({0x04, 0x7f, 0xff, 0xff, 0xff})}, {-2147483647 - 1, bytes({0x04, 0x80, 0x00, 0x00, 0x00})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        expectBothWays(ASN1::INTEGER(c.value), c.octets);
        expectBothWays(ASN1::INTEGER(c.value), c.octets, false);
    }
}

TEST(PerVectors, ConstrainedWholeNumbers)
{
    // -128..127: one aligned octet of value - lower.
    expectBothWays(PerSchema::Gain(&PerSchema::Gain::theInfo) = static_cast<unsigned>(-5), bytes({0x7b}));

    // 0..4294967295: the octet count in 2 bits, then the octets aligned.
    PerSchema::Clock clock;
    clock = 0;
    expectBothWays(clock, bytes({0x00, 0x00}));
    clock = 256;
    expectBothWays(clock, bytes({0x40, 0x01, 0x00}));
    clock = 4294967295u;
    expectBothWays(clock, bytes({0xc0, 0xff, 0xff, 0xff, 0xff}));

    // 0..1023 in the unaligned variant: ten bits.
    PerSchema::Slot slot;
    slot = 1023;
    expectBothWays(slot, bytes({0xff, 0xc0}), false);

    // A sparse ENUMERATED is coded by its value: ef (46) in 6 bits after the extension bit.
    TestModule::Dscp dscp;
    dscp.setValue(TestModule::Dscp::ef);
    expectBothWays(dscp, bytes({0x5c}));
    // Above the root maximum: bit 1, the normally small number 61, then 60 in [0, 60] (6 bits).
    dscp.setValue(TestModule::Dscp::beyond);
    expectBothWays(dscp, bytes({0xbd, 0xf0}));
}

TEST(PerVectors, LengthDeterminants)
{
    const struct {
        unsigned n;
        std::vector<char> octets;
    } cases[] = {{0, bytes({0x00})}, {127, bytes({0x7f})}, {128, bytes({0x80, 0x80})}, {8192, bytes({0xa0, 0x00})},
                 {16383, bytes({0xbf, 0xff})}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.n);
        std::vector<char> out;
        ASN1::PEREncoder encoder(out);
        ASSERT_TRUE(encoder.encodeLength(c.n, 0, ASN1::per::UnboundedLength));
        EXPECT_EQ(out, c.octets);
        ASN1::PERDecoder decoder(c.octets.data(), c.octets.data() + c.octets.size());
        unsigned n = 0;
        ASSERT_TRUE(decoder.decodeLength(0, ASN1::per::UnboundedLength, n));
        EXPECT_EQ(n, c.n);
    }

    // The fragmented form (first bits 11) is refused on both sides.
    const std::vector<char> fragment = bytes({0xc1, 0x00});
    ASN1::PERDecoder decoder(fragment.data(), fragment.data() + fragment.size());
    unsigned n = 0;
    EXPECT_FALSE(decoder.decodeLength(0, ASN1::per::UnboundedLength, n));
    std::vector<char> out;
    ASN1::PEREncoder encoder(out);
    EXPECT_FALSE(encoder.encodeLength(16384, 0, ASN1::per::UnboundedLength));
}

TEST(PerVectors, StringAndListSizes)
{
    // The longest unbounded OCTET STRING.
    const ASN1::OCTET_STRING longest(16383, 'x');
    std::vector<char> expected = bytes({0xbf, 0xff});
    expected.insert(expected.end(), 16383, 'x');
    expectBothWays(longest, expected);

    // 128 elements decode; 129 are refused by the decoder and never written by the encoder.
    ASN1::SEQUENCE_OF<ASN1::BOOLEAN> flags;
    flags.resize(128);
    std::vector<char> list = bytes({0x80, 0x80});
    list.insert(list.end(), 16, 0);
    expectBothWays(flags, list);

    flags.resize(129);
    EXPECT_FALSE(PerTest::encodes(flags));
    list[1] = static_cast<char>(0x81);
    list.push_back(0);
    ASN1::SEQUENCE_OF<ASN1::BOOLEAN> back;
    EXPECT_FALSE(PerTest::decode(list, back));
}

}  // namespace
