// CFDate.

#include "CFDateInternal.h"
#include "CFInternal.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

struct __CFDate final : cfimpl::CFObject
{
    static constexpr CFTypeID kTypeID = cfimpl::kDateTypeID;

    explicit __CFDate(CFAbsoluteTime at) : CFObject(kTypeID, false), mTime(at) {}

    bool Equal(const CFObject& other) const override
    {
        return mTime == static_cast<const __CFDate&>(other).mTime;
    }
    CFHashCode Hash() const override
    {
        return static_cast<CFHashCode>(static_cast<SInt64>(std::floor(mTime)));
    }
    void Describe(std::string& out, int /*depth*/) const override { out += cfimpl::FormatISO8601(mTime); }

    const CFAbsoluteTime mTime;
};

namespace
{
// Days since 1970-01-01 of a civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day)
{
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

void CivilFromDays(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day)
{
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0);
}

bool ReadDigits(const std::string& text, std::size_t at, std::size_t count, unsigned& value)
{
    if (at + count > text.size())
    {
        return false;
    }
    value = 0;
    for (std::size_t i = at; i < at + count; ++i)
    {
        if (text[i] < '0' || text[i] > '9')
        {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}
} // namespace

std::string cfimpl::FormatISO8601(CFAbsoluteTime at)
{
    // Whole seconds, as property lists write them; the range keeps the year within four digits.
    const double seconds = std::floor(std::clamp(at, -63114076800.0, 252423993599.0));
    const std::int64_t unixSeconds = static_cast<std::int64_t>(seconds) + 978307200;
    std::int64_t days = unixSeconds / 86400;
    std::int64_t secondOfDay = unixSeconds % 86400;
    if (secondOfDay < 0)
    {
        secondOfDay += 86400;
        --days;
    }
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    CivilFromDays(days, year, month, day);
    char text[32];
    std::snprintf(text, sizeof(text), "%04lld-%02u-%02uT%02u:%02u:%02uZ", static_cast<long long>(year), month,
                  day, static_cast<unsigned>(secondOfDay / 3600),
                  static_cast<unsigned>(secondOfDay / 60 % 60), static_cast<unsigned>(secondOfDay % 60));
    return text;
}

bool cfimpl::ParseISO8601(const std::string& text, CFAbsoluteTime& at)
{
    // YYYY-MM-DDTHH:MM:SSZ
    unsigned year = 0;
    unsigned month = 0;
    unsigned day = 0;
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
    if (text.size() != 20 || !ReadDigits(text, 0, 4, year) || text[4] != '-' ||
        !ReadDigits(text, 5, 2, month) || text[7] != '-' || !ReadDigits(text, 8, 2, day) || text[10] != 'T' ||
        !ReadDigits(text, 11, 2, hour) || text[13] != ':' || !ReadDigits(text, 14, 2, minute) ||
        text[16] != ':' || !ReadDigits(text, 17, 2, second) || text[19] != 'Z')
    {
        return false;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
    {
        return false;
    }
    const std::int64_t days = DaysFromCivil(year, month, day);
    std::int64_t y = 0;
    unsigned m = 0;
    unsigned d = 0;
    CivilFromDays(days, y, m, d);
    if (m != month || d != day)
    {
        return false; // such as February 30
    }
    at = static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second) -
         kCFAbsoluteTimeIntervalSince1970;
    return true;
}

CFAbsoluteTime CFAbsoluteTimeGetCurrent(void)
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(now).count() - kCFAbsoluteTimeIntervalSince1970;
}

CFTypeID CFDateGetTypeID(void)
{
    return cfimpl::kDateTypeID;
}

CFDateRef CFDateCreate(CFAllocatorRef /*allocator*/, CFAbsoluteTime at)
{
    return new __CFDate(at);
}

CFAbsoluteTime CFDateGetAbsoluteTime(CFDateRef theDate)
{
    const __CFDate* date = cfimpl::As<__CFDate>(theDate);
    return date == nullptr ? 0.0 : date->mTime;
}

CFComparisonResult CFDateCompare(CFDateRef theDate, CFDateRef otherDate, void* /*context*/)
{
    const double a = CFDateGetAbsoluteTime(theDate);
    const double b = CFDateGetAbsoluteTime(otherDate);
    return a < b ? kCFCompareLessThan : (a > b ? kCFCompareGreaterThan : kCFCompareEqualTo);
}
