#pragma once

// Owned values in order: the components of a SEQUENCE and the elements of a SEQUENCE OF.
// Copying clones every value (an empty entry stays empty); destroying deletes them.

#include "asn1/runtime/abstract_data.h"

#include <cstddef>
#include <memory>
#include <vector>

namespace ASN1 {

class FieldVector {
public:
    using Entry = std::unique_ptr<AbstractData>;
    using iterator = std::vector<Entry>::iterator;
    using const_iterator = std::vector<Entry>::const_iterator;

    FieldVector() = default;
    // `size` empty entries.
    explicit FieldVector(std::size_t size) : entries_(size) {}
    // Clones of the values of another vector's range.
    FieldVector(const_iterator first, const_iterator last);
    FieldVector(const FieldVector& other) : FieldVector(other.begin(), other.end()) {}
    FieldVector(FieldVector&& other) noexcept = default;
    FieldVector& operator=(const FieldVector& other);
    FieldVector& operator=(FieldVector&& other) noexcept = default;

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    Entry& operator[](std::size_t i) { return entries_[i]; }
    const Entry& operator[](std::size_t i) const { return entries_[i]; }
    iterator begin() { return entries_.begin(); }
    iterator end() { return entries_.end(); }
    const_iterator begin() const { return entries_.begin(); }
    const_iterator end() const { return entries_.end(); }

    void push_back(Entry value) { entries_.push_back(std::move(value)); }
    // Moves the entries of `values` in before pos; returns the first of them.
    iterator insert(const_iterator pos, FieldVector values);
    iterator erase(const_iterator first, const_iterator last) { return entries_.erase(first, last); }
    // Grows with empty entries or deletes the values from position size on.
    void resize(std::size_t size) { entries_.resize(size); }
    void reserve(std::size_t size) { entries_.reserve(size); }
    void clear() { entries_.clear(); }
    void swap(FieldVector& other) noexcept { entries_.swap(other.entries_); }

private:
    std::vector<Entry> entries_;
};

}  // namespace ASN1
