#include "asn1/runtime/const_visitor.h"

#include "asn1/runtime/abstract_string.h"
#include "asn1/runtime/bit_string.h"
#include "asn1/runtime/bmp_string.h"
#include "asn1/runtime/boolean.h"
#include "asn1/runtime/choice.h"
#include "asn1/runtime/enumerated.h"
#include "asn1/runtime/generalized_time.h"
#include "asn1/runtime/integer_with_named_number.h"
#include "asn1/runtime/null.h"
#include "asn1/runtime/object_identifier.h"
#include "asn1/runtime/octet_string.h"
#include "asn1/runtime/open_data.h"
#include "asn1/runtime/sequence.h"
#include "asn1/runtime/sequence_of.h"

namespace ASN1 {

bool ConstVisitor::visit(const SEQUENCE& seq)
{
    const SEQUENCE::InfoType& type = *seq.info();
    if (!preVisitExtensionRoots(seq))
        return false;
    const int* const ids = type.fieldIds;
    const unsigned rootCount = type.numRootFields;
    const SEQUENCE::BitMap& present = seq.optionalMap();
    for (unsigned i = 0; i < rootCount; ++i) {
        if (ids[i] != -1 && !present[static_cast<unsigned>(ids[i])])
            continue;
        if (!seq.getField(i) || !visitExtensionRoot(seq, static_cast<int>(i)))
            return false;
    }
    return visitExtensions(seq) && afterVisitSequence(seq);
}

bool ConstVisitor::visitExtensions(const SEQUENCE& seq)
{
    const SEQUENCE::InfoType& type = *seq.info();
    if (seq.extensionMap().size() == 0)
        return true;
    if (!preVisitExtensions(seq))
        return false;
    for (unsigned k = 0; k < type.numKnownExtensions; ++k) {
        if (!seq.extensionMap()[k])
            continue;
        const unsigned i = type.numRootFields + k;
        if (!seq.getField(i) || !visitKnownExtension(seq, static_cast<int>(i)))
            return false;
    }
    return true;
}

bool ConstVisitor::do_visit(const AbstractData&) { return true; }
bool ConstVisitor::do_visit(const Null& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const BOOLEAN& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const INTEGER& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const IntegerWithNamedNumber& value) { return do_visit(static_cast<const INTEGER&>(value)); }
bool ConstVisitor::do_visit(const ENUMERATED& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const OBJECT_IDENTIFIER& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const BIT_STRING& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const OCTET_STRING& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const AbstractString& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const BMPString& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const CHOICE& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const OpenData& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const GeneralizedTime& value) { return do_visit(static_cast<const AbstractData&>(value)); }
bool ConstVisitor::do_visit(const SEQUENCE_OF_Base& value) { return do_visit(static_cast<const AbstractData&>(value)); }

bool ConstVisitor::preVisitExtensionRoots(const SEQUENCE& seq) { return do_visit(static_cast<const AbstractData&>(seq)); }
bool ConstVisitor::visitExtensionRoot(const SEQUENCE&, int) { return false; }
bool ConstVisitor::preVisitExtensions(const SEQUENCE&) { return true; }
bool ConstVisitor::visitKnownExtension(const SEQUENCE&, int) { return false; }
bool ConstVisitor::afterVisitSequence(const SEQUENCE&) { return true; }

}  // namespace ASN1
