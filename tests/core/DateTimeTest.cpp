#include "GDateTime.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

namespace
{
struct Fields
{
    int year, month, day, hour, minute, second, millisecond;
};

Fields FieldsOf(const GDateTime& date)
{
    return {date.Year(),   date.Month(),  date.Day(),        date.Hour(),
            date.Minute(), date.Second(), date.Millisecond()};
}

void ExpectFields(const GDateTime& date, Fields expected)
{
    const Fields actual = FieldsOf(date);
    EXPECT_EQ(actual.year, expected.year);
    EXPECT_EQ(actual.month, expected.month);
    EXPECT_EQ(actual.day, expected.day);
    EXPECT_EQ(actual.hour, expected.hour);
    EXPECT_EQ(actual.minute, expected.minute);
    EXPECT_EQ(actual.second, expected.second);
    EXPECT_EQ(actual.millisecond, expected.millisecond);
}
} // namespace

TEST(GDateTimeTest, ParsesAndFormatsRoundTrip)
{
    GDateTime date;
    ASSERT_EQ(date.SetFromISO8601String("2099-12-31T23:59:59.999Z"), CoreErrorCodes::kSuccess);
    ExpectFields(date, {2099, 12, 31, 23, 59, 59, 999});
    EXPECT_EQ(date.ToISO8601String(), "2099-12-31T23:59:59.999Z");
    EXPECT_EQ(date.ToISO8601String(false), "2099-12-31");
    ExpectFields(GDateTime::DistantFuture(), {2099, 12, 31, 23, 59, 59, 999});

    for (const char* text :
         {"0000-01-01T00:00:00.000Z", "1970-01-01T00:00:00.001Z", "2024-02-29T12:05:09.050Z"})
    {
        GDateTime parsed(text);
        EXPECT_EQ(parsed.ToISO8601String(), text);
    }
}

TEST(GDateTimeTest, AcceptsShortForms)
{
    GDateTime dateOnly;
    ASSERT_EQ(dateOnly.SetFromISO8601String("2024-02-30"),
              CoreErrorCodes::kSuccess); // day not checked against February
    ExpectFields(dateOnly, {2024, 2, 30, 0, 0, 0, 0});
    EXPECT_EQ(dateOnly.ToISO8601String(), "2024-02-30T00:00:00.000Z");

    GDateTime noSeconds;
    ASSERT_EQ(noSeconds.SetFromISO8601String("2024-05-06T07:08"), CoreErrorCodes::kSuccess);
    ExpectFields(noSeconds, {2024, 5, 6, 7, 8, 0, 0});

    GDateTime oneDigitFraction;
    ASSERT_EQ(oneDigitFraction.SetFromISO8601String("2024-05-06T07:08:09.5Z"), CoreErrorCodes::kSuccess);
    EXPECT_EQ(oneDigitFraction.Millisecond(), 5);

    GDateTime longFraction;
    ASSERT_EQ(longFraction.SetFromISO8601String("2024-05-06T07:08:09.123456"), CoreErrorCodes::kSuccess);
    EXPECT_EQ(longFraction.Millisecond(), 999);

    GDateTime offsetIgnored;
    ASSERT_EQ(offsetIgnored.SetFromISO8601String("2024-05-06T07:08:09+02:00"), CoreErrorCodes::kSuccess);
    ExpectFields(offsetIgnored, {2024, 5, 6, 7, 8, 9, 0});
}

TEST(GDateTimeTest, OutOfBoundsFieldFailsWithTwoReports)
{
    LogCapture capture;
    GDateTime date;
    EXPECT_EQ(date.SetFromISO8601String("2024-13-01"), GDateTime::kParsingError);

    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(
        lines[0].find("Expression='value < static_cast<TSInt32>(min) || value > static_cast<TSInt32>(max)'"),
        std::string::npos);
    EXPECT_NE(lines[1].find("Expression='AssignField(kMinMonth, kMaxMonth, originalValue, dateTime.month)'"),
              std::string::npos);
    for (const std::string& line : lines)
    {
        EXPECT_NE(line.find("\t[Miscellaneous]\t[Error]\t"), std::string::npos);
        EXPECT_NE(line.find("Error='GDateTime::kParsingError'  "), std::string::npos);
        EXPECT_NE(line.find("Code='16781332'"), std::string::npos);
    }
}

TEST(GDateTimeTest, RejectsMalformedText)
{
    LogCapture capture;
    struct Case
    {
        const char* text;
        const char* expression;
    };
    const Case cases[] = {
        {"2024/01/02", "ssTime.peek() != '-'"},
        {"2024-01-02X10:00", "ssTime.peek() != 'T'"},
        {"2024-01-02T10-00", "ssTime.peek() != ':'"},
        {"2024-01-02T10", "ssTime.peek() != ':'"},
        {"", "ssTime.peek() != '-'"},
        {"10000-01-01", "AssignField(kMinYear, kMaxYear, originalValue, dateTime.year)"},
        {"2024-00-10", "AssignField(kMinMonth, kMaxMonth, originalValue, dateTime.month)"},
        {"2024-01-32", "AssignField(kMinDay, kMaxDay, originalValue, dateTime.day)"},
        {"2024-01-02T24:00", "AssignField(kMinHour, kMaxHour, originalValue, dateTime.hour)"},
        {"2024-01-02T23:60", "AssignField(kMinMinute, kMaxMinute, originalValue, dateTime.minute)"},
        {"2024-01-02T23:59:60", "AssignField(kMinSecond, kMaxSecond, originalValue, dateTime.second)"},
    };
    for (const Case& c : cases)
    {
        capture.Clear();
        GDateTime date;
        EXPECT_EQ(date.SetFromISO8601String(c.text), GDateTime::kParsingError) << c.text;
        EXPECT_EQ(capture.Count(std::string("Expression='") + c.expression + "'"), 1u) << c.text;
        // A failed parse leaves the object as it was.
        EXPECT_TRUE(date.IsCleared()) << c.text;
    }
}

TEST(GDateTimeTest, ConstructorReportsAParseErrorAndStaysCleared)
{
    LogCapture capture;
    GDateTime date("not a date");
    EXPECT_TRUE(date.IsCleared());
    EXPECT_EQ(date.ToISO8601String(), "");
    EXPECT_EQ(capture.Count("Expression='SetFromISO8601String(dateString)'"), 1u);
}

TEST(GDateTimeTest, NowIsAPlausibleUtcTime)
{
    const GDateTime now = GDateTime::Now();
    EXPECT_GE(now.Year(), 2024);
    EXPECT_LE(now.Year(), 2200);
    const TUTF8String text = now.ToISO8601String();
    ASSERT_EQ(text.size(), 24u);
    GDateTime reparsed(text);
    EXPECT_TRUE(reparsed == now);
    EXPECT_TRUE(GDateTime().IsCleared());
    EXPECT_EQ(GDateTime().ToISO8601String(false), "");
}
