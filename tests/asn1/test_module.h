#pragma once

// A small module written the way generated message classes are: classes that add no data to
// their kind, constant descriptors and typed accessors.
//
//   Dscp ::= ENUMERATED { cs0, le, cs1(8), alias(8), af11(10), ef(46), cs7(56), count(23),
//                         beyond(60), ... }                         -- maxEnumValue 56
//   Inner ::= SEQUENCE { flag BOOLEAN, label IA5String OPTIONAL }
//   Pick ::= CHOICE { number INTEGER, inner Inner, nothing NULL, ..., octets OCTET STRING }
//   Outer ::= SEQUENCE { id INTEGER (0..1023), colour Dscp OPTIONAL, pick Pick,
//                        items SEQUENCE OF Inner OPTIONAL, ...,
//                        e0 INTEGER, e1 BOOLEAN, e2 IA5String, e3 NULL, e4 OCTET STRING, e5 Inner }

#include "asn1/runtime/asn1.h"

#include <string>

namespace TestModule {

extern const char* const Dscp_enum_names__[];

class Dscp : public ASN1::ENUMERATED {
public:
    enum NamedNumber { cs0 = 0, le = 1, cs1 = 8, af11 = 10, ef = 46, cs7 = 56, count = 23, beyond = 60 };

    static const InfoType theInfo;

    explicit Dscp(const InfoType* info = &theInfo) : ENUMERATED(info) {}
};

class Inner : public ASN1::SEQUENCE {
public:
    static const InfoType theInfo;
    static const ASN1::AbstractData::InfoType* const fieldInfos[];
    static const int fieldIds[];
    static const char* const fieldNames[];

    explicit Inner(const InfoType* info = &theInfo) : SEQUENCE(info) {}

    void set_flag(bool flag) { field<ASN1::BOOLEAN>(0).setValue(flag); }
    void set_label(const std::string& label) { field<ASN1::IA5String>(1).setValue(label); }
};

class Pick : public ASN1::CHOICE {
public:
    enum Choice { number, inner, nothing, octets };

    static const InfoType theInfo;
    static const ASN1::AbstractData::InfoType* const selectionInfos[];
    static const char* const selectionNames[];

    explicit Pick(const InfoType* info = &theInfo, int selection = -1, ASN1::AbstractData* value = nullptr)
        : CHOICE(info, selection, value)
    {
    }
};

using Id = ASN1::Constrained_INTEGER<ASN1::FixedConstraint, 0, 1023u>;
using InnerList = ASN1::SEQUENCE_OF<Inner>;

class Outer : public ASN1::SEQUENCE {
public:
    enum Field { id, colour, pick, items, e0, e1, e2, e3, e4, e5 };

    static const InfoType theInfo;
    static const ASN1::AbstractData::InfoType* const fieldInfos[];
    static const int fieldIds[];
    static const char* const fieldNames[];

    explicit Outer(const InfoType* info = &theInfo) : SEQUENCE(info) {}

    Pick& get_pick() { return field<Pick>(pick); }
};

// An INTEGER with named numbers and a type-constrained open type carrying an Inner.
extern const ASN1::IntegerWithNamedNumber::InfoType Level_info;
extern const ASN1::TypeConstrainedOpenData::InfoType InnerCarrier_info;

}  // namespace TestModule
