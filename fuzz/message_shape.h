#pragma once

// Hand-built descriptors in the shape of the controller messages, which the fuzz targets of the
// value readers decode into beside the generated classes: the envelope, its PDU choice, commands,
// responses and signals with their real names and indexes, and the RTP parameters with the one
// sized string. Parameter types stand in as NULL where the shape needs no more.
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

namespace Shape {

extern const ASN1::SEQUENCE::InfoType Message, TrunkCfg, CreateRtpParams, RtpParams, HostAddress, RtpJitter;
extern const ASN1::CHOICE::InfoType PDU, Command, Response, Signal, CreateParams;
extern const ASN1::ENUMERATED::InfoType ErrorCause, TrunkMode, Payload, IpQoSDSCP;
extern const ASN1::AbstractString::InfoType Dname;

}  // namespace Shape
