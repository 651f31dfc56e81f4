#pragma once

// The components of a SEQUENCE in one block of memory: a table of component pointers (null: the
// component does not exist), then one slot per component, of the size its descriptor gives. A
// component is built in its slot when it is made and destroyed there when dropped, so a value
// filled again reuses its storage, and moving the block moves every component at once. A
// descriptor without a size (one written without detail::Allocator<T>::info) has its component
// allocated on its own.

#include "asn1/runtime/abstract_data.h"

#include <cassert>
#include <cstdint>
#include <vector>

namespace ASN1 {

class ComponentBlock {
public:
    using Infos = const AbstractData::InfoType* const*;
    // Clears every entry of the table of components of a new block, then builds the initial
    // components in their slots, storing each one's address as soon as it exists (so a failure
    // leaves only what exists); written by the generator for its types, whose initial components
    // all have slots, so that no component is built through its descriptor.
    using Builder = void (*)(AbstractData** components, char* block, const std::uint32_t* offsets);

    // Where the components of one SEQUENCE type lie in their block; worked out once per type.
    struct Layout {
        // For the count components of the descriptors infos[0..count), of which those named in
        // initial are built with every block, by build when given.
        Layout(Infos infos, unsigned count, std::vector<unsigned> initial, Builder build);

        Infos infos;
        unsigned count;
        unsigned bytes;  // of the whole block
        // Per component the offset of its slot; 0 for a component allocated on its own.
        std::vector<std::uint32_t> offsets;
        std::vector<unsigned> initial;
        Builder build;
        // The components a block must destroy when it goes: those in slots that are not plain
        // values, and those allocated on their own.
        std::vector<unsigned> destroyed;
        std::vector<unsigned> owned;
    };

    // The components of the layout, the initial ones built; no components without a layout (what
    // a moved-from block keeps).
    explicit ComponentBlock(const Layout* layout = nullptr) : layout_(layout)
    {
        // The common case in place: a layout with components and their builder.
        if (!layout || !layout->build || layout->count == 0) {
            buildInitial();
            return;
        }
        block_ = detail::allocate(layout->bytes);
        count_ = layout->count;
        try {
            layout->build(components(), static_cast<char*>(block_), layout->offsets.data());
        } catch (...) {
            release();
            throw;
        }
    }
    // Copies of other's components, in a block of the same layout.
    ComponentBlock(const ComponentBlock& other);
    ComponentBlock(ComponentBlock&& other) noexcept { swap(other); }
    ComponentBlock& operator=(ComponentBlock other) noexcept
    {
        swap(other);
        return *this;
    }
    ~ComponentBlock();

    unsigned size() const { return count_; }
    // The descriptors the components are made from; null without a layout.
    Infos infos() const { return layout_ ? layout_->infos : nullptr; }
    // The component, or null when it does not exist or index is beyond the components.
    AbstractData* get(unsigned index) const { return index < count_ ? components()[index] : nullptr; }
    // The component, index being below size().
    AbstractData* at(unsigned index) const { return components()[index]; }
    // The component, built as a default value when it does not exist; null beyond the components
    // or for a null descriptor.
    AbstractData* make(unsigned index);
    // The component index, which does not exist yet and has a slot for a T, built as a default T.
    template <class T>
    AbstractData& emplace(unsigned index)
    {
        assert(layout_->offsets[index] != 0 && layout_->infos[index] == &T::theInfo);
        return *(components()[index] = new (static_cast<char*>(block_) + layout_->offsets[index]) T());
    }
    // Destroys the component (index below size()) if it exists.
    void drop(unsigned index) noexcept;
    void swap(ComponentBlock& other) noexcept;

private:
    // The constructor beyond its common case.
    void buildInitial();
    // A block for the layout, its table of components not cleared yet.
    void allocate(const Layout* layout);
    // Every entry of the table null.
    void clear() noexcept;
    // Destroys the components and gives the block back.
    void release() noexcept;
    AbstractData** components() const { return static_cast<AbstractData**>(block_); }
    // Builds component index, which does not exist yet, as a copy of original or a default value.
    void build(unsigned index, const AbstractData* original);

    const Layout* layout_ = nullptr;
    void* block_ = nullptr;
    unsigned count_ = 0;
};

}  // namespace ASN1
