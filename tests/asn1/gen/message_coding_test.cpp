// Controller messages of the generated classes through every coding rule and the coding entry
// points, as the control server and the test controller run them.

#include "asn1/coding.h"
#include "asn1/modules/LEMZGW.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/TERM.h"
#include "asn1/runtime/coder_env.h"
#include "asn1/test_module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>

namespace {

using namespace coding;

// Fills value and everything below it: every optional field and known extension addition present
// (none with optionals false), unselected CHOICEs on an alternative that turns with every choice
// made, lists of two elements, and text that needs the printer's escapes.
void fill(ASN1::AbstractData& value, unsigned& turn, bool optionals, int depth = 0)
{
    if (depth > 24)
        return;
    if (auto* seq = dynamic_cast<ASN1::SEQUENCE*>(&value)) {
        const ASN1::SEQUENCE::InfoType& info = *seq->info();
        for (unsigned i = 0; i < info.numRootFields + info.numKnownExtensions; ++i) {
            const bool optional = i >= info.numRootFields || info.fieldIds[i] != -1;
            if (optional && !optionals)
                continue;
            if (i >= info.numRootFields)
                seq->includeOptionalField(info.numOptionalFields + i - info.numRootFields, i);
            else if (optional)
                seq->includeOptionalField(static_cast<unsigned>(info.fieldIds[i]), i);
            fill(*seq->getField(i), turn, optionals, depth + 1);
        }
    } else if (auto* choice = dynamic_cast<ASN1::CHOICE*>(&value)) {
        if (choice->currentSelection() < 0)
            choice->createSelection(static_cast<int>(turn++ % choice->info()->numAlternatives));
        fill(*choice->getSelection(), turn, optionals, depth + 1);
    } else if (auto* list = dynamic_cast<ASN1::SEQUENCE_OF_Base*>(&value)) {
        list->resize(2);
        for (unsigned i = 0; i < list->size(); ++i)
            fill((*list)[i], turn, optionals, depth + 1);
    } else if (auto* integer = dynamic_cast<ASN1::INTEGER*>(&value)) {
        const auto& info = *integer->info();
        integer->setValue(info.type == ASN1::Unconstrained ? -5 : static_cast<int>(info.upperLimit));
    } else if (auto* enumerated = dynamic_cast<ASN1::ENUMERATED*>(&value)) {
        enumerated->setValue(enumerated->getMaximum());
    } else if (auto* flag = dynamic_cast<ASN1::BOOLEAN*>(&value)) {
        flag->setValue(true);
    } else if (auto* text = dynamic_cast<ASN1::AbstractString*>(&value)) {
        text->setValue("radio \"one\"\t\x7f");
    } else if (auto* octets = dynamic_cast<ASN1::OCTET_STRING*>(&value)) {
        octets->getValue() = {'\x00', '\x7f', '\xff'};
    } else if (auto* bits = dynamic_cast<ASN1::BIT_STRING*>(&value)) {
        bits->getValue().assign({'\xa0'}, 3);
    } else if (auto* oid = dynamic_cast<ASN1::OBJECT_IDENTIFIER*>(&value)) {
        oid->getValue() = {1, 3, 6, 1};
    } else if (auto* wide = dynamic_cast<ASN1::BMPString*>(&value)) {
        wide->setValue(L"\x0416 A");
    }
}

// Every command, response and signal, filled; then a protoLemz command holding one filled packet
// of each payload alternative. With optionals false, the same messages without any optional
// field or addition.
std::vector<LGCP::Message> filledMessages(bool optionals = true)
{
    std::vector<LGCP::Message> messages;
    const ASN1::CHOICE::InfoType* kinds[] = {&LGCP::Command::theInfo, &LGCP::Response::theInfo, &LGCP::Signal::theInfo};
    for (int pdu = 0; pdu < 3; ++pdu) {
        for (unsigned i = 0; i < kinds[pdu]->numAlternatives; ++i) {
            LGCP::Message& message = messages.emplace_back();
            message.set_seq(-1);
            message.set_slot(1023);
            message.get_pdu().createSelection(pdu);
            static_cast<ASN1::CHOICE*>(message.get_pdu().getSelection())->createSelection(static_cast<int>(i));
            unsigned turn = i;
            fill(message, turn, optionals);
        }
    }
    LGCP::Message& lemz = messages.emplace_back();
    lemz.set_seq(1);
    auto& packets = lemz.get_pdu().select_command().select_protoLemz().get_packets();
    for (unsigned i = 0; i < LEMZGW::ProtoLemzPacketPayload::theInfo.numAlternatives; ++i) {
        LEMZGW::ProtoLemzPacket packet;
        packet.get_payload().createSelection(static_cast<int>(i));
        unsigned turn = i;
        fill(packet, turn, optionals);
        packet.get_msgID().setFromName(LEMZGW::ProtoLemzPacketPayload::selectionNames[i]);
        packets.push_back(packet);
    }
    return messages;
}

TEST(MessageCoding, EveryMessageFilledSurvivesEveryRule)
{
    for (const LGCP::Message& message : filledMessages()) {
        const std::string text = message.asValueNotation();
        SCOPED_TRACE(text);
        for (int rule : {ASN1::CoderEnv::valueNotationRule, ASN1::CoderEnv::berRule, ASN1::CoderEnv::perRule}) {
            ASN1::CoderEnv env;
            env.encodingRule = rule;
            std::vector<char> octets;
            ASSERT_TRUE(ASN1::encode(message, &env, std::back_inserter(octets))) << rule;
            LGCP::Message back;
            ASSERT_TRUE(ASN1::decode(octets.data(), octets.data() + octets.size(), &env, back, true)) << rule;
            EXPECT_EQ(back, message) << rule;
            if (rule != ASN1::CoderEnv::perRule)
                continue;
            // The entry points run the code generated for the types; the visitor walk alone codes
            // the same.
            EXPECT_EQ(encode(message), octets);
            LGCP::Message walked;
            ASSERT_TRUE(decode(octets, walked));
            EXPECT_EQ(walked, message);
        }
        // The printed message reads back through the stream operator and prints the same text.
        std::istringstream input(text);
        LGCP::Message again;
        ASSERT_TRUE(input >> again);
        EXPECT_EQ(again.asValueNotation(), text);
    }
}

// The entry point (the generated code) reads input as the walk does: the same verdict and value,
// and the value written back as the walk writes it. The generated code's value is dropped first,
// so that its values are those kept for the next decoding.
void requireDecodedAsByTheWalk(const std::vector<char>& input, const std::string& what)
{
    SCOPED_TRACE(what);
    const ASN1::CoderEnv env;
    LGCP::Message walked;
    LGCP::Message generated;
    const bool decoded = ASN1::decode(input.data(), input.data() + input.size(), &env, generated, true);
    ASSERT_EQ(decode(input, walked), decoded);
    if (!decoded)
        return;
    ASSERT_EQ(generated, walked);
    std::vector<char> written;
    const std::vector<char> walkWritten = encode(walked);
    ASSERT_EQ(ASN1::encode(generated, &env, std::back_inserter(written)), walkWritten != refused);
    if (walkWritten != refused) {
        EXPECT_EQ(written, walkWritten);
    }
}

std::vector<char> perOctets(const LGCP::Message& message)
{
    std::vector<char> octets = encode(message);
    EXPECT_NE(octets, refused) << message;
    return octets;
}

TEST(MessageCoding, DamagedMessagesDecodeThroughTheGeneratedCodeAsThroughTheWalk)
{
    // Every filled message cut short at each octet, and with each bit of its first 32 octets
    // flipped.
    for (const LGCP::Message& message : filledMessages()) {
        SCOPED_TRACE(message.asValueNotation());
        const std::vector<char> octets = perOctets(message);
        for (std::size_t n = 0; n < octets.size(); ++n)
            requireDecodedAsByTheWalk({octets.begin(), octets.begin() + n}, "cut to " + std::to_string(n));
        for (std::size_t bit = 0; bit < std::min<std::size_t>(octets.size(), 32) * 8; ++bit) {
            std::vector<char> flipped = octets;
            flipped[bit / 8] = static_cast<char>(flipped[bit / 8] ^ (0x80 >> bit % 8));
            requireDecodedAsByTheWalk(flipped, "bit " + std::to_string(bit) + " flipped");
        }
    }
}

TEST(MessageCoding, EveryMessageDecodedIntoTheValuesAnotherLeftReadsAsThroughTheWalk)
{
    // Each filled message, and the same without optional fields and additions, decoded right
    // after each filled one.
    std::vector<std::vector<char>> filled;
    for (const LGCP::Message& message : filledMessages())
        filled.push_back(perOctets(message));
    std::vector<std::vector<char>> messages = filled;
    for (const LGCP::Message& message : filledMessages(false))
        messages.push_back(perOctets(message));
    for (std::size_t before = 0; before < filled.size(); ++before) {
        for (std::size_t m = 0; m < messages.size(); ++m) {
            requireDecodedAsByTheWalk(filled[before], "filled message " + std::to_string(before));
            requireDecodedAsByTheWalk(messages[m], "message " + std::to_string(m) + " after filled message " +
                                                       std::to_string(before));
        }
    }
}

TEST(MessageCoding, DecodingIntoAnEarlierMessageLeavesOnlyTheNewOne)
{
    using TestModule::Outer;
    // The second message lacks the first one's optional field and additions, and has the same
    // alternative and list, each holding less.
    const auto first = read<Outer>(R"({ id 5, colour ef, pick inner : { flag TRUE, label "x" },)"
                                   R"( items { { flag TRUE, label "y" }, { flag FALSE } }, e1 TRUE, e5 { flag TRUE } })");
    const auto second = read<Outer>("{ id 6, pick inner : { flag FALSE }, items { { flag FALSE } } }");
    for (int rule : {ASN1::CoderEnv::valueNotationRule, ASN1::CoderEnv::berRule, ASN1::CoderEnv::perRule}) {
        ASN1::CoderEnv env;
        env.encodingRule = rule;
        Outer value;
        for (const Outer* message : {&first, &second}) {
            std::vector<char> octets;
            ASSERT_TRUE(ASN1::encode(*message, &env, std::back_inserter(octets))) << rule;
            ASSERT_TRUE(ASN1::decode(octets.data(), octets.data() + octets.size(), &env, value, true)) << rule;
        }
        EXPECT_EQ(value.asValueNotation(), second.asValueNotation()) << rule;
        EXPECT_EQ(value, second) << rule;
        // Nothing of the first is left for a later include to bring back.
        for (unsigned absent : {Outer::colour, Outer::e1, Outer::e5})
            EXPECT_EQ(value.getField(absent), nullptr) << rule << ' ' << absent;
    }
}

TEST(MessageCoding, DecodingAgainThroughTheGeneratedCodeLeavesOnlyTheNewMessage)
{
    // The code generated for the types keeps an optional field present again and an alternative
    // selected again; a new message takes the alternative an earlier one held.
    const auto first = read<LGCP::Message>(
        R"({ seq 1, slot 2, pdu command : create : rtp : { codecRTP { payload ptG711-Alaw,)"
        R"( dhost { iaddr "a", port 1 }, shost { iaddr "b", port 2 }, pfactor 2, vad TRUE, ttl 64 },)"
        R"( txPayload ptG711-Alaw, rxPayload ptG711-Alaw } })");
    const auto second = read<LGCP::Message>(
        R"({ pdu command : create : rtp : { codecRTP { payload ptG711-Ulaw, dhost { iaddr "c", port 3 }, vad FALSE },)"
        R"( txPayload ptG711-Alaw, rxPayload ptG711-Alaw } })");
    const ASN1::CoderEnv env;
    const auto decodeInto = [&](const LGCP::Message& message, LGCP::Message& value) {
        std::vector<char> octets;
        ASSERT_TRUE(ASN1::encode(message, &env, std::back_inserter(octets)));
        ASSERT_TRUE(ASN1::decode(octets.data(), octets.data() + octets.size(), &env, value, true));
    };
    const auto fieldNamed = [](const ASN1::SEQUENCE& seq, const std::string& name) {
        unsigned i = 0;
        while (seq.info()->fieldNames[i] != name)
            ++i;
        return seq.getField(i);
    };
    LGCP::Message used;
    decodeInto(first, used);
    decodeInto(second, used);
    {
        LGCP::Message dropped;
        decodeInto(first, dropped);
    }
    LGCP::Message fresh;
    decodeInto(second, fresh);
    for (const LGCP::Message* value : {&used, &fresh}) {
        EXPECT_EQ(*value, second);
        EXPECT_EQ(value->getField(1), nullptr);
        const TERM::RtpParams& rtp = value->get_pdu().get_command()->get_create()->get_rtp()->get_codecRTP();
        for (const char* absent : {"shost", "pfactor", "ttl"})
            EXPECT_EQ(fieldNamed(rtp, absent), nullptr) << absent;
    }
}

TEST(MessageCoding, ADroppedValueServesALaterDecodingOnlyWhenItIsOfItsDescriptorsClass)
{
    const ASN1::CoderEnv env;
    const std::vector<char> ping = bytes({0x80, 0x01, 0x07, 0x18});
    const auto decodePing = [&](LGCP::Message& message) {
        ASSERT_TRUE(ASN1::decode(ping.data(), ping.data() + ping.size(), &env, message, true));
    };
    // Holds the command an earlier test may have left, so that the next one dropped is kept.
    LGCP::Message holder;
    decodePing(holder);
    {
        // A command built as a plain CHOICE with the command's descriptor, not as its class.
        LGCP::Message plain;
        plain.get_pdu().setSelection(0, new ASN1::CHOICE(&LGCP::Command::theInfo, 12, new ASN1::Null));
    }
    LGCP::Message message;
    decodePing(message);
    EXPECT_NE(dynamic_cast<LGCP::Command*>(message.get_pdu().getSelection()), nullptr);
    // The command of the same class that went is the one taken.
    const ASN1::AbstractData* kept = nullptr;
    {
        LGCP::Message dropped;
        decodePing(dropped);
        kept = dropped.get_pdu().getSelection();
    }
    LGCP::Message again;
    decodePing(again);
    EXPECT_EQ(again.get_pdu().getSelection(), kept);
    EXPECT_EQ(again, holder);
}

TEST(MessageCoding, EncodingAppendsToTheCallersOctetsAndAFailureWritesNothing)
{
    ASN1::CoderEnv env;
    const auto ping = read<LGCP::Message>("{ seq 7, pdu command : ping : NULL }");
    std::vector<char> out = bytes({0x03, 0x00});
    ASSERT_TRUE(ASN1::encode(ping, &env, std::back_inserter(out)));
    EXPECT_EQ(out, bytes({0x03, 0x00, 0x80, 0x01, 0x07, 0x18}));
    // Refused after some of its octets are out: a ping without its PDU.
    auto pduless = ping;
    pduless.get_pdu().setSelection(-1, nullptr);
    EXPECT_FALSE(ASN1::encode(pduless, &env, std::back_inserter(out)));
    EXPECT_FALSE(ASN1::encode(ping, nullptr, std::back_inserter(out)));
    env.encodingRule = 7;
    EXPECT_FALSE(ASN1::encode(ping, &env, std::back_inserter(out)));
    EXPECT_EQ(out, bytes({0x03, 0x00, 0x80, 0x01, 0x07, 0x18}));
}

}  // namespace
