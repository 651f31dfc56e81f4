#pragma once

// A controller-message-shaped schema on hand-written constant descriptors, for the PER tests, the
// PER fuzz target and the PER benchmark. Values are the value model's own classes (no generated
// classes), built from value notation.
//
//   Message    ::= SEQUENCE { seq INTEGER OPTIONAL, slot INTEGER (0..1023) OPTIONAL, pdu PDU }
//   PDU        ::= CHOICE { command Command, response Response, signal Signal }
//   Command    ::= CHOICE { query NULL, testBpc OCTET STRING, connect INTEGER (0..1023),
//                    disconnect NULL, create CreateParams, destroy NULL, activate Endpoint,
//                    deactivate NULL, userData OCTET STRING, ioctl Ioctl, trunkCfg INTEGER (0..3),
//                    clockCfg INTEGER (0..4294967295), ping NULL, display VisibleString,
//                    protoLemz SEQUENCE OF OCTET STRING, ..., reboot BOOLEAN }
//   Response   ::= CHOICE { success NULL, error ErrorCause }
//   Signal     ::= CHOICE { activated NULL, deactivated ErrorCause, userData OCTET STRING, ...,
//                    abort INTEGER }
//   ErrorCause ::= ENUMERATED { invalidParams, ..., destroyInProgress (12), ... }
//   Kind       ::= ENUMERATED { mixerOut, mixerIn, rtpOnMixer, voice, rtp }
//   Ioctl      ::= CHOICE { reset NULL, level INTEGER, ..., oid OBJECT IDENTIFIER }
//   Endpoint   ::= SEQUENCE { host OCTET STRING (SIZE (4)), port INTEGER (0..65535),
//                    name IA5String (SIZE (0..64)) OPTIONAL, ..., tos INTEGER (0..63),
//                    label PrintableString }
//   CreateParams ::= SEQUENCE { kind Kind, gain INTEGER (-128..127) OPTIONAL, local Endpoint,
//                    remotes SEQUENCE OF Endpoint OPTIONAL, flags BIT STRING OPTIONAL,
//                    secure BOOLEAN, ..., codec NumericString, started GeneralizedTime,
//                    owner BMPString }

#include "asn1/runtime/asn1.h"

#include <iterator>
#include <string>

namespace PerSchema {

using ASN1::detail::Allocator;
using InfoPtr = const ASN1::AbstractData::InfoType*;

using Slot = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 1023u>;
using Port = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 65535u>;
using Gain = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, -128, 127u>;
using Tos = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 63u>;
using Trunk = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 3u>;
using Clock = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 4294967295u>;

inline const char* const errorCauseNames[] = {
    "invalidParams", "insufficientResources", "invalidSlot", "slotNotExists",   "unexpectedMsgType",
    "internal",      "unsupported",           "reconnectionFail", "disconnectFail", "connectFail",
    "busError",      "slotIdBusy",            "destroyInProgress"};
inline const ASN1::ENUMERATED::InfoType ErrorCause = {
    Allocator<ASN1::ENUMERATED>::info(0x0a), true, 12, errorCauseNames, std::size(errorCauseNames)};
enum ErrorCauseValue { slotNotExists = 3 };

inline const char* const kindNames[] = {"mixerOut", "mixerIn", "rtpOnMixer", "voice", "rtp"};
inline const ASN1::ENUMERATED::InfoType Kind = {
    Allocator<ASN1::ENUMERATED>::info(0x0a), false, 4, kindNames, std::size(kindNames)};

inline const ASN1::ConstrainedObject::InfoType Host = {
    Allocator<ASN1::OCTET_STRING>::info(4), ASN1::FixedConstraint, 4, 4};
inline const ASN1::AbstractString::InfoType Name = {{Allocator<ASN1::IA5String>::info(0x16), ASN1::FixedConstraint, 0, 64},
    ASN1::IA5StringSet.data(), ASN1::IA5StringSet.size(), 7, 7, 8};

inline const InfoPtr endpointFields[] = {&Host, &Port::theInfo, &Name, &Tos::theInfo, &ASN1::PrintableString::theInfo};
inline const int endpointIds[] = {-1, -1, 0, 0, 0};
inline const char* const endpointNames[] = {"host", "port", "name", "tos", "label"};
inline const ASN1::SEQUENCE::InfoType Endpoint = {
    Allocator<ASN1::SEQUENCE>::info(0x10), true, endpointFields, endpointIds, 3, 2, 1, nullptr, nullptr,
    endpointNames};

inline const ASN1::SEQUENCE_OF_Base::InfoType EndpointList = {
    {Allocator<ASN1::SEQUENCE_OF_Base>::info(0x10), ASN1::Unconstrained, 0, 0xffffffffu}, &Endpoint};
inline const ASN1::SEQUENCE_OF_Base::InfoType OctetsList = {
    {Allocator<ASN1::SEQUENCE_OF_Base>::info(0x10), ASN1::Unconstrained, 0, 0xffffffffu},
    &ASN1::OCTET_STRING::theInfo};

inline const InfoPtr createFields[] = {&Kind, &Gain::theInfo, &Endpoint, &EndpointList, &ASN1::BIT_STRING::theInfo,
    &ASN1::BOOLEAN::theInfo, &ASN1::NumericString::theInfo, &ASN1::GeneralizedTime::theInfo, &ASN1::BMPString::theInfo};
inline const int createIds[] = {-1, 0, -1, 1, 2, -1, 0, 0, 0};
inline const char* const createNames[] = {"kind", "gain", "local", "remotes", "flags", "secure", "codec", "started", "owner"};
inline const ASN1::SEQUENCE::InfoType CreateParams = {
    Allocator<ASN1::SEQUENCE>::info(0x10), true, createFields, createIds, 6, 3, 3, nullptr, nullptr, createNames};

inline const InfoPtr ioctlAlternatives[] = {&ASN1::Null::theInfo, &ASN1::INTEGER::theInfo,
                                            &ASN1::OBJECT_IDENTIFIER::theInfo};
inline const char* const ioctlNames[] = {"reset", "level", "oid"};
inline const ASN1::CHOICE::InfoType Ioctl = {
    Allocator<ASN1::CHOICE>::info(0), true, ioctlAlternatives, 2, 3, nullptr, ioctlNames};

inline const InfoPtr commandAlternatives[] = {
    &ASN1::Null::theInfo,   &ASN1::OCTET_STRING::theInfo, &Slot::theInfo,  &ASN1::Null::theInfo,
    &CreateParams,          &ASN1::Null::theInfo,         &Endpoint,       &ASN1::Null::theInfo,
    &ASN1::OCTET_STRING::theInfo, &Ioctl,                 &Trunk::theInfo, &Clock::theInfo,
    &ASN1::Null::theInfo,   &ASN1::VisibleString::theInfo, &OctetsList,    &ASN1::BOOLEAN::theInfo};
inline const char* const commandNames[] = {"query",      "testBpc",  "connect", "disconnect", "create",  "destroy",
                                           "activate",   "deactivate", "userData", "ioctl",    "trunkCfg", "clockCfg",
                                           "ping",       "display",  "protoLemz", "reboot"};
inline const ASN1::CHOICE::InfoType Command = {
    Allocator<ASN1::CHOICE>::info(0), true, commandAlternatives, 15, 16, nullptr, commandNames};

inline const InfoPtr responseAlternatives[] = {&ASN1::Null::theInfo, &ErrorCause};
inline const char* const responseNames[] = {"success", "error"};
inline const ASN1::CHOICE::InfoType Response = {
    Allocator<ASN1::CHOICE>::info(0), false, responseAlternatives, 2, 2, nullptr, responseNames};

inline const InfoPtr signalAlternatives[] = {&ASN1::Null::theInfo, &ErrorCause, &ASN1::OCTET_STRING::theInfo,
                                             &ASN1::INTEGER::theInfo};
inline const char* const signalNames[] = {"activated", "deactivated", "userData", "abort"};
inline const ASN1::CHOICE::InfoType Signal = {
    Allocator<ASN1::CHOICE>::info(0), true, signalAlternatives, 3, 4, nullptr, signalNames};

inline const InfoPtr pduAlternatives[] = {&Command, &Response, &Signal};
inline const char* const pduNames[] = {"command", "response", "signal"};
inline const ASN1::CHOICE::InfoType PDU = {
    Allocator<ASN1::CHOICE>::info(0), false, pduAlternatives, 3, 3, nullptr, pduNames};

inline const InfoPtr messageFields[] = {&ASN1::INTEGER::theInfo, &Slot::theInfo, &PDU};
inline const int messageIds[] = {0, 1, -1};
inline const char* const messageNames[] = {"seq", "slot", "pdu"};
inline const ASN1::SEQUENCE::InfoType Message = {
    Allocator<ASN1::SEQUENCE>::info(0x10), false, messageFields, messageIds, 3, 0, 2, nullptr, nullptr,
    messageNames};

// Builders for tests and benchmarks, from value notation.

inline ASN1::SEQUENCE newMessage() { return ASN1::SEQUENCE(&Message); }

// The message that text reads into; a message without PDU when it does not read.
inline ASN1::SEQUENCE readMessage(const std::string& text)
{
    ASN1::SEQUENCE message = newMessage();
    if (!message.setFromValueNotation(text))
        message = newMessage();
    return message;
}

// {seq, command ping}.
inline ASN1::SEQUENCE pingMessage(int seqNumber)
{
    return readMessage("{ seq " + std::to_string(seqNumber) + ", pdu command : ping : NULL }");
}

// {seq, slot, response error cause}.
inline ASN1::SEQUENCE errorMessage(int seqNumber, int slotNumber, int cause)
{
    return readMessage("{ seq " + std::to_string(seqNumber) + ", slot " + std::to_string(slotNumber) +
                       ", pdu response : error : " + std::to_string(cause) + " }");
}

// {seq, slot, command create} with every kind of component: optional and extension components,
// a list, strings of each kind (the owner "opérateur" beyond ASCII), a time and an ENUMERATED.
inline ASN1::SEQUENCE createMessage(int seqNumber, int slotNumber)
{
    return readMessage("{ seq " + std::to_string(seqNumber) + ", slot " + std::to_string(slotNumber) +
        R"(, pdu command : create : { kind rtp, gain -12,
        local { host '7f000001'H, port 5004, name "rtp-local", tos 46, label "EF voice" },
        remotes { { host '0a000002'H, port 6000 }, { host '0a000003'H, port 6002, name "peer" } },
        flags '10000000000000000001'B, secure TRUE, codec "711 729", started "20240102030405.250Z",
        owner {{0,0,0,111}, {0,0,0,112}, {0,0,0,233}, {0,0,0,114}, {0,0,0,97}, {0,0,0,116}, {0,0,0,101},
          {0,0,0,117}, {0,0,0,114}} } })");
}

}  // namespace PerSchema
