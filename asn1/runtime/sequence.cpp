#include "asn1/runtime/sequence.h"

#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/visitor.h"

#include <memory>
#include <utility>

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

const ComponentBlock::Layout* SEQUENCE::makeLayout(const InfoType& type)
{
    const ComponentBlock::Layout* layout = nullptr;
    // Every value is built with its mandatory components.
    std::vector<unsigned> mandatory;
    for (unsigned i = 0; i < type.numRootFields; ++i)
        if (type.fieldIds[i] == -1)
            mandatory.push_back(i);
    auto made = std::make_unique<ComponentBlock::Layout>(type.fieldInfos, type.numRootFields + type.numKnownExtensions,
                                                         std::move(mandatory), type.buildComponents);
    // Another thread may have been first.
    if (!type.layout.compare_exchange_strong(layout, made.get(), std::memory_order_acq_rel))
        return layout;
    return made.release();
}

const unsigned SEQUENCE::defaultTag[1] = {0};

void SEQUENCE::includeDefaultAdditions()
{
    const InfoType& type = *info();
    std::vector<char> defaults(type.extensionDefaults, type.extensionDefaults + (type.numKnownExtensions + 7) / 8);
    extensionMap_.assign(defaults, type.numKnownExtensions);
    for (unsigned k = 0; k < type.numKnownExtensions; ++k)
        if (extensionMap_[k])
            makeField(type.numRootFields + k);
}

SEQUENCE& SEQUENCE::operator=(const SEQUENCE& other)
{
    SEQUENCE copy(other);
    swap(copy);
    return *this;
}

SEQUENCE& SEQUENCE::operator=(SEQUENCE&& other) noexcept
{
    fields_ = std::move(other.fields_);
    optionalBuilt_ = other.optionalBuilt_;
    optionalMap_ = std::move(other.optionalMap_);
    extensionMap_ = std::move(other.extensionMap_);
    return *this;
}

void SEQUENCE::swap(SEQUENCE& other) noexcept
{
    fields_.swap(other.fields_);
    std::swap(optionalBuilt_, other.optionalBuilt_);
    std::swap(optionalMap_, other.optionalMap_);
    std::swap(extensionMap_, other.extensionMap_);
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

AbstractData* SEQUENCE::buildField(unsigned index)
{
    AbstractData* component = fields_.make(index);
    optionalBuilt_ += component != nullptr;
    return component;
}

void SEQUENCE::dropAdditions()
{
    for (unsigned i = info()->numRootFields; optionalBuilt_ > 0 && i < fields_.size(); ++i)
        dropField(i);
    extensionMap_.fill(0);
}

void SEQUENCE::dropBuiltFields()
{
    const InfoType& type = *info();
    for (unsigned i = 0; optionalBuilt_ > 0 && i < fields_.size(); ++i) {
        if ((i >= type.numRootFields || type.fieldIds[i] != -1) && fields_.get(i)) {
            fields_.drop(i);
            --optionalBuilt_;
        }
    }
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
