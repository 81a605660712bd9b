// CFString: encodings, equality across encodings, access, formats, comparison, search and
// mutation.

#include "CFTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
CFStringRef FromBytes(const std::string& bytes, CFStringEncoding encoding)
{
    return CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(bytes.data()),
                                   static_cast<CFIndex>(bytes.size()), encoding, false);
}

std::u16string Units(CFStringRef string)
{
    std::u16string units(static_cast<std::size_t>(CFStringGetLength(string)), u'\0');
    CFStringGetCharacters(string, CFRangeMake(0, CFStringGetLength(string)),
                          reinterpret_cast<UniChar*>(units.data()));
    return units;
}
} // namespace

TEST(CFString, EqualTextFromDifferentEncodingsIsEqualAndHashesAlike)
{
    const UniChar eAcute[] = {u'r', 0xE9, u's', u'u', u'm', 0xE9};
    CFHolder<CFStringRef> reference(CFStringCreateWithCharacters(kCFAllocatorDefault, eAcute, 6));
    const struct
    {
        const char* bytes;
        CFStringEncoding encoding;
    } forms[] = {
        {"r\xC3\xA9sum\xC3\xA9", kCFStringEncodingUTF8},
        {"r\xE9sum\xE9", kCFStringEncodingWindowsLatin1},
        {"r\x8Esum\x8E", kCFStringEncodingMacRoman},
        {"r\xE9sum\xE9", kCFStringEncodingISOLatin1},
        {"r\\u00e9sum\\u00E9", kCFStringEncodingNonLossyASCII},
    };
    CFHolder<CFMutableDictionaryRef> byText(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    CFDictionarySetValue(byText, reference, kCFBooleanTrue);
    for (const auto& form : forms)
    {
        CFHolder<CFStringRef> string(
            CFStringCreateWithCString(kCFAllocatorDefault, form.bytes, form.encoding));
        ASSERT_NE(nullptr, string.get()) << std::hex << form.encoding;
        EXPECT_TRUE(CFEqual(reference, string)) << std::hex << form.encoding;
        EXPECT_EQ(CFHash(reference), CFHash(string)) << std::hex << form.encoding;
        EXPECT_EQ(kCFBooleanTrue, CFDictionaryGetValue(byText, string)) << std::hex << form.encoding;
    }
    EXPECT_EQ("r\xC3\xA9sum\xC3\xA9", Text(reference));
}

TEST(CFString, EightBitEncodingsFailExactlyOnInvalidBytes)
{
    const std::vector<int> undefinedInWindowsLatin1 = {0x81, 0x8D, 0x8F, 0x90, 0x9D};
    const CFStringEncoding encodings[] = {kCFStringEncodingASCII, kCFStringEncodingMacRoman,
                                          kCFStringEncodingISOLatin1, kCFStringEncodingWindowsLatin1};
    for (const CFStringEncoding encoding : encodings)
    {
        for (int value = 1; value < 256; ++value)
        {
            bool valid = true;
            if (encoding == kCFStringEncodingASCII)
            {
                valid = value < 0x80;
            }
            else if (encoding == kCFStringEncodingWindowsLatin1)
            {
                valid = std::find(undefinedInWindowsLatin1.begin(), undefinedInWindowsLatin1.end(), value) ==
                        undefinedInWindowsLatin1.end();
            }
            const std::string bytes = {'x', static_cast<char>(value)};
            CFHolder<CFStringRef> string(FromBytes(bytes, encoding));
            ASSERT_EQ(valid, string.get() != nullptr)
                << std::hex << "encoding " << encoding << " byte " << value;
            if (string.get() == nullptr)
            {
                continue;
            }
            // The character converts back to the same byte.
            char back[4] = {};
            ASSERT_TRUE(CFStringGetCString(string, back, sizeof(back), encoding)) << std::hex << value;
            EXPECT_EQ(value, static_cast<unsigned char>(back[1])) << std::hex << value;
        }
    }
    // A few characters that tell the tables apart.
    CFHolder<CFStringRef> euro(FromBytes("\x80", kCFStringEncodingWindowsLatin1));
    EXPECT_EQ(u"\u20AC", Units(euro));
    CFHolder<CFStringRef> macE(FromBytes("\x8E", kCFStringEncodingMacRoman));
    EXPECT_EQ(u"\u00E9", Units(macE));
    CFHolder<CFStringRef> control(FromBytes("\x80", kCFStringEncodingISOLatin1));
    EXPECT_EQ(u"\u0080", Units(control));
}

TEST(CFString, InvalidUTF8AndNonLossyASCIIAreRejected)
{
    for (const char* bad :
         {"\xC3\x28", "\xC0\xAF", "\xED\xA0\x80", "\xE2\x82", "\xF8\x88\x80\x80\x80", "\xFF"})
    {
        EXPECT_EQ(nullptr, CFStringCreateWithCString(kCFAllocatorDefault, bad, kCFStringEncodingUTF8)) << bad;
    }
    CFHolder<CFStringRef> emoji(MakeString("\xF0\x9F\x98\x80"));
    EXPECT_EQ(u"\U0001F600", Units(emoji));

    CFHolder<CFStringRef> escaped(
        CFStringCreateWithCString(kCFAllocatorDefault, "a\\u00e9\\\\b", kCFStringEncodingNonLossyASCII));
    EXPECT_EQ(u"a\u00e9\\b", Units(escaped));
    for (const char* bad : {"\\x", "\\u12", "\\u12G4", "trailing\\", "\x80"})
    {
        EXPECT_EQ(nullptr,
                  CFStringCreateWithCString(kCFAllocatorDefault, bad, kCFStringEncodingNonLossyASCII))
            << bad;
    }
    char buffer[32] = {};
    ASSERT_TRUE(CFStringGetCString(escaped, buffer, sizeof(buffer), kCFStringEncodingNonLossyASCII));
    EXPECT_STREQ("a\\u00e9\\\\b", buffer);
}

TEST(CFString, ConversionToBytes)
{
    CFHolder<CFStringRef> text(MakeString("caf\xC3\xA9 \xE2\x82\xAC"));
    ASSERT_EQ(6, CFStringGetLength(text));
    char buffer[16] = {};
    EXPECT_FALSE(CFStringGetCString(text, buffer, sizeof(buffer), kCFStringEncodingASCII));
    EXPECT_FALSE(CFStringGetCString(text, buffer, sizeof(buffer), kCFStringEncodingISOLatin1));
    ASSERT_TRUE(CFStringGetCString(text, buffer, sizeof(buffer), kCFStringEncodingWindowsLatin1));
    EXPECT_STREQ("caf\xE9 \x80", buffer);
    // The buffer holds the terminator: 9 bytes of UTF-8 need 10.
    EXPECT_FALSE(CFStringGetCString(text, buffer, 9, kCFStringEncodingUTF8));
    EXPECT_TRUE(CFStringGetCString(text, buffer, 10, kCFStringEncodingUTF8));
    EXPECT_STREQ("caf\xC3\xA9 \xE2\x82\xAC", buffer);

    EXPECT_STREQ("caf\xC3\xA9 \xE2\x82\xAC", CFStringGetCStringPtr(text, kCFStringEncodingUTF8));
    EXPECT_EQ(nullptr, CFStringGetCStringPtr(text, kCFStringEncodingASCII));
    EXPECT_STREQ("plain", CFStringGetCStringPtr(CFSTR("plain"), kCFStringEncodingASCII));
    EXPECT_EQ(18, CFStringGetMaximumSizeForEncoding(6, kCFStringEncodingUTF8));
    EXPECT_EQ(6, CFStringGetMaximumSizeForEncoding(6, kCFStringEncodingMacRoman));
    EXPECT_EQ(kCFNotFound, CFStringGetMaximumSizeForEncoding(6, 0x1234));

    CFIndex used = 0;
    UInt8 bytes[16] = {};
    EXPECT_EQ(
        6, CFStringGetBytes(text, CFRangeMake(0, 6), kCFStringEncodingASCII, '?', false, bytes, 16, &used));
    EXPECT_EQ(6, used);
    EXPECT_EQ(0, std::memcmp("caf? ?", bytes, 6));
    EXPECT_EQ(3,
              CFStringGetBytes(text, CFRangeMake(0, 6), kCFStringEncodingASCII, 0, false, bytes, 16, &used));
    // Only whole characters go into a short buffer.
    EXPECT_EQ(3, CFStringGetBytes(text, CFRangeMake(0, 6), kCFStringEncodingUTF8, 0, false, bytes, 4, &used));
    EXPECT_EQ(3, used);

    // An unpaired surrogate has no UTF-8 form.
    const UniChar lone[] = {u'a', 0xD800, u'b'};
    CFHolder<CFStringRef> broken(CFStringCreateWithCharacters(kCFAllocatorDefault, lone, 3));
    EXPECT_EQ(nullptr, CFStringGetCStringPtr(broken, kCFStringEncodingUTF8));
    EXPECT_FALSE(CFStringGetCString(broken, buffer, sizeof(buffer), kCFStringEncodingUTF8));
}

TEST(CFString, Formats)
{
    const SInt64 large = 5000000000LL;
    CFHolder<CFNumberRef> number(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &large));
    CFHolder<CFStringRef> formatted(CFStringCreateWithFormat(
        kCFAllocatorDefault, nullptr, CFSTR("%d|%5.2f|%s|%@|%@|%ld|%04x|%%|%-4s|%c|%lld|%@|%zu"), -12,
        3.14159, "caf\xC3\xA9", CFSTR("obj"), number.get(), -7L, 0xAB, "ab", 'Z', -5000000000LL,
        static_cast<const void*>(nullptr), static_cast<std::size_t>(17)));
    EXPECT_EQ("-12| 3.14|caf\xC3\xA9|obj|5000000000|-7|00ab|%|ab  |Z|-5000000000|(null)|17", Text(formatted));

    CFHolder<CFStringRef> widths(CFStringCreateWithFormat(
        kCFAllocatorDefault, nullptr, CFSTR("[%*d][%.*s][%hhd]"), 4, 7, 2, "abcdef", 300));
    EXPECT_EQ("[   7][ab][44]", Text(widths));

    CFHolder<CFMutableStringRef> appended(CFStringCreateMutableCopy(kCFAllocatorDefault, 0, CFSTR("n=")));
    CFStringAppendFormat(appended, nullptr, CFSTR("%u"), 42u);
    EXPECT_EQ("n=42", Text(appended));
}

TEST(CFString, ComparisonAndSearch)
{
    CFHolder<CFStringRef> upper(MakeString("\xC3\x89"
                                           "COLE \xD0\x96"));
    CFHolder<CFStringRef> lower(MakeString("\xC3\xA9"
                                           "cole \xD0\xB6"));
    EXPECT_NE(kCFCompareEqualTo, CFStringCompare(upper, lower, 0));
    EXPECT_EQ(kCFCompareEqualTo, CFStringCompare(upper, lower, kCFCompareCaseInsensitive));
    EXPECT_EQ(kCFCompareLessThan, CFStringCompare(CFSTR("abc"), CFSTR("abd"), 0));
    EXPECT_EQ(kCFCompareGreaterThan, CFStringCompare(CFSTR("abc"), CFSTR("ab"), 0));
    EXPECT_EQ(kCFCompareLessThan, CFStringCompare(CFSTR("file10"), CFSTR("file2"), 0));
    EXPECT_EQ(kCFCompareLessThan, CFStringCompare(CFSTR("file2"), CFSTR("file10"), kCFCompareNumerically));
    EXPECT_EQ(kCFCompareEqualTo, CFStringCompare(CFSTR("v007"), CFSTR("v7"), kCFCompareNumerically));

    CFStringRef haystack = CFSTR("Arial Bold Italic Bold");
    CFRange found = CFStringFind(haystack, CFSTR("Bold"), 0);
    EXPECT_EQ(6, found.location);
    EXPECT_EQ(4, found.length);
    EXPECT_EQ(
        18, CFStringFind(haystack, CFSTR("bold"), kCFCompareCaseInsensitive | kCFCompareBackwards).location);
    EXPECT_EQ(kCFNotFound, CFStringFind(haystack, CFSTR("bold"), 0).location);
    EXPECT_EQ(kCFNotFound, CFStringFind(haystack, CFSTR("Bold"), kCFCompareAnchored).location);
    EXPECT_TRUE(CFStringHasPrefix(haystack, CFSTR("Arial ")));
    EXPECT_TRUE(CFStringHasSuffix(haystack, CFSTR("Bold")));
    EXPECT_FALSE(CFStringHasSuffix(haystack, CFSTR("Italic")));
    EXPECT_FALSE(CFStringHasPrefix(CFSTR("Ar"), CFSTR("Arial")));

    EXPECT_EQ(-42, CFStringGetIntValue(CFSTR("  -42abc")));
    EXPECT_EQ(17, CFStringGetIntValue(CFSTR("+17")));
    EXPECT_EQ(0, CFStringGetIntValue(CFSTR("abc")));
    EXPECT_EQ(2147483647, CFStringGetIntValue(CFSTR("99999999999")));
    EXPECT_EQ(-2147483647 - 1, CFStringGetIntValue(CFSTR("-99999999999")));
}

TEST(CFString, Mutation)
{
    CFHolder<CFMutableStringRef> text(CFStringCreateMutable(kCFAllocatorDefault, 0));
    CFStringAppend(text, CFSTR("Font"));
    CFStringAppendCString(text, " caf\xE9", kCFStringEncodingWindowsLatin1);
    CFStringAppend(text, text);
    EXPECT_EQ("Font caf\xC3\xA9"
              "Font caf\xC3\xA9",
              Text(text));
    EXPECT_STREQ("Font caf\xC3\xA9"
                 "Font caf\xC3\xA9",
                 CFStringGetCStringPtr(text, kCFStringEncodingUTF8));

    CFStringDelete(text, CFRangeMake(4, 5));
    EXPECT_EQ("FontFont caf\xC3\xA9", Text(text));
    CFStringInsert(text, 4, CFSTR("-"));
    CFStringReplace(text, CFRangeMake(0, 4), CFSTR("Face"));
    EXPECT_EQ("Face-Font caf\xC3\xA9", Text(text));
    EXPECT_EQ(
        2, CFStringFindAndReplace(text, CFSTR("F"), CFSTR("ff"), CFRangeMake(0, CFStringGetLength(text)), 0));
    EXPECT_EQ("fface-ffont caf\xC3\xA9", Text(text));
    // A range past the end changes nothing.
    CFStringDelete(text, CFRangeMake(10, 100));
    EXPECT_EQ(16, CFStringGetLength(text));
    // The two halves of a surrogate pair appended one by one make a valid string.
    CFStringReplaceAll(text, CFSTR(""));
    const UniChar high = 0xD83D;
    const UniChar low = 0xDE00;
    CFStringAppendCharacters(text, &high, 1);
    EXPECT_EQ(nullptr, CFStringGetCStringPtr(text, kCFStringEncodingUTF8));
    CFStringAppendCharacters(text, &low, 1);
    EXPECT_STREQ("\xF0\x9F\x98\x80", CFStringGetCStringPtr(text, kCFStringEncodingUTF8));

    // Immutable strings are not changed by the mutation functions.
    CFHolder<CFStringRef> fixed(MakeString("fixed"));
    CFStringAppend(const_cast<CFMutableStringRef>(fixed.get()), CFSTR("!"));
    EXPECT_EQ("fixed", Text(fixed));
    CFHolder<CFStringRef> snapshot(CFStringCreateCopy(kCFAllocatorDefault, text));
    CFStringAppend(text, CFSTR("more"));
    EXPECT_EQ(2, CFStringGetLength(snapshot));
}
