#pragma once

// The components of a SEQUENCE in one block of memory: a table of component pointers (null: the
// component does not exist), then one slot per component, of the size its descriptor gives. A
// component is built in its slot when it is made and destroyed there when dropped, so a value
// filled again reuses its storage, and moving the block moves every component at once. A
// descriptor without a size (one written without detail::Allocator<T>::info) has its component
// allocated on its own.

#include "asn1/runtime/abstract_data.h"

#include <cstdint>
#include <vector>

namespace ASN1 {

class ComponentBlock {
public:
    using Infos = const AbstractData::InfoType* const*;

    // Where the components of one SEQUENCE type lie in their block; worked out once per type.
    struct Layout {
        // For the count components of the descriptors infos[0..count), of which those named in
        // initial are built with every block.
        Layout(Infos infos, unsigned count, std::vector<unsigned> initial);

        Infos infos;
        unsigned count;
        unsigned bytes;  // of the whole block
        // Per component the offset of its slot; 0 for a component allocated on its own.
        std::vector<std::uint32_t> offsets;
        std::vector<unsigned> initial;
    };

    // The components of the layout, the initial ones built; no components without a layout (what
    // a moved-from block keeps).
    explicit ComponentBlock(const Layout* layout = nullptr);
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
    // The component, or null when it does not exist or index is beyond the components.
    AbstractData* get(unsigned index) const { return index < count_ ? components()[index] : nullptr; }
    // The component, built as a default value when it does not exist; null beyond the components
    // or for a null descriptor.
    AbstractData* make(unsigned index);
    // Destroys the component (index below size()) if it exists.
    void drop(unsigned index) noexcept;
    void swap(ComponentBlock& other) noexcept;

private:
    // A block for the layout, no component existing yet.
    void allocate(const Layout* layout);
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
