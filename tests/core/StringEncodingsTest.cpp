// Conversions between UTF-8, UTF-16, code pages and Core Foundation strings.

#include "GStringEncodings.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

namespace
{
struct CFReleaser
{
    void operator()(CFTypeRef object) const { CFRelease(object); }
};
using CFStringHolder = std::unique_ptr<const __CFString, CFReleaser>;
} // namespace

TEST(StringEncodings, UncertainEncodingFallsBackInOrderAndTraces)
{
    LogCapture capture;
    CFStringHolder utf8(CFStringCreateWithUncertainEncoding("caf\xC3\xA9"));
    ASSERT_NE(nullptr, utf8);
    EXPECT_EQ("caf\xC3\xA9", UTF8StringFromCFString(utf8.get()));
    EXPECT_EQ(1u, capture.Count("CFStringCreateWithUncertainEncoding() used encoding at index 0 to return "
                                "'caf\xC3\xA9'"));
    EXPECT_EQ(0u, capture.Count("failed."));

    capture.Clear();
    CFStringHolder latin(CFStringCreateWithUncertainEncoding("\xE9"));
    ASSERT_NE(nullptr, latin);
    EXPECT_EQ("\xC3\xA9", UTF8StringFromCFString(latin.get()));
    const std::vector<std::string> lines = capture.Lines();
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ("CFStringCreateWithCString('\xE9', 0x08000100) failed.", LogMessage(lines[0]));
    EXPECT_EQ("CFStringCreateWithUncertainEncoding() used encoding at index 1 to return '\xC3\xA9'",
              LogMessage(lines[1]));

    // 0x81 is not Windows Latin 1 either: Mac Roman takes it.
    capture.Clear();
    CFStringHolder macRoman(CFStringCreateWithUncertainEncoding("\x81"));
    ASSERT_NE(nullptr, macRoman);
    EXPECT_EQ("\xC3\x85", UTF8StringFromCFString(macRoman.get())); // Å
    EXPECT_EQ(1u, capture.Count("CFStringCreateWithCString('\x81', 0x00000500) failed."));
    EXPECT_EQ(1u, capture.Count("used encoding at index 2"));

    capture.Clear();
    EXPECT_EQ(nullptr, CFStringCreateWithUncertainEncoding(nullptr));
    EXPECT_EQ(6u, capture.Count("CFStringCreateWithCString('NULL', 0x"));
    EXPECT_EQ(1u,
              capture.Count("CFStringCreateWithCString failed on 'NULL' for all encoding types. Giving up."));
}

TEST(StringEncodings, CFStringAndUTF8)
{
    EXPECT_EQ("", UTF8StringFromCFString(nullptr));
    EXPECT_EQ("", UTF8StringFromCFString(CFSTR("")));
    EXPECT_EQ("Arial", UTF8StringFromCFString(CFSTR("Arial")));

    CFStringHolder created(CreateCFStringFromUTF8String("\xE2\x82\xAC \xF0\x9F\x98\x80"));
    ASSERT_NE(nullptr, created);
    EXPECT_EQ(4, CFStringGetLength(created.get()));
    EXPECT_EQ("\xE2\x82\xAC \xF0\x9F\x98\x80", UTF8StringFromCFString(created.get()));
    EXPECT_EQ(nullptr, CreateCFStringFromUTF8String("\xC3\x28"));

    // Without a direct UTF-8 form (a mutable string being built) the text is converted.
    CFMutableStringRef built = CFStringCreateMutable(kCFAllocatorDefault, 0);
    const UniChar pair[] = {0xD83D, 0xDE00};
    CFStringAppendCharacters(built, pair, 1);
    EXPECT_EQ("", UTF8StringFromCFString(built)); // an unpaired surrogate cannot be converted
    CFStringAppendCharacters(built, pair + 1, 1);
    EXPECT_EQ("\xF0\x9F\x98\x80", UTF8StringFromCFString(built));
    CFRelease(built);
}

TEST(StringEncodings, UTF8AndUTF16)
{
    EXPECT_TRUE(UTF8ToUTF16("\xC3\x28").empty());
    EXPECT_TRUE(UTF8ToUTF16("ok\xED\xA0\x80").empty());
    EXPECT_EQ(u"a\u00e9\U0001F600", UTF8ToUTF16("a\xC3\xA9\xF0\x9F\x98\x80"));
    EXPECT_EQ("a\xC3\xA9\xF0\x9F\x98\x80", UTF16ToUTF8(u"a\u00e9\U0001F600"));
    EXPECT_TRUE(UTF16ToUTF8(std::u16string(1, u'\xD800')).empty());
}

TEST(StringEncodings, LowerCase)
{
    EXPECT_EQ("\xC3\xA0\xC3\xA9\xC3\xAE abc \xD0\xB6",
              OSMakeLowerCaseUTF8String("\xC3\x80\xC3\x89\xC3\x8E ABC \xD0\x96"));
    EXPECT_EQ("already lower 123", OSMakeLowerCaseUTF8String("already lower 123"));
    EXPECT_EQ("", OSMakeLowerCaseUTF8String("BAD\xC3\x28"));
}

#ifdef _WIN32
TEST(StringEncodings, WindowsConversions)
{
    EXPECT_TRUE(OSMakeOSStringFromUTF8String("\xC3\x28").empty());
    EXPECT_EQ(L"caf\u00e9", OSMakeOSStringFromUTF8String("caf\xC3\xA9"));
    EXPECT_EQ("abc", OSMakeUTF8StringFromOSString(L"abc"));
    EXPECT_EQ("", OSMakeUTF8StringFromOSString(static_cast<const wchar_t*>(nullptr)));
    EXPECT_EQ("\xF0\x9F\x98\x80", OSMakeUTF8StringFromOSString(L"\U0001F600"));

    TUTF8String utf8 = "unchanged";
    EXPECT_EQ(CoreErrorCodes::kUnknownError, CodePageToUTF8("", 1252, utf8));
    EXPECT_EQ("unchanged", utf8);
    EXPECT_EQ(CoreErrorCodes::kSuccess, CodePageToUTF8("caf\xE9 \x80", 1252, utf8));
    EXPECT_EQ("caf\xC3\xA9 \xE2\x82\xAC", utf8);
    EXPECT_EQ(CoreErrorCodes::kNotSupported, CodePageToUTF8("\xC3\x28", 65001, utf8));
    EXPECT_EQ(CoreErrorCodes::kInvalidParam, CodePageToUTF8("abc", 54321, utf8));
}
#endif
