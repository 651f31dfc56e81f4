#include "asn1/runtime/generalized_time.h"

#include "asn1/runtime/const_visitor.h"
#include "asn1/runtime/visitor.h"

#include <boost/polymorphic_cast.hpp>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <utility>

namespace ASN1 {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads `count` digits at the front of text as a number and drops them; false when text holds
// fewer digits.
bool takeNumber(std::string_view& text, std::size_t count, int& value)
{
    if (text.size() < count)
        return false;
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!isDigit(text[i]))
            return false;
        value = value * 10 + (text[i] - '0');
    }
    text.remove_prefix(count);
    return true;
}

}  // namespace

const GeneralizedTime::InfoType GeneralizedTime::theInfo = detail::Allocator<GeneralizedTime>::info(0x18);

GeneralizedTime::GeneralizedTime(std::string_view text) : AbstractData(&theInfo) { set(text); }

GeneralizedTime::GeneralizedTime(int year, int month, int day, int hour, int minute, int second, int millisec,
                                 int mindiff, bool utc)
    : AbstractData(&theInfo), year_(year), month_(month), day_(day), hour_(hour), minute_(minute), second_(second),
      millisec_(millisec), mindiff_(mindiff), utc_(utc)
{
}

bool GeneralizedTime::set(std::string_view text)
{
    GeneralizedTime parsed;
    if (!takeNumber(text, 4, parsed.year_) || !takeNumber(text, 2, parsed.month_) || !takeNumber(text, 2, parsed.day_) ||
        !takeNumber(text, 2, parsed.hour_) || !takeNumber(text, 2, parsed.minute_) || !takeNumber(text, 2, parsed.second_))
        return false;
    if (!text.empty() && text.front() == '.') {
        text.remove_prefix(1);
        if (text.empty() || !isDigit(text.front()))
            return false;
        int scale = 100;
        for (; !text.empty() && isDigit(text.front()); text.remove_prefix(1), scale /= 10)
            parsed.millisec_ += (text.front() - '0') * scale;
    }
    if (text == "Z") {
        parsed.utc_ = true;
    } else if (!text.empty()) {
        const int sign = text.front() == '+' ? 1 : text.front() == '-' ? -1 : 0;
        text.remove_prefix(1);
        int hours, minutes;
        if (sign == 0 || text.size() != 4 || !takeNumber(text, 2, hours) || !takeNumber(text, 2, minutes) ||
            hours > 23 || minutes > 59)
            return false;
        parsed.mindiff_ = sign * (hours * 60 + minutes);
    }
    if (!parsed.fieldsInRange())
        return false;
    parsed.swap(*this);
    return true;
}

bool GeneralizedTime::fieldsInRange() const
{
    const bool endOfDay = hour_ == 24 && minute_ == 0 && second_ == 0 && millisec_ == 0;
    return month_ >= 1 && month_ <= 12 && day_ >= 1 && day_ <= 31 && (hour_ <= 23 || endOfDay) && minute_ <= 59 &&
           second_ <= 59;
}

std::string GeneralizedTime::get() const
{
    char text[96];
    int length = std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", year_, month_, day_, hour_, minute_, second_);
    if (millisec_ != 0)
        length += std::snprintf(text + length, sizeof text - length, ".%03d", millisec_);
    if (utc_) {
        length += std::snprintf(text + length, sizeof text - length, "Z");
    } else if (mindiff_ != 0) {
        const int offset = std::abs(mindiff_);
        length += std::snprintf(text + length, sizeof text - length, "%c%02d%02d", mindiff_ < 0 ? '-' : '+', offset / 60,
                                offset % 60);
    }
    return std::string(text, length);
}

std::time_t GeneralizedTime::get_time_t() const
{
    std::tm fields{};
    fields.tm_year = year_ - 1900;
    fields.tm_mon = month_ - 1;
    fields.tm_mday = day_;
    fields.tm_hour = hour_;
    fields.tm_min = minute_;
    fields.tm_sec = second_;
    fields.tm_isdst = -1;
    return std::mktime(&fields);
}

void GeneralizedTime::set_time_t(std::time_t t)
{
    std::tm fields{};
    gmtime_r(&t, &fields);
    year_ = fields.tm_year + 1900;
    month_ = fields.tm_mon + 1;
    day_ = fields.tm_mday;
    hour_ = fields.tm_hour;
    minute_ = fields.tm_min;
    second_ = fields.tm_sec;
}

void GeneralizedTime::swap(GeneralizedTime& other)
{
    std::swap(year_, other.year_);
    std::swap(month_, other.month_);
    std::swap(day_, other.day_);
    std::swap(hour_, other.hour_);
    std::swap(minute_, other.minute_);
    std::swap(second_, other.second_);
    std::swap(millisec_, other.millisec_);
    std::swap(mindiff_, other.mindiff_);
    std::swap(utc_, other.utc_);
}

int GeneralizedTime::do_compare(const AbstractData& other) const
{
    const auto& that = *boost::polymorphic_downcast<const GeneralizedTime*>(&other);
    const int mine[] = {year_, month_, day_, hour_, minute_, second_, millisec_, mindiff_};
    const int theirs[] = {that.year_, that.month_, that.day_, that.hour_, that.minute_, that.second_, that.millisec_, that.mindiff_};
    for (std::size_t i = 0; i < std::size(mine); ++i)
        if (mine[i] != theirs[i])
            return static_cast<int>(static_cast<unsigned>(mine[i]) - static_cast<unsigned>(theirs[i]));
    return int(utc_) - int(that.utc_);
}

AbstractData* GeneralizedTime::do_clone() const { return cloneThrough(*this); }

bool GeneralizedTime::do_accept(Visitor& visitor) { return visitor.visit(*this); }

bool GeneralizedTime::do_accept(ConstVisitor& visitor) const { return visitor.visit(*this); }

}  // namespace ASN1
