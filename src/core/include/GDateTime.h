#pragma once
// A calendar date and time of day in UTC with millisecond resolution, read from the system
// clock and converted to and from ISO 8601 text ("2099-12-31T23:59:59.999Z").

#include "GErrorCodes.h"

class GDateTime
{
public:
    static constexpr TErrorCode kParsingError = MakeErrorCode(1, ErrorModule::kGDateTime);

    static constexpr TUInt16 kMinYear = 0, kMaxYear = 9999;
    static constexpr TUInt16 kMinMonth = 1, kMaxMonth = 12;
    static constexpr TUInt16 kMinDay = 1, kMaxDay = 31;
    static constexpr TUInt16 kMinHour = 0, kMaxHour = 23;
    static constexpr TUInt16 kMinMinute = 0, kMaxMinute = 59;
    static constexpr TUInt16 kMinSecond = 0, kMaxSecond = 59;
    static constexpr TUInt16 kMinMillisecond = 0, kMaxMillisecond = 999;

    // All fields 0 (a cleared object).
    GDateTime() = default;
    // Parses the text; a parse error is reported and leaves the object cleared.
    explicit GDateTime(const TUTF8String& dateString);
    virtual ~GDateTime() = default;

    GDateTime(const GDateTime&) = default;
    GDateTime& operator=(const GDateTime&) = default;

    // The current UTC time.
    static GDateTime Now();

    // The latest date the code base uses, 2099-12-31T23:59:59.999Z, built at start-up.
    static const GDateTime& DistantFuture();

    // Parses YYYY-MM-DD with an optional time of day THH:MM[:SS[.mmm]]; anything after that
    // (such as "Z") is ignored and the text is always taken as UTC. The day is not compared with
    // the length of its month. Fails with kParsingError.
    TErrorCode SetFromISO8601String(const TUTF8String& dateString);

    // "YYYY-MM-DDTHH:MM:SS.mmmZ", or only "YYYY-MM-DD" without the time; a cleared object
    // formats as the empty string.
    TUTF8String ToISO8601String(bool includeTime = true) const;

    void Clear();
    bool IsCleared() const;

    TUInt16 Year() const { return mYear; }
    TUInt16 Month() const { return mMonth; }
    TUInt16 Day() const { return mDay; }
    TUInt16 Hour() const { return mHour; }
    TUInt16 Minute() const { return mMinute; }
    TUInt16 Second() const { return mSecond; }
    TUInt16 Millisecond() const { return mMillisecond; }

    bool operator==(const GDateTime& other) const;

private:
    static TErrorCode AssignField(TUInt16 min, TUInt16 max, TSInt32 value, TUInt16& field);

    TUInt16 mYear = 0;
    TUInt16 mMonth = 0;
    TUInt16 mDay = 0;
    TUInt16 mHour = 0;
    TUInt16 mMinute = 0;
    TUInt16 mSecond = 0;
    TUInt16 mMillisecond = 0;
};
