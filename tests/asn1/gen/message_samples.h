#pragma once

// Controller messages of the generated classes for the coders' tests: the three printed in the
// log examples, and every kind of message with every part given something other than its default.

#include "asn1/modules/LEMZGW.h"
#include "asn1/modules/LGCP.h"

#include <vector>

namespace samples {

// Fills value and everything below it: every optional field and known extension addition present,
// unselected CHOICEs on an alternative that turns with every choice made, lists of two elements,
// and text that needs the printer's escapes.
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
                if (i >= info.numRootFields)
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

private:
    unsigned turn_;
};

// {seq 7, slot 12, response success}, {seq 7, response error unexpectedMsgType} and
// {seq 3, command trunkCfg {trunk 1, mode master}}.
inline std::vector<LGCP::Message> threeMessages()
{
    std::vector<LGCP::Message> messages(3);
    messages[0].set_seq(7);
    messages[0].set_slot(12);
    messages[0].get_pdu().select_response().select_success();
    messages[1].set_seq(7);
    messages[1].get_pdu().select_response().select_error().setValue(LGCP::ErrorCause::unexpectedMsgType);
    messages[2].set_seq(3);
    LGCP::TrunkCfg& cfg = messages[2].get_pdu().select_command().select_trunkCfg();
    cfg.set_trunk(1);
    cfg.set_mode(LGCP::TrunkMode::master);
    return messages;
}

// Every command, response and signal, filled; then a protoLemz command holding one filled packet
// of each payload alternative.
inline std::vector<LGCP::Message> filledMessages()
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
            Filler(i).fill(message);
        }
    }
    LGCP::Message& lemz = messages.emplace_back();
    lemz.set_seq(1);
    auto& packets = lemz.get_pdu().select_command().select_protoLemz().get_packets();
    for (unsigned i = 0; i < LEMZGW::ProtoLemzPacketPayload::theInfo.numAlternatives; ++i) {
        LEMZGW::ProtoLemzPacket packet;
        packet.get_payload().createSelection(static_cast<int>(i));
        Filler(i).fill(packet);
        packet.get_msgID().setFromName(LEMZGW::ProtoLemzPacketPayload::selectionNames[i]);
        packets.push_back(packet);
    }
    return messages;
}

}  // namespace samples
