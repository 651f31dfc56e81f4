#include "asn1/runtime/open_data.h"

#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/utility.h"
#include "asn1/runtime/visitor.h"

#include <boost/polymorphic_cast.hpp>

namespace ASN1 {

const OpenData::InfoType OpenData::theInfo = detail::Allocator<OpenData>::info(0);

OpenData::OpenData(const OpenData& other)
    : AbstractData(other), data_(other.data_ ? other.data_->clone() : nullptr),
      buf_(other.buf_ ? std::make_unique<std::vector<char>>(*other.buf_) : nullptr)
{
}

OpenData& OpenData::operator=(const OpenData& other)
{
    OpenData copy(other);
    swap(copy);
    return *this;
}

OpenData::~OpenData() = default;

void OpenData::swap(OpenData& other)
{
    data_.swap(other.data_);
    buf_.swap(other.buf_);
}

int OpenData::do_compare(const AbstractData& other) const
{
    const auto& that = *boost::polymorphic_downcast<const OpenData*>(&other);
    if (data_ && that.data_)
        return data_->compare(*that.data_);
    if (buf_ && that.buf_)
        return lexicographic_compare_bytes(buf_->data(), buf_->data() + buf_->size(), that.buf_->data(),
                                           that.buf_->data() + that.buf_->size());
    if (!data_ && !that.data_ && !buf_ && !that.buf_)
        return 0;
    return data_ ? 1 : -1;
}

AbstractData* OpenData::do_clone() const { return cloneThrough(*this); }

bool OpenData::do_accept(Visitor& visitor) { return visitor.visit(*this); }

bool OpenData::do_accept(ConstVisitor& visitor) const { return visitor.visit(*this); }

TypeConstrainedOpenData::TypeConstrainedOpenData(const InfoType* info)
    : OpenData(info, info->typeInfo ? info->typeInfo->create(info->typeInfo) : nullptr)
{
}

bool TypeConstrainedOpenData::do_accept(Visitor& visitor) { return visitor.visit(*this); }

}  // namespace ASN1
