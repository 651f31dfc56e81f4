#include "asn1/runtime/sequence.h"

#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/visitor.h"

namespace ASN1 {

namespace {

// Components that both values hold compare by value; otherwise by presence.
int compareComponents(bool present, const AbstractData* mine, bool other_present, const AbstractData* theirs)
{
    present = present && mine;
    other_present = other_present && theirs;
    if (present && other_present)
        return mine->compare(*theirs);
    return int(present) - int(other_present);
}

}  // namespace

const unsigned SEQUENCE::defaultTag[1] = {0};

SEQUENCE::SEQUENCE(const InfoType* info)
    : AbstractData(info), fields_(info->numRootFields + info->numKnownExtensions), optionalMap_(info->numOptionalFields)
{
    for (unsigned i = 0; i < info->numRootFields; ++i)
        if (info->fieldIds[i] == -1)
            makeField(i);
    if (info->extensionDefaults) {
        std::vector<char> defaults(info->extensionDefaults, info->extensionDefaults + (info->numKnownExtensions + 7) / 8);
        extensionMap_.assign(defaults, info->numKnownExtensions);
        for (unsigned k = 0; k < info->numKnownExtensions; ++k)
            if (extensionMap_[k])
                makeField(info->numRootFields + k);
    }
}

SEQUENCE& SEQUENCE::operator=(const SEQUENCE& other)
{
    SEQUENCE copy(other);
    swap(copy);
    return *this;
}

void SEQUENCE::swap(SEQUENCE& other)
{
    fields_.swap(other.fields_);
    std::swap(optionalMap_, other.optionalMap_);
    std::swap(extensionMap_, other.extensionMap_);
}

AbstractData* SEQUENCE::makeField(unsigned index)
{
    if (index >= fields_.size())
        return nullptr;
    const AbstractData::InfoType* component = info()->fieldInfos[index];
    if (!fields_[index] && component)
        fields_[index].reset(component->create(component));
    return fields_[index].get();
}

bool SEQUENCE::hasOptionalField(unsigned id) const
{
    const unsigned optional = info()->numOptionalFields;
    return id < optional ? optionalMap_[id] : extensionMap_[id - optional];
}

void SEQUENCE::includeOptionalField(unsigned id, unsigned index)
{
    const unsigned optional = info()->numOptionalFields;
    if (id < optional) {
        optionalMap_.set(id);
    } else {
        const unsigned addition = id - optional;
        if (addition >= info()->numKnownExtensions)
            return;
        if (extensionMap_.size() <= addition)
            extensionMap_.resize(addition + 1);
        extensionMap_.set(addition);
    }
    makeField(index);
}

void SEQUENCE::removeOptionalField(unsigned id)
{
    const unsigned optional = info()->numOptionalFields;
    if (id < optional)
        optionalMap_.set(id, false);
    else
        extensionMap_.set(id - optional, false);
}

void SEQUENCE::dropOptionalFields()
{
    const InfoType& type = *info();
    for (unsigned i = 0; i < fields_.size(); ++i)
        if (i >= type.numRootFields || type.fieldIds[i] != -1)
            fields_[i].reset();
    optionalMap_.resize(0);
    optionalMap_.resize(type.numOptionalFields);
    extensionMap_.resize(0);
}

int SEQUENCE::do_compare(const AbstractData& other) const
{
    const auto& that = *boost::polymorphic_downcast<const SEQUENCE*>(&other);
    const InfoType& type = *info();
    for (unsigned i = 0; i < type.numRootFields; ++i) {
        const int id = type.fieldIds[i];
        const bool mine = id == -1 || optionalMap_[id];
        const bool theirs = id == -1 || that.optionalMap_[id];
        if (const int result = compareComponents(mine, getField(i), theirs, that.getField(i)))
            return result;
    }
    for (unsigned k = 0; k < type.numKnownExtensions; ++k) {
        const unsigned i = type.numRootFields + k;
        if (const int result = compareComponents(extensionMap_[k], getField(i), that.extensionMap_[k], that.getField(i)))
            return result;
    }
    return 0;
}

AbstractData* SEQUENCE::do_clone() const { return cloneThrough(*this); }

bool SEQUENCE::do_accept(Visitor& visitor) { return visitor.visit(*this); }

bool SEQUENCE::do_accept(ConstVisitor& visitor) const { return visitor.visit(*this); }

}  // namespace ASN1
