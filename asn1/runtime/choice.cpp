#include "asn1/runtime/choice.h"

#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/visitor.h"

#include <boost/polymorphic_cast.hpp>

#include <utility>

namespace ASN1 {

CHOICE::CHOICE(const CHOICE& other)
    : AbstractData(other), choice_(other.choice_ ? other.choice_->clone() : nullptr), selection_(other.selection_)
{
}

CHOICE::CHOICE(CHOICE&& other) noexcept : AbstractData(other) { swap(other); }

CHOICE& CHOICE::operator=(const CHOICE& other)
{
    std::unique_ptr<AbstractData> copy(other.choice_ ? other.choice_->clone() : nullptr);
    choice_ = std::move(copy);
    selection_ = other.selection_;
    return *this;
}

CHOICE& CHOICE::operator=(CHOICE&& other) noexcept
{
    CHOICE taken(std::move(other));
    swap(taken);
    return *this;
}

void CHOICE::swap(CHOICE& other) noexcept
{
    choice_.swap(other.choice_);
    std::swap(selection_, other.selection_);
}

AbstractData* CHOICE::setSelection(int index, AbstractData* value)
{
    choice_.reset(value);
    selection_ = index;
    if (knows(index))
        return value;
    choice_.reset();
    selection_ = index == -1 ? -1 : -2;
    return nullptr;
}

bool CHOICE::createSelection(int index)
{
    const AbstractData::InfoType* alternative = knows(index) ? info()->selectionInfos[index] : nullptr;
    if (!alternative) {
        setSelection(-2, nullptr);
        return false;
    }
    choice_.reset(alternative->create(alternative));
    selection_ = index;
    return true;
}

int CHOICE::do_compare(const AbstractData& other) const
{
    const auto& that = *boost::polymorphic_downcast<const CHOICE*>(&other);
    if (selection_ < 0 || selection_ != that.selection_)
        return selection_ - that.selection_;
    if (!choice_ || !that.choice_)
        return int(bool(choice_)) - int(bool(that.choice_));
    return choice_->compare(*that.choice_);
}

AbstractData* CHOICE::do_clone() const { return cloneThrough(*this); }

bool CHOICE::do_accept(Visitor& visitor) { return visitor.visit(*this); }

bool CHOICE::do_accept(ConstVisitor& visitor) const { return visitor.visit(*this); }

}  // namespace ASN1
