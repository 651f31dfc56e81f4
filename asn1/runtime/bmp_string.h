#pragma once

#include "asn1/runtime/abstract_data.h"

#include <cstddef>
#include <string>

namespace ASN1 {

// A string of 16-bit characters.
class BMPString : public ConstrainedObject {
public:
    struct InfoType : ConstrainedObject::InfoType {  // the constraint is the size constraint
        wchar_t firstChar;
        wchar_t lastChar;
        unsigned charSetUnalignedBits;
        unsigned charSetAlignedBits;
    };

    // Unconstrained, characters 0 to 0xffff.
    static const InfoType theInfo;

    explicit BMPString(const InfoType* info = &theInfo) : ConstrainedObject(info) {}
    explicit BMPString(const std::wstring& text, const InfoType* info = &theInfo) : ConstrainedObject(info), text_(text) {}

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }

    const std::wstring& getValue() const { return text_; }
    std::wstring& getValue() { return text_; }
    void setValue(const std::wstring& text) { text_ = text; }
    unsigned size() const { return static_cast<unsigned>(text_.size()); }

    // Between firstChar and lastChar.
    bool legalCharacter(wchar_t ch) const { return ch >= info()->firstChar && ch <= info()->lastChar; }
    // The position of the first character that is not legal, or the length.
    std::size_t first_illegal_at() const;
    // Every character legal and the length within the size constraint; isValid() lets the
    // length exceed an extendable upper bound.
    bool isValid() const;
    bool isStrictlyValid() const;

protected:
    // Characters over the shorter length, then the length difference.
    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

private:
    std::wstring text_;
};

}  // namespace ASN1
