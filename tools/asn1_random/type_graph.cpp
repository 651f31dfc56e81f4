#include "tools/asn1_random/type_graph.h"

#include "asn1/runtime/choice.h"
#include "asn1/runtime/sequence.h"
#include "asn1/runtime/sequence_of.h"

#include <memory>

namespace asn1random {

const std::vector<const TypeInfo*>& TypeGraph::children(const TypeInfo* type)
{
    const auto known = children_.find(type);
    if (known != children_.end())
        return known->second;
    std::vector<const TypeInfo*> found;
    const std::unique_ptr<ASN1::AbstractData> value(type->create(type));
    if (const auto* seq = dynamic_cast<const ASN1::SEQUENCE*>(value.get())) {
        const ASN1::SEQUENCE::InfoType& info = *seq->info();
        found.assign(info.fieldInfos, info.fieldInfos + info.numRootFields + info.numKnownExtensions);
    } else if (const auto* choice = dynamic_cast<const ASN1::CHOICE*>(value.get())) {
        const ASN1::CHOICE::InfoType& info = *choice->info();
        found.assign(info.selectionInfos, info.selectionInfos + info.numAlternatives);
    } else if (const auto* list = dynamic_cast<const ASN1::SEQUENCE_OF_Base*>(value.get())) {
        found.push_back(list->info()->elementInfo);
    }
    return children_.emplace(type, std::move(found)).first->second;
}

std::vector<const TypeInfo*> TypeGraph::closure(const std::vector<const TypeInfo*>& roots)
{
    std::vector<const TypeInfo*> order;
    std::set<const TypeInfo*> seen;
    std::vector<const TypeInfo*> pending(roots.rbegin(), roots.rend());
    while (!pending.empty()) {
        const TypeInfo* type = pending.back();
        pending.pop_back();
        if (!seen.insert(type).second)
            continue;
        order.push_back(type);
        const std::vector<const TypeInfo*>& next = children(type);
        pending.insert(pending.end(), next.rbegin(), next.rend());
    }
    return order;
}

bool TypeGraph::reaches(const TypeInfo* from, const TypeInfo* to)
{
    auto known = reached_.find(from);
    if (known == reached_.end()) {
        const std::vector<const TypeInfo*> all = closure({from});
        known = reached_.emplace(from, std::set<const TypeInfo*>(all.begin(), all.end())).first;
    }
    return known->second.count(to) != 0;
}

}  // namespace asn1random
