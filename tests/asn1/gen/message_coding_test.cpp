// Controller messages built from the generated classes, through the PER coder.

#include "asn1/modules/LEMZGW.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/TERM.h"
#include "asn1/runtime/coder_env.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<unsigned char> encoded(const ASN1::AbstractData& value)
{
    const ASN1::CoderEnv env;
    std::vector<unsigned char> octets;
    EXPECT_TRUE(ASN1::encode(value, &env, std::back_inserter(octets)));
    return octets;
}

// octets decode into a message equal to expected.
void expectDecodesTo(const std::vector<unsigned char>& octets, const LGCP::Message& expected)
{
    const ASN1::CoderEnv env;
    LGCP::Message value;
    const char* data = reinterpret_cast<const char*>(octets.data());
    ASSERT_TRUE(ASN1::decode(data, data + octets.size(), &env, value, true));
    EXPECT_EQ(value.compare(expected), 0);
}

TEST(MessageCoding, PingAndAnErrorAnswerHaveTheirKnownOctets)
{
    LGCP::Message ping;
    ping.set_seq(7);
    ping.get_pdu().select_command().select_ping();
    EXPECT_EQ(encoded(ping), (std::vector<unsigned char>{0x80, 0x01, 0x07, 0x18}));
    expectDecodesTo(encoded(ping), ping);

    LGCP::Message error;
    error.set_seq(7);
    error.set_slot(5);
    error.get_pdu().select_response().select_error().setValue(LGCP::ErrorCause::slotNotExists);
    EXPECT_EQ(encoded(error), (std::vector<unsigned char>{0xc0, 0x01, 0x07, 0x00, 0x05, 0x63}));
    expectDecodesTo(encoded(error), error);
}

TEST(MessageCoding, SparseEnumerationsAreCodedByValue)
{
    // 46 in the 6 bits of the range 0..56.
    EXPECT_EQ(encoded(TERM::IpQoSDSCP(TERM::IpQoSDSCP::ef)), (std::vector<unsigned char>{46 << 2}));
    // 4097 behind the extension bit, in two octets for the range 0..13056.
    EXPECT_EQ(encoded(LEMZGW::ProtoLemzMsgID(LEMZGW::ProtoLemzMsgID::gw_get_id)),
        (std::vector<unsigned char>{0x00, 0x10, 0x01}));
}

// Selects the first alternative of every CHOICE left unselected, so the value can be encoded.
void select_first_alternatives(ASN1::AbstractData& value)
{
    if (auto* choice = dynamic_cast<ASN1::CHOICE*>(&value)) {
        if (choice->currentSelection() < 0)
            choice->createSelection(0);
        select_first_alternatives(*choice->getSelection());
    } else if (auto* seq = dynamic_cast<ASN1::SEQUENCE*>(&value)) {
        for (unsigned i = 0; i < seq->fieldCount(); ++i) {
            if (ASN1::AbstractData* field = seq->getField(i))
                select_first_alternatives(*field);
        }
    }
}

TEST(MessageCoding, ProtoLemzCommandWithEveryPayloadSurvivesTheRoundTrip)
{
    LGCP::Message message;
    message.set_seq(1);
    auto& packets = message.get_pdu().select_command().select_protoLemz().get_packets();
    const unsigned alternatives = LEMZGW::ProtoLemzPacketPayload::theInfo.numAlternatives;
    ASSERT_EQ(alternatives, 66u);
    for (unsigned i = 0; i < alternatives; ++i) {
        LEMZGW::ProtoLemzPacket packet;
        packet.set_msgSeqNum(static_cast<int>(i));
        // The message identifier names the payload alternative of the same position.
        ASSERT_TRUE(packet.get_msgID().setFromName(LEMZGW::ProtoLemzPacketPayload::selectionNames[i]));
        packet.get_payload().createSelection(static_cast<int>(i));
        select_first_alternatives(packet);
        packets.push_back(packet);
    }
    EXPECT_EQ(packets[65].get_msgID().getValue(), 13056);
    expectDecodesTo(encoded(message), message);
}

}  // namespace
