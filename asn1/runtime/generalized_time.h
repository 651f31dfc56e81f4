#pragma once

#include "asn1/runtime/abstract_data.h"

#include <ctime>
#include <string>
#include <string_view>

namespace ASN1 {

// A calendar time with milliseconds and either UTC or an offset in minutes, carried as its
// text "YYYYMMDDhhmmss[.fff][Z|+hhmm|-hhmm]".
class GeneralizedTime : public AbstractData {
public:
    static const InfoType theInfo;

    // 1 January of year 1, 00:00:00, no offset, not UTC.
    explicit GeneralizedTime(const InfoType* info = &theInfo) : AbstractData(info) {}
    // Through set(); a text that does not parse leaves the default time.
    explicit GeneralizedTime(std::string_view text);
    GeneralizedTime(int year, int month, int day, int hour, int minute, int second, int millisec, int mindiff, bool utc);

    // Takes fourteen digits of year, month, day, hour, minute and second; then optionally "."
    // and fraction digits (the milliseconds, truncated); then optionally "Z" (UTC) or a sign with
    // four digits of hours and minutes (the offset). Any other text, a short one included, fails
    // and changes nothing. So does a field out of its range: month 1-12, day 1-31, hour 0-23
    // (24 only for the end of a day, 240000 without a fraction), minute and second 0-59, offset
    // hours 0-23 and minutes 0-59; every time it takes therefore prints back as the same value.
    bool set(std::string_view text);
    // The text form: the fraction only when millisec is not 0; "Z" when UTC, else the offset
    // when it is not 0.
    std::string get() const;
    // The calendar fields taken as local time.
    std::time_t get_time_t() const;
    // The calendar fields from the UTC time of t; the other fields stay.
    void set_time_t(std::time_t t);
    void swap(GeneralizedTime& other);

    int getYear() const { return year_; }
    int getMonth() const { return month_; }
    int getDay() const { return day_; }
    int getHour() const { return hour_; }
    int getMinute() const { return minute_; }
    int getSecond() const { return second_; }
    int getMillisec() const { return millisec_; }
    int getMindiff() const { return mindiff_; }
    bool isUTC() const { return utc_; }

    // Year from 1, month 1-12, day 1-31, hour 0-24, minute and second 0-59, offset -720 to 720
    // minutes; the milliseconds are not judged. Looser than what set() takes, as it also judges
    // times built from their fields.
    bool isStrictlyValid() const;

protected:
    // Field by field from year to mindiff (the first difference decides), then utc.
    int do_compare(const AbstractData& other) const override;
    AbstractData* do_clone() const override;
    bool do_accept(Visitor& visitor) override;
    bool do_accept(ConstVisitor& visitor) const override;

private:
    // The calendar fields as set() takes them.
    bool fieldsInRange() const;

    int year_ = 1;
    int month_ = 1;
    int day_ = 1;
    int hour_ = 0;
    int minute_ = 0;
    int second_ = 0;
    int millisec_ = 0;
    int mindiff_ = 0;  // minutes
    bool utc_ = false;
};

}  // namespace ASN1
