#pragma once

// The visitor of values it only reads: encoders, printers and checkers derive from it. Every
// value slot defaults to the generic slot do_visit(const AbstractData&), which accepts, so a
// visitor that overrides nothing accepts every value. A SEQUENCE runs the encoding walk, which
// visits only the components that are present.

#include "asn1/runtime/visitor.h"

namespace ASN1 {

class AbstractData;

class ConstVisitor {
public:
    virtual ~ConstVisitor() = default;

    bool visit(const Null& value) { return do_visit(value); }
    bool visit(const BOOLEAN& value) { return do_visit(value); }
    bool visit(const INTEGER& value) { return do_visit(value); }
    bool visit(const IntegerWithNamedNumber& value) { return do_visit(value); }
    bool visit(const ENUMERATED& value) { return do_visit(value); }
    bool visit(const OBJECT_IDENTIFIER& value) { return do_visit(value); }
    bool visit(const BIT_STRING& value) { return do_visit(value); }
    bool visit(const OCTET_STRING& value) { return do_visit(value); }
    bool visit(const AbstractString& value) { return do_visit(value); }
    bool visit(const BMPString& value) { return do_visit(value); }
    bool visit(const CHOICE& value) { return do_visit(value); }
    // A TypeConstrainedOpenData comes here too.
    bool visit(const OpenData& value) { return do_visit(value); }
    bool visit(const GeneralizedTime& value) { return do_visit(value); }
    bool visit(const SEQUENCE_OF_Base& value) { return do_visit(value); }

    // The encoding walk:
    // 1. preVisitExtensionRoots.
    // 2. visitExtensionRoot(seq, i) for each mandatory root component and each optional one whose
    //    presence bit is set.
    // 3. When the extension map has no bits, afterVisitSequence.
    // 4. preVisitExtensions (also when no bit of the map is set).
    // 5. visitKnownExtension(seq, i) for each addition whose extension bit is set.
    // 6. afterVisitSequence.
    // Any false ends the walk with false, and so does a component to visit that does not exist
    // (a presence bit set for a component never created), so no visitor meets a null component.
    bool visit(const SEQUENCE& seq);

protected:
    virtual bool do_visit(const AbstractData& value);  // true
    virtual bool do_visit(const Null& value);
    virtual bool do_visit(const BOOLEAN& value);
    virtual bool do_visit(const INTEGER& value);
    // Defaults to the INTEGER slot.
    virtual bool do_visit(const IntegerWithNamedNumber& value);
    virtual bool do_visit(const ENUMERATED& value);
    virtual bool do_visit(const OBJECT_IDENTIFIER& value);
    virtual bool do_visit(const BIT_STRING& value);
    virtual bool do_visit(const OCTET_STRING& value);
    virtual bool do_visit(const AbstractString& value);
    virtual bool do_visit(const BMPString& value);
    virtual bool do_visit(const CHOICE& value);
    virtual bool do_visit(const OpenData& value);
    virtual bool do_visit(const GeneralizedTime& value);
    virtual bool do_visit(const SEQUENCE_OF_Base& value);

    // SEQUENCE hooks; the defaults are the generic slot, false, true, false and true.
    virtual bool preVisitExtensionRoots(const SEQUENCE& seq);
    virtual bool visitExtensionRoot(const SEQUENCE& seq, int index);
    virtual bool preVisitExtensions(const SEQUENCE& seq);
    virtual bool visitKnownExtension(const SEQUENCE& seq, int index);
    virtual bool afterVisitSequence(const SEQUENCE& seq);

    // Steps 3 to 5 of the walk: the additions, when the extension map has bits.
    bool visitExtensions(const SEQUENCE& seq);
};

}  // namespace ASN1
