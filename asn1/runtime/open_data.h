#pragma once

// Open types: a value of any type, held decoded (data), still encoded (buf), or both.

#include "asn1/runtime/abstract_data.h"

#include <memory>
#include <vector>

namespace ASN1 {

class OpenData : public AbstractData {
public:
    static const InfoType theInfo;

    // Takes ownership of data (may be null).
    explicit OpenData(const InfoType* info = &theInfo, AbstractData* data = nullptr) : AbstractData(info), data_(data) {}
    OpenData(const OpenData& other);
    OpenData& operator=(const OpenData& other);
    ~OpenData() override;
    void swap(OpenData& other);

    bool has_data() const { return data_ != nullptr; }
    bool has_buf() const { return buf_ != nullptr; }
    AbstractData* getData() { return data_.get(); }
    const AbstractData* getData() const { return data_.get(); }
    // Takes ownership of data (may be null), deleting the one held.
    void setData(AbstractData* data) { data_.reset(data); }
    // The held encoding, or null.
    const std::vector<char>* getBuf() const { return buf_.get(); }
    // The held value valid; without one, whether octets are held.
    bool isValid() const;
    bool isStrictlyValid() const;
    // Holds an encoding not decoded yet (what decoders do): replaces the held encoding and deletes
    // the held value, which stood for earlier octets.
    void setBuf(std::vector<char> octets)
    {
        data_.reset();
        buf_ = std::make_unique<std::vector<char>>(std::move(octets));
    }

protected:
    // Both decoded: the values' comparison; else both encoded: the octets'; else 0 when both are
    // empty, 1 when this one is decoded, -1 otherwise.
    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

private:
    std::unique_ptr<AbstractData> data_;
    std::unique_ptr<std::vector<char>> buf_;
};

// An open type constrained to one type: its decoded value always exists, made from typeInfo.
class TypeConstrainedOpenData : public OpenData {
public:
    struct InfoType : AbstractData::InfoType {
        const AbstractData::InfoType* typeInfo;
    };

    explicit TypeConstrainedOpenData(const InfoType* info);

    const InfoType* info() const { return static_cast<const InfoType*>(AbstractData::info()); }

protected:
    // Readers see it as an OpenData; decoders have a slot of their own.
    using OpenData::do_accept;
    bool do_accept(Visitor& visitor) override;
};

}  // namespace ASN1
