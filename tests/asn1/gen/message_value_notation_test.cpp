// Controller messages of the generated classes in value notation: printed with << and read back
// with >>, which the generated headers bring along, as the test controller does.

#include "asn1/modules/LEMZGW.h"
#include "asn1/modules/LGCP.h"
#include "asn1/modules/TERM.h"
#include "asn1/runtime/invalid_value_tracer.h"

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

// Gives a value and everything below it something other than its default: every optional
// field and known extension addition present, unselected CHOICEs on an alternative that turns
// with every choice made, lists of two elements, and text that needs the printer's escapes.
class Filler {
public:
    explicit Filler(unsigned turn) : turn_(turn) {}

    void fill(ASN1::AbstractData& value, int depth = 0)
    {
        if (depth > 24)
            return;
        if (auto* seq = dynamic_cast<ASN1::SEQUENCE*>(&value)) {
            const ASN1::SEQUENCE::InfoType& info = *seq->info();
            for (unsigned i = 0; i < info.numRootFields + info.numKnownExtensions; ++i) {
                const bool root = i < info.numRootFields;
                if (!root)
                    seq->includeOptionalField(info.numOptionalFields + i - info.numRootFields, i);
                else if (info.fieldIds[i] != -1)
                    seq->includeOptionalField(static_cast<unsigned>(info.fieldIds[i]), i);
                fill(*seq->getField(i), depth + 1);
            }
        } else if (auto* choice = dynamic_cast<ASN1::CHOICE*>(&value)) {
            if (choice->currentSelection() < 0)
                choice->createSelection(static_cast<int>(turn_++ % choice->info()->numAlternatives));
            fill(*choice->getSelection(), depth + 1);
        } else if (auto* list = dynamic_cast<ASN1::SEQUENCE_OF_Base*>(&value)) {
            list->resize(2);
            for (unsigned i = 0; i < list->size(); ++i)
                fill((*list)[i], depth + 1);
        } else {
            fill_primitive(value);
        }
    }

private:
    static void fill_primitive(ASN1::AbstractData& value)
    {
        if (auto* integer = dynamic_cast<ASN1::INTEGER*>(&value)) {
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

    unsigned turn_;
};

TEST(MessageValueNotation, MessagesOfTheModuleTestsReadBack)
{
    LGCP::Message ping;
    ping.set_seq(7);
    ping.get_pdu().select_command().select_ping();
    expect_reads_back(ping);

    LGCP::Message error;
    error.set_seq(7);
    error.set_slot(5);
    error.get_pdu().select_response().select_error().setValue(LGCP::ErrorCause::slotNotExists);
    expect_reads_back(error);

    LGCP::Message create;
    create.set_seq(7);
    create.get_pdu().select_command().select_create().select_rtp().get_codecRTP().set_dname("x");
    expect_reads_back(create);

    // The radio packets with every payload alternative, each filled as far as it goes.
    LGCP::Message lemz;
    lemz.set_seq(1);
    auto& packets = lemz.get_pdu().select_command().select_protoLemz().get_packets();
    for (unsigned i = 0; i < LEMZGW::ProtoLemzPacketPayload::theInfo.numAlternatives; ++i) {
        LEMZGW::ProtoLemzPacket packet;
        packet.get_payload().createSelection(static_cast<int>(i));
        Filler(i).fill(packet);
        ASSERT_TRUE(packet.get_msgID().setFromName(LEMZGW::ProtoLemzPacketPayload::selectionNames[i]));
        packets.push_back(packet);
    }
    expect_reads_back(lemz);
}

TEST(MessageValueNotation, EveryCommandResponseAndSignalFilledReadsBack)
{
    const ASN1::CHOICE::InfoType* kinds[] = {&LGCP::Command::theInfo, &LGCP::Response::theInfo, &LGCP::Signal::theInfo};
    for (int pdu = 0; pdu < 3; ++pdu) {
        for (unsigned i = 0; i < kinds[pdu]->numAlternatives; ++i) {
            LGCP::Message message;
            message.set_seq(-1);
            message.set_slot(1023);
            message.get_pdu().createSelection(pdu);
            static_cast<ASN1::CHOICE*>(message.get_pdu().getSelection())->createSelection(static_cast<int>(i));
            Filler(i).fill(message);
            SCOPED_TRACE(kinds[pdu]->selectionNames[i]);
            expect_reads_back(message);
        }
    }
}

TEST(MessageValueNotation, PrintsTheThreeMessagesLineByLine)
{
    LGCP::Message success;
    success.set_seq(7);
    success.set_slot(12);
    success.get_pdu().select_response().select_success();
    EXPECT_EQ(print(success), "{\n  seq 7,\n  slot 12,\n  pdu response : success : NULL\n}");

    LGCP::Message error;
    error.set_seq(7);
    error.get_pdu().select_response().select_error().setValue(LGCP::ErrorCause::unexpectedMsgType);
    EXPECT_EQ(print(error), "{\n  seq 7,\n  pdu response : error : unexpectedMsgType\n}");

    LGCP::Message trunk;
    trunk.set_seq(3);
    LGCP::TrunkCfg& cfg = trunk.get_pdu().select_command().select_trunkCfg();
    cfg.set_trunk(1);
    cfg.set_mode(LGCP::TrunkMode::master);
    EXPECT_EQ(print(trunk), "{\n  seq 3,\n  pdu command : trunkCfg : {\n    trunk 1,\n    mode master\n  }\n}");
}

TEST(MessageValueNotation, TracerNamesTheOverlongDname)
{
    TERM::RtpParams rtp;
    rtp.set_dname(std::string(64, 'd'));
    std::ostringstream quiet;
    EXPECT_TRUE(ASN1::trace_invalid(quiet, "rtp", rtp));
    EXPECT_EQ(quiet.str(), "");

    rtp.set_dname(std::string(65, 'd'));
    std::ostringstream trace;
    EXPECT_FALSE(ASN1::trace_invalid(trace, "rtp", rtp));
    EXPECT_EQ(trace.str(), "rtp.dname This AbstractString has size 65 greater than its upper bound 64\n");
    EXPECT_FALSE(rtp.isValid());
}

}  // namespace
