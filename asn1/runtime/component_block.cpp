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

ComponentBlock::Layout::Layout(Infos infos, unsigned count, std::vector<unsigned> initial, Builder build)
    : infos(infos), count(count), offsets(count), initial(std::move(initial)), build(build)
{
    std::uint32_t at = aligned(count * sizeof(AbstractData*));
    for (unsigned i = 0; i < count; ++i) {
        // Allocator<T>::info gives place and size together.
        if (infos[i] && infos[i]->size > 0) {
            offsets[i] = at;
            at += aligned(infos[i]->size);
        }
        if (!offsets[i])
            owned.push_back(i);
        else if (!infos[i]->plain)
            destroyed.push_back(i);
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
}

void ComponentBlock::clear() noexcept
{
    AbstractData** const table = components();
    for (unsigned i = 0; i < count_; ++i)
        table[i] = nullptr;
}

void ComponentBlock::release() noexcept
{
    if (!block_)
        return;
    AbstractData** const table = components();
    for (unsigned i : layout_->destroyed) {
        if (table[i])
            table[i]->~AbstractData();
    }
    for (unsigned i : layout_->owned)
        delete table[i];
    detail::release(block_, layout_->bytes);
}

ComponentBlock::~ComponentBlock() { release(); }

void ComponentBlock::buildInitial()
{
    allocate(layout_);
    if (!block_)
        return;
    try {
        clear();
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
    if (!block_)
        return;
    clear();
    try {
        for (unsigned i = 0; i < count_; ++i)
            if (const AbstractData* original = other.components()[i])
                build(i, original);
    } catch (...) {
        release();
        throw;
    }
}

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
    if (!layout_->offsets[index])
        delete component;
    else if (!layout_->infos[index]->plain)
        component->~AbstractData();
    component = nullptr;
}

void ComponentBlock::swap(ComponentBlock& other) noexcept
{
    std::swap(layout_, other.layout_);
    std::swap(block_, other.block_);
    std::swap(count_, other.count_);
}

}  // namespace ASN1
