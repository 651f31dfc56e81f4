#pragma once

// A controller-message-shaped schema on hand-written constant descriptors, for the PER tests, the
// PER fuzz target and the PER benchmark. Values are the value model's own classes (no generated
// classes), reached by component and alternative index.
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

#include <boost/polymorphic_cast.hpp>

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
    {&Allocator<ASN1::ENUMERATED>::create, 0x0a}, true, 12, errorCauseNames, std::size(errorCauseNames)};
enum ErrorCauseValue { slotNotExists = 3, unsupported = 6, destroyInProgress = 12 };

inline const char* const kindNames[] = {"mixerOut", "mixerIn", "rtpOnMixer", "voice", "rtp"};
inline const ASN1::ENUMERATED::InfoType Kind = {
    {&Allocator<ASN1::ENUMERATED>::create, 0x0a}, false, 4, kindNames, std::size(kindNames)};

inline const ASN1::ConstrainedObject::InfoType Host = {
    {&Allocator<ASN1::OCTET_STRING>::create, 4}, ASN1::FixedConstraint, 4, 4};
inline const ASN1::AbstractString::InfoType Name = {{{&Allocator<ASN1::IA5String>::create, 0x16}, ASN1::FixedConstraint, 0, 64},
    ASN1::IA5StringSet.data(), ASN1::IA5StringSet.size(), 7, 7, 8};

enum EndpointField { host, port, name, tos, label };
inline const InfoPtr endpointFields[] = {&Host, &Port::theInfo, &Name, &Tos::theInfo, &ASN1::PrintableString::theInfo};
inline const int endpointIds[] = {-1, -1, 0, 0, 0};
inline const char* const endpointNames[] = {"host", "port", "name", "tos", "label"};
inline const ASN1::SEQUENCE::InfoType Endpoint = {
    {&Allocator<ASN1::SEQUENCE>::create, 0x10}, true, endpointFields, endpointIds, 3, 2, 1, nullptr, nullptr,
    endpointNames};

inline const ASN1::SEQUENCE_OF_Base::InfoType EndpointList = {
    {{&Allocator<ASN1::SEQUENCE_OF_Base>::create, 0x10}, ASN1::Unconstrained, 0, 0xffffffffu}, &Endpoint};
inline const ASN1::SEQUENCE_OF_Base::InfoType OctetsList = {
    {{&Allocator<ASN1::SEQUENCE_OF_Base>::create, 0x10}, ASN1::Unconstrained, 0, 0xffffffffu},
    &ASN1::OCTET_STRING::theInfo};

enum CreateField { kind, gain, local, remotes, flags, secure, codec, started, owner };
inline const InfoPtr createFields[] = {&Kind, &Gain::theInfo, &Endpoint, &EndpointList, &ASN1::BIT_STRING::theInfo,
    &ASN1::BOOLEAN::theInfo, &ASN1::NumericString::theInfo, &ASN1::GeneralizedTime::theInfo, &ASN1::BMPString::theInfo};
inline const int createIds[] = {-1, 0, -1, 1, 2, -1, 0, 0, 0};
inline const char* const createNames[] = {"kind", "gain", "local", "remotes", "flags", "secure", "codec", "started", "owner"};
inline const ASN1::SEQUENCE::InfoType CreateParams = {
    {&Allocator<ASN1::SEQUENCE>::create, 0x10}, true, createFields, createIds, 6, 3, 3, nullptr, nullptr, createNames};

enum IoctlAlternative { reset, level, oid };
inline const InfoPtr ioctlAlternatives[] = {&ASN1::Null::theInfo, &ASN1::INTEGER::theInfo,
                                            &ASN1::OBJECT_IDENTIFIER::theInfo};
inline const char* const ioctlNames[] = {"reset", "level", "oid"};
inline const ASN1::CHOICE::InfoType Ioctl = {
    {&Allocator<ASN1::CHOICE>::create, 0}, true, ioctlAlternatives, 2, 3, nullptr, ioctlNames};

enum CommandAlternative { query, testBpc, connect, disconnect, create, destroy, activate, deactivate,
    userData, ioctl, trunkCfg, clockCfg, ping, display, protoLemz, reboot };
inline const InfoPtr commandAlternatives[] = {
    &ASN1::Null::theInfo,   &ASN1::OCTET_STRING::theInfo, &Slot::theInfo,  &ASN1::Null::theInfo,
    &CreateParams,          &ASN1::Null::theInfo,         &Endpoint,       &ASN1::Null::theInfo,
    &ASN1::OCTET_STRING::theInfo, &Ioctl,                 &Trunk::theInfo, &Clock::theInfo,
    &ASN1::Null::theInfo,   &ASN1::VisibleString::theInfo, &OctetsList,    &ASN1::BOOLEAN::theInfo};
inline const char* const commandNames[] = {"query",      "testBpc",  "connect", "disconnect", "create",  "destroy",
                                           "activate",   "deactivate", "userData", "ioctl",    "trunkCfg", "clockCfg",
                                           "ping",       "display",  "protoLemz", "reboot"};
inline const ASN1::CHOICE::InfoType Command = {
    {&Allocator<ASN1::CHOICE>::create, 0}, true, commandAlternatives, 15, 16, nullptr, commandNames};

enum ResponseAlternative { success, error };
inline const InfoPtr responseAlternatives[] = {&ASN1::Null::theInfo, &ErrorCause};
inline const char* const responseNames[] = {"success", "error"};
inline const ASN1::CHOICE::InfoType Response = {
    {&Allocator<ASN1::CHOICE>::create, 0}, false, responseAlternatives, 2, 2, nullptr, responseNames};

enum SignalAlternative { activated, deactivated, signalUserData, signalAbort };
inline const InfoPtr signalAlternatives[] = {&ASN1::Null::theInfo, &ErrorCause, &ASN1::OCTET_STRING::theInfo,
                                             &ASN1::INTEGER::theInfo};
inline const char* const signalNames[] = {"activated", "deactivated", "userData", "abort"};
inline const ASN1::CHOICE::InfoType Signal = {
    {&Allocator<ASN1::CHOICE>::create, 0}, true, signalAlternatives, 3, 4, nullptr, signalNames};

enum PduAlternative { command, response, signal };
inline const InfoPtr pduAlternatives[] = {&Command, &Response, &Signal};
inline const char* const pduNames[] = {"command", "response", "signal"};
inline const ASN1::CHOICE::InfoType PDU = {
    {&Allocator<ASN1::CHOICE>::create, 0}, false, pduAlternatives, 3, 3, nullptr, pduNames};

enum MessageField { seq, slot, pdu };
inline const InfoPtr messageFields[] = {&ASN1::INTEGER::theInfo, &Slot::theInfo, &PDU};
inline const int messageIds[] = {0, 1, -1};
inline const char* const messageNames[] = {"seq", "slot", "pdu"};
inline const ASN1::SEQUENCE::InfoType Message = {
    {&Allocator<ASN1::SEQUENCE>::create, 0x10}, false, messageFields, messageIds, 3, 0, 2, nullptr, nullptr,
    messageNames};

// Builders for tests and benchmarks.

// Selects alternative index of choice with a new default value and returns that value as T.
template <class T>
T& select(ASN1::CHOICE& choice, int index)
{
    choice.createSelection(index);
    return *boost::polymorphic_downcast<T*>(choice.getSelection());
}

// Marks optional or extension id present and returns its component as T.
template <class T>
T& include(ASN1::SEQUENCE& seq, unsigned id, unsigned index)
{
    seq.includeOptionalField(id, index);
    return seq.field<T>(index);
}

inline ASN1::SEQUENCE newMessage() { return ASN1::SEQUENCE(&Message); }

inline ASN1::CHOICE& pduOf(ASN1::SEQUENCE& message) { return message.field<ASN1::CHOICE>(pdu); }

inline void setSeq(ASN1::SEQUENCE& message, int value) { include<ASN1::INTEGER>(message, 0, seq).setValue(value); }

inline void setSlot(ASN1::SEQUENCE& message, int value) { include<ASN1::INTEGER>(message, 1, slot).setValue(value); }

// {seq, command ping}.
inline ASN1::SEQUENCE pingMessage(int seqNumber)
{
    ASN1::SEQUENCE message = newMessage();
    setSeq(message, seqNumber);
    select<ASN1::CHOICE>(pduOf(message), command).createSelection(ping);
    return message;
}

// {seq, slot, response error cause}.
inline ASN1::SEQUENCE errorMessage(int seqNumber, int slotNumber, int cause)
{
    ASN1::SEQUENCE message = newMessage();
    setSeq(message, seqNumber);
    setSlot(message, slotNumber);
    auto& answer = select<ASN1::CHOICE>(pduOf(message), response);
    select<ASN1::ENUMERATED>(answer, error).setValue(cause);
    return message;
}

inline void fillEndpoint(ASN1::SEQUENCE& endpoint, const char* hostOctets, int portNumber, const char* nameText)
{
    endpoint.field<ASN1::OCTET_STRING>(host).getValue().assign(hostOctets, hostOctets + 4);
    endpoint.field<ASN1::INTEGER>(port).setValue(portNumber);
    if (nameText)
        include<ASN1::AbstractString>(endpoint, 0, name).setValue(nameText);
}

// {seq, slot, command create} with every kind of component: optional and extension components,
// a list, strings of each kind, a time and an ENUMERATED.
inline ASN1::SEQUENCE createMessage(int seqNumber, int slotNumber)
{
    ASN1::SEQUENCE message = newMessage();
    setSeq(message, seqNumber);
    setSlot(message, slotNumber);
    auto& params = select<ASN1::SEQUENCE>(select<ASN1::CHOICE>(pduOf(message), command), create);
    params.field<ASN1::ENUMERATED>(kind).setValue(4);
    include<ASN1::INTEGER>(params, 0, gain).setValue(-12);
    auto& localEnd = params.field<ASN1::SEQUENCE>(local);
    fillEndpoint(localEnd, "\x7f\x00\x00\x01", 5004, "rtp-local");
    include<ASN1::INTEGER>(localEnd, 1, tos).setValue(46);
    include<ASN1::AbstractString>(localEnd, 2, label).setValue("EF voice");
    auto& peers = include<ASN1::SEQUENCE_OF_Base>(params, 1, remotes);
    peers.resize(2);
    fillEndpoint(*boost::polymorphic_downcast<ASN1::SEQUENCE*>(&peers[0]), "\x0a\x00\x00\x02", 6000, nullptr);
    fillEndpoint(*boost::polymorphic_downcast<ASN1::SEQUENCE*>(&peers[1]), "\x0a\x00\x00\x03", 6002, "peer");
    auto& bits = include<ASN1::BIT_STRING>(params, 2, flags).getValue();
    bits.resize(20);
    bits.set(0);
    bits.set(19);
    params.field<ASN1::BOOLEAN>(secure).setValue(true);
    include<ASN1::AbstractString>(params, 3, codec).setValue("711 729");
    include<ASN1::GeneralizedTime>(params, 4, started).set("20240102030405.250Z");
    include<ASN1::BMPString>(params, 5, owner).setValue(L"opérateur");
    return message;
}

}  // namespace PerSchema
