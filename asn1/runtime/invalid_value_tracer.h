#pragma once

// Describes the first place where a value breaks the constraints of its type: a path of steps
// (".field", ".alternative", "[index]") followed by one sentence that starts with a space, as in
//     .list[2] This AbstractString has size 9 greater than its upper bound 8
// It judges like the strict checker, except that it lets pass an INTEGER above the upper bound
// of an extendable range, a size above the upper bound of an extendable size constraint and a
// CHOICE alternative beyond the root of its type (whose value it still traces).

#include "asn1/runtime/abstract_data.h"
#include "asn1/runtime/const_visitor.h"

#include <ostream>
#include <sstream>
#include <string>
#include <string_view>

namespace ASN1 {

class InvalidTracer : public ConstVisitor {
public:
    // The description written so far.
    std::string text() const { return text_.str(); }

protected:
    bool do_visit(const INTEGER& value) override;
    bool do_visit(const ENUMERATED& value) override;
    bool do_visit(const OBJECT_IDENTIFIER& value) override;
    bool do_visit(const BIT_STRING& value) override;
    bool do_visit(const OCTET_STRING& value) override;
    bool do_visit(const AbstractString& value) override;
    bool do_visit(const BMPString& value) override;
    bool do_visit(const CHOICE& value) override;
    bool do_visit(const OpenData& value) override;
    bool do_visit(const GeneralizedTime& value) override;
    bool do_visit(const SEQUENCE_OF_Base& value) override;

    bool visitExtensionRoot(const SEQUENCE& seq, int index) override;
    bool visitKnownExtension(const SEQUENCE& seq, int index) override;

private:
    // The size sentences of a sized value, for instance " This BIT STRING has size 3 smaller
    // than its lower bound 4"; true when the size is within its bounds.
    bool traceSize(std::string_view kind, unsigned n, const ConstrainedObject::InfoType& info);
    bool traceField(const SEQUENCE& seq, int index);

    std::ostringstream text_;
};

// Returns whether the tracer finds value valid; when it does not, writes prefix, the description
// and an end of line to os.
bool trace_invalid(std::ostream& os, std::string_view prefix, const AbstractData& value);

}  // namespace ASN1
