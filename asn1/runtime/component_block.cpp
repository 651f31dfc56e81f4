#include "asn1/runtime/component_block.h"

#include <utility>

namespace ASN1 {

namespace {

constexpr std::uint32_t aligned(std::size_t bytes)
{
    return static_cast<std::uint32_t>((bytes + AbstractData::valueAlignment - 1) / AbstractData::valueAlignment *
                                      AbstractData::valueAlignment);
}

}  // namespace

ComponentBlock::Layout::Layout(Infos infos, unsigned count, std::vector<unsigned> initial)
    : infos(infos), count(count), offsets(count), initial(std::move(initial))
{
    std::uint32_t at = aligned(count * sizeof(AbstractData*));
    for (unsigned i = 0; i < count; ++i) {
        // Allocator<T>::info gives place and size together.
        if (infos[i] && infos[i]->size > 0) {
            offsets[i] = at;
            at += aligned(infos[i]->size);
        }
    }
    bytes = at;
}

void ComponentBlock::allocate(const Layout* layout)
{
    layout_ = layout;
    if (!layout || layout->count == 0)
        return;
    block_ = detail::allocate(layout->bytes);
    count_ = layout->count;
    for (unsigned i = 0; i < count_; ++i)
        components()[i] = nullptr;
}

void ComponentBlock::release() noexcept
{
    if (!block_)
        return;
    for (unsigned i = 0; i < count_; ++i)
        drop(i);
    detail::release(block_, layout_->bytes);
}

ComponentBlock::ComponentBlock(const Layout* layout)
{
    allocate(layout);
    if (!block_)
        return;
    try {
        for (unsigned index : layout_->initial)
            build(index, nullptr);
    } catch (...) {
        release();
        throw;
    }
}

ComponentBlock::ComponentBlock(const ComponentBlock& other)
{
    allocate(other.layout_);
    try {
        for (unsigned i = 0; i < count_; ++i)
            if (const AbstractData* original = other.components()[i])
                build(i, original);
    } catch (...) {
        release();
        throw;
    }
}

ComponentBlock::~ComponentBlock() { release(); }

void ComponentBlock::build(unsigned index, const AbstractData* original)
{
    const AbstractData::InfoType* type = original ? original->info() : layout_->infos[index];
    const std::uint32_t offset = layout_->offsets[index];
    if (offset)
        components()[index] = type->place(static_cast<char*>(block_) + offset, type, original);
    else if (original)
        components()[index] = original->clone();
    else if (type)
        components()[index] = type->create(type);
}

AbstractData* ComponentBlock::make(unsigned index)
{
    if (index >= count_)
        return nullptr;
    if (!components()[index])
        build(index, nullptr);
    return components()[index];
}

void ComponentBlock::drop(unsigned index) noexcept
{
    AbstractData*& component = components()[index];
    if (!component)
        return;
    if (layout_->offsets[index])
        component->~AbstractData();
    else
        delete component;
    component = nullptr;
}

void ComponentBlock::swap(ComponentBlock& other) noexcept
{
    std::swap(layout_, other.layout_);
    std::swap(block_, other.block_);
    std::swap(count_, other.count_);
}

}  // namespace ASN1
