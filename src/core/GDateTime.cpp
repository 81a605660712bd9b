#include "GDateTime.h"

#include "GErrorReport.h"

#include <cstdio>
#include <sstream>

namespace
{
constexpr const char* kLogCategory = "Miscellaneous";

// The seven fields as the parser fills them before they are taken over.
struct DateTimeFields
{
    TUInt16 year = 0;
    TUInt16 month = 0;
    TUInt16 day = 0;
    TUInt16 hour = 0;
    TUInt16 minute = 0;
    TUInt16 second = 0;
    TUInt16 millisecond = 0;
};

const GDateTime sDistantFuture("2099-12-31T23:59:59.999Z");
} // namespace

GDateTime::GDateTime(const TUTF8String& dateString)
{
    G_REPORT_IF_ERROR(SetFromISO8601String(dateString));
}

const GDateTime& GDateTime::DistantFuture()
{
    return sDistantFuture;
}

void GDateTime::Clear()
{
    *this = GDateTime();
}

bool GDateTime::IsCleared() const
{
    return mYear == 0 && mMonth == 0 && mDay == 0 && mHour == 0 && mMinute == 0 && mSecond == 0 &&
           mMillisecond == 0;
}

bool GDateTime::operator==(const GDateTime& other) const
{
    return mYear == other.mYear && mMonth == other.mMonth && mDay == other.mDay && mHour == other.mHour &&
           mMinute == other.mMinute && mSecond == other.mSecond && mMillisecond == other.mMillisecond;
}

TErrorCode GDateTime::AssignField(TUInt16 min, TUInt16 max, TSInt32 value, TUInt16& field)
{
    G_FAIL_IF(value < static_cast<TSInt32>(min) || value > static_cast<TSInt32>(max), kParsingError);
    field = static_cast<TUInt16>(value);
    return CoreErrorCodes::kSuccess;
}

TErrorCode GDateTime::SetFromISO8601String(const TUTF8String& dateString)
{
    std::istringstream ssTime(dateString);
    DateTimeFields dateTime;
    TSInt32 originalValue = 0;

    ssTime >> originalValue;
    G_FAIL_IF_ERROR(AssignField(kMinYear, kMaxYear, originalValue, dateTime.year));

    G_FAIL_IF(ssTime.peek() != '-', kParsingError);
    ssTime.ignore();
    originalValue = 0;
    ssTime >> originalValue;
    G_FAIL_IF_ERROR(AssignField(kMinMonth, kMaxMonth, originalValue, dateTime.month));

    G_FAIL_IF(ssTime.peek() != '-', kParsingError);
    ssTime.ignore();
    originalValue = 0;
    ssTime >> originalValue;
    G_FAIL_IF_ERROR(AssignField(kMinDay, kMaxDay, originalValue, dateTime.day));

    if (ssTime.peek() != std::char_traits<char>::eof())
    {
        G_FAIL_IF(ssTime.peek() != 'T', kParsingError);
        ssTime.ignore();
        originalValue = 0;
        ssTime >> originalValue;
        G_FAIL_IF_ERROR(AssignField(kMinHour, kMaxHour, originalValue, dateTime.hour));

        G_FAIL_IF(ssTime.peek() != ':', kParsingError);
        ssTime.ignore();
        originalValue = 0;
        ssTime >> originalValue;
        G_FAIL_IF_ERROR(AssignField(kMinMinute, kMaxMinute, originalValue, dateTime.minute));

        if (ssTime.peek() == ':')
        {
            ssTime.ignore();
            originalValue = 0;
            ssTime >> originalValue;
            G_FAIL_IF_ERROR(AssignField(kMinSecond, kMaxSecond, originalValue, dateTime.second));
        }
        if (ssTime.peek() == '.')
        {
            ssTime.ignore();
            TUInt16 milliseconds = 0;
            ssTime >> milliseconds;
            if (milliseconds >= kMaxMillisecond)
            {
                milliseconds = kMaxMillisecond;
            }
            G_FAIL_IF_ERROR(
                AssignField(kMinMillisecond, kMaxMillisecond, milliseconds, dateTime.millisecond));
        }
    }

    mYear = dateTime.year;
    mMonth = dateTime.month;
    mDay = dateTime.day;
    mHour = dateTime.hour;
    mMinute = dateTime.minute;
    mSecond = dateTime.second;
    mMillisecond = dateTime.millisecond;
    return CoreErrorCodes::kSuccess;
}

TUTF8String GDateTime::ToISO8601String(bool includeTime) const
{
    if (IsCleared())
    {
        return TUTF8String();
    }
    char text[48];
    if (includeTime)
    {
        std::snprintf(text, sizeof(text), "%04u-%02u-%02uT%02u:%02u:%02u.%03uZ", unsigned(mYear),
                      unsigned(mMonth), unsigned(mDay), unsigned(mHour), unsigned(mMinute), unsigned(mSecond),
                      unsigned(mMillisecond));
    }
    else
    {
        std::snprintf(text, sizeof(text), "%04u-%02u-%02u", unsigned(mYear), unsigned(mMonth),
                      unsigned(mDay));
    }
    return text;
}
