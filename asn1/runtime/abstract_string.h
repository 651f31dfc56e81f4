#pragma once

// The known-multiplier character strings: one octet per character, the permitted characters and
// their coding widths in the descriptor.

#include "asn1/runtime/abstract_data.h"

#include <array>
#include <cstddef>
#include <string>

namespace ASN1 {

namespace detail {

template <std::size_t N>
constexpr std::array<char, N> codeRange(unsigned first)
{
    std::array<char, N> set{};
    for (std::size_t i = 0; i < N; ++i)
        set[i] = static_cast<char>(first + i);
    return set;
}

template <std::size_t N>
constexpr std::array<char, N - 1> charactersOf(const char (&text)[N])
{
    std::array<char, N - 1> set{};
    for (std::size_t i = 0; i + 1 < N; ++i)
        set[i] = text[i];
    return set;
}

}  // namespace detail

// The permitted characters of each string type, in code order.
inline constexpr auto NumericStringSet = detail::charactersOf(" 0123456789");
inline constexpr auto PrintableStringSet =
    detail::charactersOf(" '()+,-./0123456789:=?ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
inline constexpr auto VisibleStringSet = detail::codeRange<95>(0x20);
inline constexpr auto IA5StringSet = detail::codeRange<128>(0);
inline constexpr auto GeneralStringSet = detail::codeRange<256>(0);

class AbstractString : public ConstrainedObject {
public:
    struct InfoType : ConstrainedObject::InfoType {  // the constraint is the size constraint
        const char* characterSet;
        unsigned characterSetSize;
        unsigned charSetIndexBits;  // bits of an index into the set
        unsigned charSetUnalignedBits;
        unsigned charSetAlignedBits;
    };

    explicit AbstractString(const InfoType* info) : ConstrainedObject(info) {}
    AbstractString(const InfoType* info, const std::string& text) : ConstrainedObject(info), text_(text) {}

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }

    const std::string& getValue() const { return text_; }
    std::string& getValue() { return text_; }
    void setValue(const std::string& text) { text_ = text; }
    unsigned size() const { return static_cast<unsigned>(text_.size()); }

    // Every character in the permitted set (an empty set permits all) and the length within the
    // size constraint; isValid() lets the length exceed an extendable upper bound.
    bool isValid() const;
    bool isStrictlyValid() const;

protected:
    // Octets over the shorter length, then the length difference.
    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

private:
    std::string text_;
};

// One class per string type, told apart by the universal tag; they add nothing to AbstractString
// but their unconstrained descriptor.
template <unsigned Tag>
class KnownMultiplierString : public AbstractString {
public:
    static const InfoType theInfo;

    explicit KnownMultiplierString(const InfoType* info = &theInfo) : AbstractString(info) {}
    explicit KnownMultiplierString(const std::string& text, const InfoType* info = &theInfo) : AbstractString(info, text) {}
};

using NumericString = KnownMultiplierString<0x12>;
using PrintableString = KnownMultiplierString<0x13>;
using IA5String = KnownMultiplierString<0x16>;
using VisibleString = KnownMultiplierString<0x1a>;
using GeneralString = KnownMultiplierString<0x1b>;

template <>
const AbstractString::InfoType KnownMultiplierString<0x12>::theInfo;
template <>
const AbstractString::InfoType KnownMultiplierString<0x13>::theInfo;
template <>
const AbstractString::InfoType KnownMultiplierString<0x16>::theInfo;
template <>
const AbstractString::InfoType KnownMultiplierString<0x1a>::theInfo;
template <>
const AbstractString::InfoType KnownMultiplierString<0x1b>::theInfo;

}  // namespace ASN1
