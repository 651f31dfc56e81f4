#pragma once

#include "asn1/runtime/abstract_data.h"
#include "asn1/runtime/bit_map.h"
#include "asn1/runtime/component_block.h"

#include <boost/polymorphic_cast.hpp>

#include <atomic>
#include <cassert>

namespace ASN1 {

// The components of a SEQUENCE in descriptor order: the root components, then the known
// extension additions. A null component does not exist. Optional root components are numbered
// 0, 1, ... (their optional id, the bit in optionalMap); extension addition k has the id
// numOptionalFields + k, its presence being bit k of extensionMap. The components share one
// block (component_block.h).
class SEQUENCE : public AbstractData {
public:
    using BitMap = ASN1::BitMap;

    struct InfoType : AbstractData::InfoType {
        bool extendable;  // the type has an extension marker
        // The components' descriptors: root components in order, then the known additions.
        const AbstractData::InfoType* const* fieldInfos;
        // Per root component its optional id, or -1 when mandatory (additions' entries unread).
        const int* fieldIds;
        unsigned numRootFields;
        unsigned numKnownExtensions;
        unsigned numOptionalFields;
        // Presence bits of the additions created with every new value; null for none.
        const char* extensionDefaults;
        // Null: the components carry context tags by position; defaultTag: their own tags.
        const unsigned* fieldTags;
        const char* const* fieldNames;
        // Builds the mandatory root components of a new value (see ComponentBlock::Builder); null:
        // each is built through its descriptor.
        ComponentBlock::Builder buildComponents = nullptr;
        // Where the components lie in a value's block: worked out by the first value of the type
        // and kept for the life of the process, the descriptor being static.
        mutable std::atomic<const ComponentBlock::Layout*> layout = nullptr;
    };

    // The fieldTags value that keeps every component's own universal tag.
    static const unsigned defaultTag[1];

    // Creates every mandatory root component (and the additions extensionDefaults marks);
    // optional components and additions stay null and absent.
    explicit SEQUENCE(const InfoType* info)
        : AbstractData(info), fields_(layoutOf(*info)), optionalMap_(info->numOptionalFields)
    {
        if (info->extensionDefaults)
            includeDefaultAdditions();
    }
    SEQUENCE(const SEQUENCE& other) = default;
    // Takes other's components whole; other keeps none (it may be assigned to or destroyed).
    SEQUENCE(SEQUENCE&& other) noexcept = default;
    // The copy is built first, then exchanged: the old components go, the descriptor stays.
    SEQUENCE& operator=(const SEQUENCE& other);
    SEQUENCE& operator=(SEQUENCE&& other) noexcept;
    void swap(SEQUENCE& other) noexcept;

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }

    unsigned fieldCount() const { return fields_.size(); }
    // The descriptors the components are made from: the descriptor's fieldInfos, unless a value of
    // another type was assigned to this one or it was moved from (null then).
    const AbstractData::InfoType* const* componentInfos() const { return fields_.infos(); }
    // The component, or null when it does not exist (or index is beyond the components).
    AbstractData* getField(unsigned index) { return fields_.get(index); }
    const AbstractData* getField(unsigned index) const { return fields_.get(index); }
    // The component, index being below fieldCount() (unchecked, for generated code).
    AbstractData* fieldAt(unsigned index) { return fields_.at(index); }
    const AbstractData* fieldAt(unsigned index) const { return fields_.at(index); }
    // The component, created through its fieldInfos entry when null; null when index is beyond
    // the components or the entry is null. Presence bits are not touched.
    AbstractData* makeField(unsigned index)
    {
        AbstractData* component = fields_.get(index);
        return component ? component : buildField(index);
    }
    // makeField of a component whose descriptor is T's own, built without going through the
    // descriptor (what generated code knows); index is below fieldCount().
    template <class T>
    AbstractData& makeFieldOf(unsigned index)
    {
        if (AbstractData* component = fields_.at(index))
            return *component;
        ++optionalBuilt_;
        return fields_.emplace<T>(index);
    }
    // Typed access for the generated get_ members; the component must exist.
    template <class T>
    T& field(unsigned index)
    {
        assert(fields_.get(index));
        return *boost::polymorphic_downcast<T*>(fields_.get(index));
    }
    template <class T>
    const T& field(unsigned index) const
    {
        assert(fields_.get(index));
        return *boost::polymorphic_downcast<const T*>(fields_.get(index));
    }

    // Whether optional root component id (below numOptionalFields) or extension addition
    // id - numOptionalFields is present; a bit beyond its map reads as absent.
    bool hasOptionalField(unsigned id) const
    {
        const unsigned optional = info()->numOptionalFields;
        return id < optional ? optionalMap_[id] : extensionMap_[id - optional];
    }
    // Marks id present (an addition beyond the extension map grows the map to hold its bit) and
    // creates component index when null. An id the type does not have marks nothing.
    void includeOptionalField(unsigned id, unsigned index);
    // Marks id absent; the component stays with its value.
    void removeOptionalField(unsigned id);
    // Destroys optional component or addition index (below fieldCount()) when it exists, leaving
    // its presence bit as it is.
    void dropField(unsigned index)
    {
        if (fields_.at(index)) {
            fields_.drop(index);
            --optionalBuilt_;
        }
    }
    // Destroys every addition and empties the extension map; what a decoder that keeps the
    // optional root components whose presence repeats does first.
    void dropAdditions();
    // Destroys every optional component and addition and marks them absent, as in a new value; the
    // mandatory components stay. A value being filled again thus holds only what the new input
    // says, in the storage it had.
    void dropOptionalFields()
    {
        if (optionalBuilt_ > 0)
            dropBuiltFields();
        optionalMap_.fill(info()->numOptionalFields);
        extensionMap_.fill(0);
    }

    // Presence bits, numOptionalFields of them; decoders fill them from the wire.
    const BitMap& optionalMap() const { return optionalMap_; }
    BitMap& optionalMap() { return optionalMap_; }
    // Presence bits of the additions; starts empty and grows. Decoders fill them from the wire,
    // and may leave more bits than the type knows additions.
    const BitMap& extensionMap() const { return extensionMap_; }
    BitMap& extensionMap() { return extensionMap_; }

protected:
    // Root components in order, then the additions: a component present in both compares by
    // value, one present in only one gives (presence here) - (presence there).
    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    // The walks of the visitors.
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

private:
    static const ComponentBlock::Layout* layoutOf(const InfoType& type)
    {
        const ComponentBlock::Layout* layout = type.layout.load(std::memory_order_acquire);
        return layout ? layout : makeLayout(type);
    }
    // Worked out by the first value of the type.
    static const ComponentBlock::Layout* makeLayout(const InfoType& type);
    // The additions extensionDefaults marks, made and marked present in a new value.
    void includeDefaultAdditions();
    // makeField of a component that does not exist.
    AbstractData* buildField(unsigned index);
    // Destroys the optional components and additions that exist.
    void dropBuiltFields();

    ComponentBlock fields_;
    // Components built since construction, every one optional or an addition (the mandatory ones
    // are built with the value): a value holding none has nothing to drop.
    unsigned optionalBuilt_ = 0;
    BitMap optionalMap_;
    BitMap extensionMap_;
};

}  // namespace ASN1
