// XML property lists: round trips, reading hand-written files, mutability, malformed input.

#include "CFTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace
{
CFDataRef DataFromText(const std::string& text)
{
    return CFDataCreate(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(text.data()),
                        static_cast<CFIndex>(text.size()));
}

std::string TextOfData(CFDataRef data)
{
    return std::string(reinterpret_cast<const char*>(CFDataGetBytePtr(data)),
                       static_cast<std::size_t>(CFDataGetLength(data)));
}

// Parses text; on failure returns null and stores the error string.
CFPropertyListRef Parse(const std::string& text, std::string& error, CFOptionFlags options = 0)
{
    CFHolder<CFDataRef> data(DataFromText(text));
    CFStringRef errorString = nullptr;
    CFPropertyListRef result =
        CFPropertyListCreateFromXMLData(kCFAllocatorDefault, data, options, &errorString);
    error = errorString != nullptr ? Text(errorString) : std::string();
    if (errorString != nullptr)
    {
        CFRelease(errorString);
    }
    return result;
}

std::string Wrap(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n" + body + "\n</plist>\n";
}

void Set(CFMutableDictionaryRef dictionary, const char* key, CFTypeRef value)
{
    CFHolder<CFStringRef> keyString(MakeString(key));
    CFDictionarySetValue(dictionary, keyString, value);
    CFRelease(value);
}
} // namespace

TEST(CFPropertyList, RoundTripKeepsEveryValue)
{
    CFHolder<CFMutableDictionaryRef> root(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    Set(root, "Escaped <&> \"quoted\"", MakeString("a < b && c > d ]]>"));
    Set(root, "Non-ASCII \xC3\xA9",
        MakeString("Gr\xC3\xBC\xC3\x9F"
                   "e \xE2\x82\xAC \xF0\x9F\x98\x80"));
    Set(root, "Empty", MakeString(""));
    Set(root, "Spaces", MakeString("  \t "));
    Set(root, "Line ends", MakeString("one\r\ntwo\rthree\n"));
    const SInt64 big = 1LL << 40;
    const SInt64 negative = -(1LL << 62);
    const double real = 0.1;
    const double huge = -1.5e300;
    Set(root, "Big", CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &big));
    Set(root, "Negative", CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &negative));
    Set(root, "Real", CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &real));
    Set(root, "Huge", CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &huge));
    CFDictionarySetValue(root, CFSTR("Yes"), kCFBooleanTrue);
    CFDictionarySetValue(root, CFSTR("No"), kCFBooleanFalse);
    UInt8 bytes[256];
    for (int i = 0; i < 256; ++i)
    {
        bytes[i] = static_cast<UInt8>(i);
    }
    Set(root, "Data", CFDataCreate(kCFAllocatorDefault, bytes, sizeof(bytes)));
    Set(root, "NoData", CFDataCreate(kCFAllocatorDefault, nullptr, 0));
    Set(root, "Date", CFDateCreate(kCFAllocatorDefault, 737555696.0)); // 2024-05-16T12:34:56Z
    CFHolder<CFMutableArrayRef> list(CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    CFHolder<CFMutableDictionaryRef> inner(CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, root));
    CFArrayAppendValue(list, inner);
    Set(const_cast<CFMutableDictionaryRef>(static_cast<CFDictionaryRef>(inner.get())), "Empty array",
        CFArrayCreate(kCFAllocatorDefault, nullptr, 0, &kCFTypeArrayCallBacks));
    CFArrayAppendValue(list, CFSTR("last"));
    CFDictionarySetValue(root, CFSTR("List"), list);

    CFHolder<CFDataRef> xml(CFPropertyListCreateXMLData(kCFAllocatorDefault, root));
    ASSERT_NE(nullptr, xml.get());
    const std::string text = TextOfData(xml);
    EXPECT_EQ(0u,
              text.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD "
                        "PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n<plist "
                        "version=\"1.0\">\n"))
        << text;
    EXPECT_NE(std::string::npos, text.find("<key>Escaped &lt;&amp;&gt; \"quoted\"</key>")) << text;
    EXPECT_NE(std::string::npos, text.find("<integer>1099511627776</integer>")) << text;
    EXPECT_NE(std::string::npos, text.find("<date>2024-05-16T12:34:56Z</date>")) << text;
    EXPECT_NE(std::string::npos, text.find("<true/>")) << text;
    // Keys are written in sorted order.
    EXPECT_LT(text.find("<key>Big</key>"), text.find("<key>Data</key>"));

    std::string error;
    CFHolder<CFPropertyListRef> back(Parse(text, error));
    ASSERT_NE(nullptr, back.get()) << error;
    EXPECT_TRUE(CFEqual(root, back));
    CFDictionaryRef backRoot = static_cast<CFDictionaryRef>(back.get());
    EXPECT_EQ("  \t ", Text(static_cast<CFStringRef>(CFDictionaryGetValue(backRoot, CFSTR("Spaces")))));
    SInt64 readBig = 0;
    EXPECT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(backRoot, CFSTR("Big"))),
                                 kCFNumberSInt64Type, &readBig));
    EXPECT_EQ(big, readBig);
}

TEST(CFPropertyList, ReadsHandWrittenFiles)
{
    const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                             "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                             "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\r\n"
                             "<plist version=\"1.0\">\r\n"
                             "<!-- preferences -->\r\n"
                             "<dict>\r\n"
                             "\t<key>Hex</key><integer> 0x1F </integer>\r\n"
                             "\t<key>Minus</key><integer>-42</integer>\r\n"
                             "\t<key>Infinity</key><real>+infinity</real>\r\n"
                             "\t<key>Exponent</key><real>2.5e3</real>\r\n"
                             "\t<key>CDATA</key><string><![CDATA[a<b]]> &amp; &#233;</string>\r\n"
                             "\t<key>Blank</key><string/>\r\n"
                             "\t<key>Data</key><data>\r\n\tAAEC\r\n\tAw==\r\n\t</data>\r\n"
                             "</dict>\r\n</plist>\r\n";
    std::string error;
    CFHolder<CFPropertyListRef> plist(Parse(text, error));
    ASSERT_NE(nullptr, plist.get()) << error;
    CFDictionaryRef root = static_cast<CFDictionaryRef>(plist.get());
    int value = 0;
    EXPECT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(root, CFSTR("Hex"))),
                                 kCFNumberIntType, &value));
    EXPECT_EQ(31, value);
    EXPECT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(root, CFSTR("Minus"))),
                                 kCFNumberIntType, &value));
    EXPECT_EQ(-42, value);
    double real = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(root, CFSTR("Infinity"))),
                     kCFNumberDoubleType, &real);
    EXPECT_TRUE(std::isinf(real));
    CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(root, CFSTR("Exponent"))),
                     kCFNumberDoubleType, &real);
    EXPECT_EQ(2500.0, real);
    EXPECT_EQ("a<b & \xC3\xA9", Text(static_cast<CFStringRef>(CFDictionaryGetValue(root, CFSTR("CDATA")))));
    EXPECT_EQ("", Text(static_cast<CFStringRef>(CFDictionaryGetValue(root, CFSTR("Blank")))));
    CFDataRef data = static_cast<CFDataRef>(CFDictionaryGetValue(root, CFSTR("Data")));
    ASSERT_EQ(4, CFDataGetLength(data));
    EXPECT_EQ(3, CFDataGetBytePtr(data)[3]);

    // A bare value without <plist> is a property list too.
    CFHolder<CFPropertyListRef> bare(Parse("<array><true/><string>x</string></array>", error));
    ASSERT_NE(nullptr, bare.get()) << error;
    EXPECT_EQ(2, CFArrayGetCount(static_cast<CFArrayRef>(bare.get())));
}

TEST(CFPropertyList, MutabilityOptions)
{
    const std::string text = Wrap("<dict><key>list</key><array><string>a</string></array></dict>");
    std::string error;
    for (const CFOptionFlags option :
         {CFOptionFlags{kCFPropertyListImmutable}, CFOptionFlags{kCFPropertyListMutableContainers},
          CFOptionFlags{kCFPropertyListMutableContainersAndLeaves}})
    {
        CFHolder<CFPropertyListRef> plist(Parse(text, error, option));
        ASSERT_NE(nullptr, plist.get()) << error;
        CFDictionaryRef root = static_cast<CFDictionaryRef>(plist.get());
        CFMutableArrayRef list =
            const_cast<CFMutableArrayRef>(static_cast<CFArrayRef>(CFDictionaryGetValue(root, CFSTR("list"))));
        CFArrayAppendValue(list, CFSTR("b"));
        EXPECT_EQ(option == kCFPropertyListImmutable ? 1 : 2, CFArrayGetCount(list)) << option;
        CFMutableStringRef leaf =
            const_cast<CFMutableStringRef>(static_cast<CFStringRef>(CFArrayGetValueAtIndex(list, 0)));
        CFStringAppend(leaf, CFSTR("!"));
        EXPECT_EQ(option == kCFPropertyListMutableContainersAndLeaves ? "a!" : "a", Text(leaf)) << option;
    }
}

TEST(CFPropertyList, MalformedInputIsRejectedWithAnError)
{
    std::string deep;
    for (int i = 0; i < 98; ++i)
    {
        deep += "<array>";
    }
    for (int i = 0; i < 98; ++i)
    {
        deep += "</array>";
    }
    const std::string cases[] = {
        "",
        "not xml at all",
        Wrap("<dict><key>a</key>"),
        Wrap("<dict><key>a</key><string>x</string><key>b</key></dict>"),
        Wrap("<dict><string>no key</string><string>x</string></dict>"),
        Wrap("<dict>stray text<key>a</key><true/></dict>"),
        Wrap("<unknown/>"),
        Wrap("<integer>12x</integer>"),
        Wrap("<integer></integer>"),
        Wrap("<integer>18446744073709551616</integer>"),
        Wrap("<integer>9223372036854775808</integer>"),
        Wrap("<real>1.5.5</real>"),
        Wrap("<real>1e999</real>"),
        Wrap("<data>AA$=</data>"),
        Wrap("<date>2024-02-30T00:00:00Z</date>"),
        Wrap("<date>yesterday</date>"),
        Wrap("<true>yes</true>"),
        Wrap("<string>a<b/></string>"),
        Wrap("<string>\xC3\x28</string>"),
        Wrap("<true/><false/>"),
        Wrap(""),
        Wrap(deep),
        std::string("<plist><string>a\0b</string></plist>", 36),
    };
    for (const std::string& text : cases)
    {
        std::string error;
        CFPropertyListRef plist = Parse(text, error);
        EXPECT_EQ(nullptr, plist) << text;
        if (plist != nullptr)
        {
            CFRelease(plist);
        }
        EXPECT_FALSE(error.empty()) << text;
    }

    // Nesting within the bound is fine.
    std::string nested;
    for (int i = 0; i < 60; ++i)
    {
        nested = "<array>" + nested + "</array>";
    }
    std::string error;
    CFHolder<CFPropertyListRef> plist(Parse(Wrap(nested), error));
    EXPECT_NE(nullptr, plist.get()) << error;

    // The CFError form carries the code and the description.
    CFHolder<CFDataRef> data(DataFromText(Wrap("<integer>x</integer>")));
    CFErrorRef errorObject = nullptr;
    CFPropertyListFormat format = 0;
    EXPECT_EQ(nullptr, CFPropertyListCreateWithData(kCFAllocatorDefault, data, 0, &format, &errorObject));
    ASSERT_NE(nullptr, errorObject);
    EXPECT_EQ(kCFPropertyListReadCorruptError, CFErrorGetCode(errorObject));
    CFHolder<CFStringRef> description(CFErrorCopyDescription(errorObject));
    EXPECT_NE(std::string::npos, Text(description).find("integer")) << Text(description);
    CFRelease(errorObject);
}

TEST(CFPropertyList, WritingRejectsWhatIsNotAPropertyList)
{
    CFHolder<CFUUIDRef> uuid(CFUUIDCreate(kCFAllocatorDefault));
    const void* values[] = {CFSTR("ok"), uuid.get()};
    CFHolder<CFArrayRef> withUUID(CFArrayCreate(kCFAllocatorDefault, values, 2, &kCFTypeArrayCallBacks));
    EXPECT_EQ(nullptr, CFPropertyListCreateXMLData(kCFAllocatorDefault, withUUID));
    EXPECT_FALSE(CFPropertyListIsValid(withUUID, kCFPropertyListXMLFormat_v1_0));

    const int one = 1;
    CFHolder<CFNumberRef> numberKey(CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &one));
    const void* keys[] = {numberKey.get()};
    const void* dictionaryValues[] = {CFSTR("value")};
    CFHolder<CFDictionaryRef> badKeys(CFDictionaryCreate(kCFAllocatorDefault, keys, dictionaryValues, 1,
                                                         &kCFTypeDictionaryKeyCallBacks,
                                                         &kCFTypeDictionaryValueCallBacks));
    CFErrorRef error = nullptr;
    EXPECT_EQ(nullptr, CFPropertyListCreateData(kCFAllocatorDefault, badKeys, kCFPropertyListXMLFormat_v1_0,
                                                0, &error));
    ASSERT_NE(nullptr, error);
    CFRelease(error);
    EXPECT_EQ(nullptr, CFPropertyListCreateData(kCFAllocatorDefault, CFSTR("x"),
                                                kCFPropertyListBinaryFormat_v1_0, 0, nullptr));

    CFHolder<CFPropertyListRef> copy(CFPropertyListCreateDeepCopy(kCFAllocatorDefault, withUUID, 0));
    EXPECT_EQ(nullptr, copy.get());
}
