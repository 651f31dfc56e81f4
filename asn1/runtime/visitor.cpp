#include "asn1/runtime/visitor.h"

#include "asn1/runtime/integer_with_named_number.h"
#include "asn1/runtime/sequence.h"

namespace ASN1 {

bool Visitor::visit(SEQUENCE& seq)
{
    const SEQUENCE::InfoType& type = *seq.info();
    // Whatever an earlier fill left is dropped: an optional component or addition exists only
    // when this input has it.
    seq.dropOptionalFields();
    const int roots = preVisitExtensionRoots(seq);
    if (roots == Fail || roots == Finished)
        return roots == Finished;
    for (unsigned i = 0; i < type.numRootFields; ++i) {
        const int step = visitExtensionRoot(seq, static_cast<int>(i), type.fieldIds[i]);
        if (step == Fail || step == Finished)
            return step == Finished;
    }
    return roots != Continue || visitExtensions(seq);
}

bool Visitor::visitExtensions(SEQUENCE& seq)
{
    const SEQUENCE::InfoType& type = *seq.info();
    const int extensions = preVisitExtensions(seq);
    if (extensions != Continue)
        return extensions == Finished;
    for (unsigned k = 0; k < type.numKnownExtensions; ++k) {
        const int step = visitKnownExtension(seq, static_cast<int>(type.numRootFields + k),
                                             static_cast<int>(type.numOptionalFields + k));
        if (step != Continue)
            return step == Finished;
    }
    return visitUnknownExtensions(seq);
}

bool Visitor::do_visit(IntegerWithNamedNumber& value) { return do_visit(static_cast<INTEGER&>(value)); }

int Visitor::preVisitExtensionRoots(SEQUENCE&) { return Continue; }

int Visitor::visitExtensionRoot(SEQUENCE&, int, int) { return Fail; }

int Visitor::preVisitExtensions(SEQUENCE&) { return Continue; }

int Visitor::visitKnownExtension(SEQUENCE&, int, int) { return Fail; }

bool Visitor::visitUnknownExtensions(SEQUENCE&) { return true; }

}  // namespace ASN1
