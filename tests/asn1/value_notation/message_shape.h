#pragma once

// Hand-built descriptors in the shape of the controller messages: the envelope, its PDU choice,
// commands, responses and signals with their real names and indexes, and the RTP parameters with
// the one sized string. Parameter types that these tests do not need stand in as NULL.
//
//   Message ::= SEQUENCE { seq INTEGER OPTIONAL, slot INTEGER (0..1023) OPTIONAL, pdu PDU }
//   PDU ::= CHOICE { command Command, response Response, signal Signal }
//   Response ::= CHOICE { success NULL, error ErrorCause }
//   TrunkCfg ::= SEQUENCE { trunk INTEGER, mode TrunkMode }
//   CreateRtpParams ::= SEQUENCE { codecRTP RtpParams, txPayload Payload, rxPayload Payload, ... }
//   RtpParams ::= SEQUENCE { payload Payload, dhost HostAddress, shost HostAddress OPTIONAL,
//       dname IA5String (SIZE (1..64)) OPTIONAL, jitter RtpJitter OPTIONAL, pfactor INTEGER
//       OPTIONAL, crate INTEGER OPTIONAL, vad BOOLEAN OPTIONAL, ssrc INTEGER (0..4294967295)
//       OPTIONAL, ttl INTEGER (1..255) OPTIONAL, qos-dscp IpQoSDSCP OPTIONAL, ... }

#include "asn1/runtime/asn1.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Shape {

extern const ASN1::SEQUENCE::InfoType Message, TrunkCfg, CreateRtpParams, RtpParams, HostAddress, RtpJitter;
extern const ASN1::CHOICE::InfoType PDU, Command, Response, Signal, CreateParams;
extern const ASN1::ENUMERATED::InfoType ErrorCause, TrunkMode, Payload, IpQoSDSCP;
extern const ASN1::AbstractString::InfoType Dname;

enum PduIndex { command = 0, response = 1, signal = 2 };
enum CommandIndex { query = 0, connect = 2, create = 4, userData = 8, trunkCfg = 10, ping = 12 };
enum SignalIndex { number = 2, activated = 5, abortSignal = 7, userDataSignal = 8 };
enum RtpParamsField { payload, dhost, shost, dname, jitter, pfactor, crate, vad, ssrc, ttl, qosDscp };

// A new default value of the type, as a decoder gets it.
template <class T = ASN1::AbstractData, class Info>
std::unique_ptr<T> make(const Info& info)
{
    return std::unique_ptr<T>(static_cast<T*>(info.create(&info)));
}

// A CHOICE of type info holding value under index (owning it).
ASN1::CHOICE* choice(const ASN1::CHOICE::InfoType& info, int index, ASN1::AbstractData* value);
ASN1::ENUMERATED* enumerated(const ASN1::ENUMERATED::InfoType& info, int value);
// A message whose pdu selects pduIndex with the alternative value.
std::unique_ptr<ASN1::SEQUENCE> message(std::optional<int> seq, std::optional<unsigned> slot, PduIndex pduIndex,
                                        ASN1::AbstractData* value);
ASN1::SEQUENCE* trunkCfgValue(int trunk, int mode);
// RtpParams with every optional field present.
std::unique_ptr<ASN1::SEQUENCE> fullRtpParams();

// Messages of every kind the controller link carries here, for round trips.
std::vector<std::unique_ptr<ASN1::SEQUENCE>> sampleMessages();

}  // namespace Shape
