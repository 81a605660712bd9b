// Typed dictionary accessors.

#include "XCFUtils.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

namespace
{
class XCFUtilsTest : public testing::Test
{
protected:
    XCFUtilsTest()
        : mRecord(CFDictionaryCreateMutable(kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks,
                                            &kCFTypeDictionaryValueCallBacks))
    {
    }
    ~XCFUtilsTest() override { CFRelease(mRecord); }

    void SetNumber(CFStringRef key, CFNumberType type, const void* value)
    {
        CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, type, value);
        CFDictionarySetValue(mRecord, key, number);
        CFRelease(number);
    }

    CFMutableDictionaryRef mRecord;
};
} // namespace

TEST_F(XCFUtilsTest, BooleansAreReadOnlyFromBooleans)
{
    const int one = 1;
    SetNumber(CFSTR("IsActive"), kCFNumberIntType, &one);
    CFDictionarySetValue(mRecord, CFSTR("IsText"), CFSTR("1"));
    bool value = true;
    EXPECT_FALSE(XCFDictionaryGetBoolean(mRecord, CFSTR("IsActive"), value));
    EXPECT_FALSE(XCFDictionaryGetBoolean(mRecord, CFSTR("IsText"), value));
    EXPECT_FALSE(XCFDictionaryGetBoolean(mRecord, CFSTR("Missing"), value));
    EXPECT_TRUE(value); // untouched

    EXPECT_TRUE(XCFDictionarySetBoolean(mRecord, CFSTR("Flag"), false));
    EXPECT_TRUE(XCFDictionaryGetBoolean(mRecord, CFSTR("Flag"), value));
    EXPECT_FALSE(value);
    EXPECT_EQ(kCFBooleanFalse, CFDictionaryGetValue(mRecord, CFSTR("Flag")));
    EXPECT_FALSE(XCFDictionaryGetBoolean(nullptr, CFSTR("Flag"), value));
}

TEST_F(XCFUtilsTest, NumbersRoundTripAndTheDictionaryOwnsThem)
{
    EXPECT_TRUE(XCFDictionarySetNumber(mRecord, CFSTR("DatabaseID"), -123456));
    TSInt32 value = 0;
    EXPECT_TRUE(XCFDictionaryGetNumber(mRecord, CFSTR("DatabaseID"), &value));
    EXPECT_EQ(-123456, value);
    CFTypeRef stored = CFDictionaryGetValue(mRecord, CFSTR("DatabaseID"));
    EXPECT_EQ(1, CFGetRetainCount(stored));
    EXPECT_EQ(kCFNumberLongType, CFNumberGetType(static_cast<CFNumberRef>(stored)));

    // Values that do not convert to a 32-bit long without loss read as absent.
    const double fraction = 3.5;
    const SInt64 large = 1LL << 40;
    SetNumber(CFSTR("Fraction"), kCFNumberFloat64Type, &fraction);
    SetNumber(CFSTR("Large"), kCFNumberSInt64Type, &large);
    CFDictionarySetValue(mRecord, CFSTR("Text"), CFSTR("12"));
    value = 7;
    EXPECT_FALSE(XCFDictionaryGetNumber(mRecord, CFSTR("Fraction"), &value));
    EXPECT_FALSE(XCFDictionaryGetNumber(mRecord, CFSTR("Large"), &value));
    EXPECT_FALSE(XCFDictionaryGetNumber(mRecord, CFSTR("Text"), &value));
    EXPECT_FALSE(XCFDictionaryGetNumber(mRecord, CFSTR("Missing"), &value));
    EXPECT_EQ(7, value);

    LogCapture capture;
    EXPECT_FALSE(XCFDictionaryGetNumber(mRecord, CFSTR("DatabaseID"), nullptr));
    EXPECT_EQ(1u, capture.Count("Expression='pValue != NULL'"));
}

TEST_F(XCFUtilsTest, IntegersAsText)
{
    CFDictionarySetValue(mRecord, CFSTR("WorkgroupID"), CFSTR("42"));
    EXPECT_EQ(42, XCFDictionaryGetIntegerFromString(mRecord, CFSTR("WorkgroupID"), kCFStringEncodingUTF8));
    const int number = 42;
    SetNumber(CFSTR("Number"), kCFNumberIntType, &number);
    EXPECT_EQ(0, XCFDictionaryGetIntegerFromString(mRecord, CFSTR("Number"), kCFStringEncodingUTF8));
    EXPECT_EQ(0, XCFDictionaryGetIntegerFromString(mRecord, CFSTR("Missing"), kCFStringEncodingUTF8));
    // No direct ASCII form for non-ASCII text: the value is scanned from the characters.
    CFStringRef accented =
        CFStringCreateWithCString(kCFAllocatorDefault, " 17\xC3\xA9", kCFStringEncodingUTF8);
    CFDictionarySetValue(mRecord, CFSTR("Accented"), accented);
    CFRelease(accented);
    EXPECT_EQ(nullptr, CFStringGetCStringPtr(accented, kCFStringEncodingASCII));
    EXPECT_EQ(17, XCFDictionaryGetIntegerFromString(mRecord, CFSTR("Accented"), kCFStringEncodingASCII));

    EXPECT_TRUE(XCFDictionarySetIntegerAsString(mRecord, CFSTR("Workgroup"), -2));
    CFStringRef text = XCFDictionaryGetString(mRecord, CFSTR("Workgroup"));
    EXPECT_EQ("-2", XCFStringCopyUTF8(text));
    EXPECT_EQ(1, CFGetRetainCount(text));
    EXPECT_EQ(-2, XCFDictionaryGetIntegerFromString(mRecord, CFSTR("Workgroup"), kCFStringEncodingASCII));
}

TEST_F(XCFUtilsTest, StringsAndTheirContract)
{
    CFDictionarySetValue(mRecord, CFSTR("Family"), CFSTR("Arial"));
    CFDictionarySetValue(mRecord, CFSTR("FontKind"), kCFBooleanTrue);
    EXPECT_EQ(CFSTR("Arial"), XCFDictionaryGetString(mRecord, CFSTR("Family")));
    EXPECT_EQ(nullptr, XCFDictionaryGetString(mRecord, CFSTR("FontKind")));
    EXPECT_EQ(nullptr, XCFDictionaryGetString(mRecord, CFSTR("Missing")));
    EXPECT_EQ(CFSTR("Arial"), XCFDictionaryGetStringChecked(mRecord, CFSTR("Family")));

    const std::string expression =
        "Expression='inDictRef != NULL && CFGetTypeID( inDictRef ) == CFDictionaryGetTypeID() && inKey != "
        "NULL && "
        "CFGetTypeID( inKey ) == CFStringGetTypeID() && CFStringGetLength( inKey ) > 0'";
    LogCapture capture;
    EXPECT_EQ(nullptr, XCFDictionaryGetStringChecked(nullptr, CFSTR("Family")));
    EXPECT_EQ(nullptr, XCFDictionaryGetStringChecked(mRecord, CFSTR("")));
    EXPECT_EQ(nullptr,
              XCFDictionaryGetStringChecked(reinterpret_cast<CFDictionaryRef>(CFSTR("Family")), CFSTR("a")));
    EXPECT_EQ(3u, capture.Count(expression));
    EXPECT_EQ(3u, capture.Count("Error='CoreErrorCodes::kInvalidParam'"));
}

TEST_F(XCFUtilsTest, StringConversions)
{
    CFStringRef text =
        CFStringCreateWithCString(kCFAllocatorDefault, "a\xC3\xA9\xF0\x9F\x98\x80", kCFStringEncodingUTF8);
    std::unique_ptr<UniChar[]> wide = XCFStringCopyUTF16(text);
    const UniChar expected[] = {u'a', 0xE9, 0xD83D, 0xDE00, 0};
    for (std::size_t i = 0; i < 5; ++i)
    {
        EXPECT_EQ(expected[i], wide[i]) << i;
    }
    EXPECT_EQ("a\xC3\xA9\xF0\x9F\x98\x80", XCFStringCopyUTF8(text));
    CFRelease(text);
    EXPECT_EQ(0, XCFStringCopyUTF16(nullptr)[0]);
    EXPECT_EQ("", XCFStringCopyUTF8(nullptr));
}
