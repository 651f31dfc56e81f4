// Crafted inputs from an untrusted peer: each must fail the decoding (or be read within its
// bounds), never read past the input, wrap a count or act on invented zeros; and the encoder must
// never write what our decoder or our peers refuse.

#include "per_test_schema.h"

#include "asn1/coding.h"

#include <gtest/gtest.h>

namespace {

using namespace coding;

// An Endpoint {host 127.0.0.1, port 5004} with its extension bit set, followed by tail.
std::vector<char> extendedEndpoint(std::initializer_list<int> tail)
{
    std::vector<char> octets = bytes({0x80, 0x7f, 0x00, 0x00, 0x01, 0x13, 0x8c});
    octets.insert(octets.end(), tail.begin(), tail.end());
    return octets;
}

TEST(PerHostileInput, DecodesOnlyWithinTheInputAndTheTypesBounds)
{
    const Info message = &PerSchema::Message;
    const Info endpoint = &PerSchema::Endpoint;
    const Input inputs[] = {
        // Bits past the end: the optional bitmap, the PDU index, a BOOLEAN, 10 bits with 8 left.
        {message, {}, nullptr},
        {message, bytes({0x80, 0x01, 0x07}), nullptr},
        {&ASN1::BOOLEAN::theInfo, {}, nullptr},
        {&ASN1::BIT_STRING::theInfo, bytes({0x0a, 0xff}), nullptr},
        // connect 5 (slot in two aligned octets), then cut; the message's own slot cut.
        {message, bytes({0x01, 0x00, 0x00, 0x05}), "{ pdu command : connect : 5 }"},
        {message, bytes({0x01, 0x00, 0x00}), nullptr},
        {message, bytes({0x01, 0x00}), nullptr},
        {message, bytes({0x40, 0x00}), nullptr},
        // Two-octet whole numbers are not range checked: slot 1024 in a 0..1023 field is left for
        // the consumer to refuse (our encoder never writes it).
        {message, bytes({0xc0, 0x01, 0x07, 0x04, 0x00, 0x40}), "{ seq 7, slot 1024, pdu response : success : NULL }"},
        // The 4-bit cause 12 (the highest) and 13, 15.
        {message, bytes({0xc0, 0x01, 0x07, 0x00, 0x05, 0x6c}),
         "{ seq 7, slot 5, pdu response : error : destroyInProgress }"},
        {message, bytes({0xc0, 0x01, 0x07, 0x00, 0x05, 0x6d}), nullptr},
        {message, bytes({0xc0, 0x01, 0x07, 0x00, 0x05, 0x6f}), nullptr},
        // Five values in 3 bits: 4 reads, 5 does not.
        {&PerSchema::Kind, bytes({0x80}), "rtp"},
        {&PerSchema::Kind, bytes({0xa0}), nullptr},
        // Extension bit 1 with the count 0 announces no value; count 2, then 1 in 1 bit.
        {&PerSchema::ErrorCause, bytes({0x80, 0x00}), nullptr},
        {&PerSchema::ErrorCause, bytes({0x82, 0x80}), "insufficientResources"},
        // reboot, an extension alternative, in an open type of 1 octet, of 5 with 1 left, and the
        // addition index 1 that this type does not know.
        {message, bytes({0x08, 0x00, 0x01, 0x80}), "{ pdu command : reboot : TRUE }"},
        {message, bytes({0x08, 0x00, 0x05, 0x80}), nullptr},
        {message, bytes({0x08, 0x20, 0x01, 0x00}), nullptr},
        // An object identifier of 3 contents octets in an open type of 4, and of 2: the input goes
        // on beyond the open type, but the value may not read there.
        {message, bytes({0x80, 0x01, 0x01, 0x13, 0x00, 0x04, 0x03, 0x2b, 0x06, 0x01}),
         "{ seq 1, pdu command : ioctl : oid : { 1 3 6 1 } }"},
        {message, bytes({0x80, 0x01, 0x01, 0x13, 0x00, 0x02, 0x03, 0x2b, 0x06, 0x01}), nullptr},
        // Extension bitmaps: cut after the count, 0xFFFFFFFF + 1 bits (which would wrap to none),
        // and 129 bits (128 is the limit).
        {endpoint, extendedEndpoint({0x04}), nullptr},
        {endpoint, extendedEndpoint({0x80, 0x04, 0xff, 0xff, 0xff, 0xff, 0x80}), nullptr},
        {endpoint, extendedEndpoint({0x80, 0x01, 0x80}), nullptr},
        // A known addition that does not use its whole open type: the decoder goes on after it.
        {endpoint, extendedEndpoint({0x03, 0x80, 0x03, 0xb8, 0xff, 0xff, 0x02, 0x01, 0x41}),
         "{ host '7f000001'H, port 5004, tos 46, label \"A\" }"},
        // An unknown third addition: skipped when its octets end at the end of the input, refused
        // when its length runs past it.
        {endpoint, extendedEndpoint({0x05, 0x40, 0x01, 0xb8, 0x02, 0xaa, 0xbb}), "{ host '7f000001'H, port 5004, tos 46 }"},
        {endpoint, extendedEndpoint({0x05, 0x40, 0x01, 0xb8, 0x03, 0xaa, 0xbb}), nullptr},
        // A CHOICE addition index of 0xFFFFFFFF (root count + index would wrap), and a normally
        // small number of five octets.
        {message, bytes({0x0c, 0x04, 0xff, 0xff, 0xff, 0xff, 0x01, 0x80}), nullptr},
        {message, bytes({0x0c, 0x05, 0x01, 0x02, 0x03, 0x04, 0x05, 0x01, 0x80}), nullptr},
        // An unconstrained INTEGER of five octets.
        {&ASN1::INTEGER::theInfo, bytes({0x05, 0x01, 0x02, 0x03, 0x04, 0x05}), nullptr},
        // Character indexes: the last of NumericString's 11, one beyond.
        {&ASN1::NumericString::theInfo, bytes({0x01, 0xa0}), "\"9\""},
        {&ASN1::NumericString::theInfo, bytes({0x01, 0xb0}), nullptr},
        // Characters sent as their codes are taken outside their set too: a Latin-1 octet, and a
        // UTF-8 name that would otherwise lose the whole message.
        {&ASN1::IA5String::theInfo, bytes({0x01, 0xe9}), R"("\xe9")"},
        {endpoint, bytes({0x40, 0x7f, 0x00, 0x00, 0x01, 0x13, 0x8c, 0x04, 0xc3, 0xa9}),
         R"({ host '7f000001'H, port 5004, name "\xc3\xa9" })"},
        // A BIT STRING of 17 bits in an aligned block whose padding bits are set.
        {&ASN1::BIT_STRING::theInfo, bytes({0x11, 0xff, 0xff, 0xff}), "'11111111111111111'B"},
        // A time whose text is empty or does not parse.
        {&ASN1::GeneralizedTime::theInfo, bytes({0x00}), nullptr},
        {&ASN1::GeneralizedTime::theInfo, bytes({0x03, 'a', 'b', 'c'}), nullptr},
    };
    for (const Input& input : inputs) {
        SCOPED_TRACE(&input - inputs);
        expectDecodes(input);
    }
    // The 7-bit length field of a SIZE (0..64) string carrying 100.
    expectDecodes({&PerSchema::Name, bytes({0xc8, 0x00}), nullptr}, unalignedPer);

    // A size constraint that admits 16385 octets still meets the decoder's limit.
    const ASN1::ConstrainedObject::InfoType big = {
        ASN1::detail::Allocator<ASN1::OCTET_STRING>::info(4), ASN1::FixedConstraint, 0, 20000};
    std::vector<char> input = bytes({0x40, 0x01});
    input.insert(input.end(), 16385, 'x');
    ASN1::OCTET_STRING octets(&big);
    EXPECT_FALSE(decode(input, octets));
    // Nor does the encoder write a length of 16384 or more, whatever the constraint admits.
    EXPECT_EQ(encode(ASN1::OCTET_STRING(16384, 'x', &big)), refused);
    EXPECT_NE(encode(ASN1::OCTET_STRING(16383, 'x', &big)), refused);
}

TEST(PerHostileInput, ACutEncodingFailsWhateverFollowsItInMemory)
{
    // The rest of the encoding lies right after each cut input, so a decoder that read one bit past
    // the end would succeed. Every length, so that the last octets are read at every offset; the
    // create message holds extension additions in open types that end before the input does.
    const ASN1::SEQUENCE messages[] = {PerSchema::pingMessage(7), PerSchema::errorMessage(7, 5, 12),
                                       PerSchema::createMessage(4711, 1023)};
    for (const ASN1::SEQUENCE& message : messages) {
        const std::vector<char> octets = encode(message);
        for (std::size_t n = 0; n <= octets.size(); ++n) {
            ASN1::SEQUENCE back = PerSchema::newMessage();
            ASN1::PERDecoder decoder(octets.data(), octets.data() + n);
            EXPECT_EQ(back.accept(decoder), n == octets.size()) << message << " cut to " << n;
        }
    }
}

TEST(PerHostileInput, EncoderWritesOnlyWhatPeersAccept)
{
    // Additions unknown to the type are dropped when a decoded value is encoded again.
    ASN1::SEQUENCE endpoint(&PerSchema::Endpoint);
    ASSERT_TRUE(decode(extendedEndpoint({0x05, 0x40, 0x01, 0xb8, 0x02, 0xaa, 0xbb}), endpoint));
    EXPECT_EQ(encode(endpoint), extendedEndpoint({0x03, 0x00, 0x01, 0xb8}));

    // An extension map whose bits are all clear writes the extension bit 0 and nothing more.
    endpoint.removeOptionalField(1);
    EXPECT_EQ(encode(endpoint), bytes({0x00, 0x7f, 0x00, 0x00, 0x01, 0x13, 0x8c}));
}

}  // namespace
