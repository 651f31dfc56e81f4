#pragma once

// The message types as a graph of descriptors: a SEQUENCE leads to its fields' types, a CHOICE to
// its alternatives', a list to its element's. Nodes are learnt on demand by making a default value
// from the descriptor, so any descriptor of the value model can be asked about.

#include "asn1/runtime/abstract_data.h"

#include <map>
#include <set>
#include <vector>

namespace asn1random {

using TypeInfo = ASN1::AbstractData::InfoType;

class TypeGraph {
public:
    // The descriptors a value of the type holds directly, in component order.
    const std::vector<const TypeInfo*>& children(const TypeInfo* type);
    // Every descriptor a value of one of the roots may contain, the roots included, each once,
    // in order of discovery.
    std::vector<const TypeInfo*> closure(const std::vector<const TypeInfo*>& roots);
    // Whether a value of from may contain a value of to (or is one).
    bool reaches(const TypeInfo* from, const TypeInfo* to);

private:
    std::map<const TypeInfo*, std::vector<const TypeInfo*>> children_;
    // Per descriptor asked about, everything its values may contain.
    std::map<const TypeInfo*, std::set<const TypeInfo*>> reached_;
};

}  // namespace asn1random
