#include "CoreAgentInterface.h"
#include "FaceTraceSupport.h"
#include "FontManagerInterface.h"
#include "FontRecordKeys.h"
#include "GStringEncodings.h"
#include "XCFUtils.h"

#include <gtest/gtest.h>

namespace
{
struct Released
{
    void operator()(const void* object) const
    {
        if (object != nullptr)
        {
            CFRelease(object);
        }
    }
};
using MutableDictionary = std::unique_ptr<std::remove_pointer_t<CFMutableDictionaryRef>, Released>;
using MutableArray = std::unique_ptr<std::remove_pointer_t<CFMutableArrayRef>, Released>;

MutableDictionary NewRecord()
{
    return MutableDictionary(CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                       &kCFTypeDictionaryValueCallBacks));
}

void SetText(CFMutableDictionaryRef record, CFStringRef key, const char* text)
{
    CFStringRef value = CreateCFStringFromUTF8String(text);
    CFDictionarySetValue(record, key, value);
    CFRelease(value);
}

std::string Text(CFDictionaryRef record, CFStringRef key)
{
    return XCFStringCopyUTF8(XCFDictionaryGetString(record, key));
}

MutableDictionary FontNamed(const char* postScriptName)
{
    MutableDictionary record = NewRecord();
    SetText(record.get(), kFT_PostScriptNameKey, postScriptName);
    return record;
}
} // namespace

TEST(VersionsAreCompatibleTest, FirstThreeComponentsDecide)
{
    EXPECT_TRUE(FontManagerInterface::VersionsAreCompatible("22.0.4.10317", "22.0.4.9"));
    EXPECT_TRUE(FontManagerInterface::VersionsAreCompatible("22.0", "22.0.4.1"));
    EXPECT_TRUE(FontManagerInterface::VersionsAreCompatible("22.0.4.1", "22.0"));
    EXPECT_FALSE(FontManagerInterface::VersionsAreCompatible("22.0", "22.01"));
    EXPECT_FALSE(FontManagerInterface::VersionsAreCompatible("21.3.1.5", "22.0.4.1"));
    EXPECT_FALSE(FontManagerInterface::VersionsAreCompatible("22.0.4", "22.0.40"));
    EXPECT_FALSE(FontManagerInterface::VersionsAreCompatible("1.0.0.42", "1.0.1.7"));
    // The plug-in "1.0.0.<build>" against the interface library "1.0.0.42".
    EXPECT_TRUE(FontManagerInterface::VersionsAreCompatible("1.0.0.42", "1.0.0.7"));
}

TEST(VersionsAreCompatibleTest, EmptyAndWildcardVersions)
{
    EXPECT_TRUE(FontManagerInterface::VersionsAreCompatible("", ""));
    EXPECT_FALSE(FontManagerInterface::VersionsAreCompatible("", "22.0.4.1"));
    EXPECT_FALSE(FontManagerInterface::VersionsAreCompatible("22.0.4.1", ""));
    EXPECT_TRUE(FontManagerInterface::VersionsAreCompatible("1.0.0.0", "22.0.4.1"));
    EXPECT_TRUE(FontManagerInterface::VersionsAreCompatible("3.9", "1.0.0.0"));
}

TEST(ActivationStateTest, RawStatesConvertAsTheTableSays)
{
    struct Row
    {
        int raw;
        int state;
        const char* isTemp;
        const char* isActive;
        const char* isAutoActivated;
    };
    const Row rows[] = {
        {0, 1, "0", "0", "0"},  {1, 3, "1", "1", "1"},  {2, 3, "1", "1", "1"}, {3, 3, "1", "1", "0"},
        {9, 3, "1", "1", "0"},  {10, 3, "1", "1", "0"}, {4, 2, "0", "1", "0"}, {5, 2, "0", "1", "0"},
        {6, 2, "0", "1", "0"},  {11, 2, "0", "1", "0"}, {7, 0, "0", "0", "0"}, {8, 0, "0", "0", "0"},
        {12, 0, "0", "0", "0"}, {-1, 0, "0", "0", "0"},
    };
    for (const Row& row : rows)
    {
        SCOPED_TRACE(row.raw);
        MutableDictionary record = FontNamed("Font-Regular");
        XCFDictionarySetNumber(record.get(), kFT_ActivationStateKey, row.raw);
        SetText(record.get(), kFT_IsActiveKey, "stale");
        ASSERT_EQ(CoreAgentInterface::ConvertActivationStateValues(record.get()), 0);
        TSInt32 state = -9;
        ASSERT_TRUE(XCFDictionaryGetNumber(record.get(), kFT_ActivationStateKey, &state));
        EXPECT_EQ(state, row.state);
        EXPECT_EQ(Text(record.get(), kFT_IsTempKey), row.isTemp);
        EXPECT_EQ(Text(record.get(), kFT_IsActiveKey), row.isActive);
        EXPECT_EQ(Text(record.get(), kFT_IsAutoActivatedKey), row.isAutoActivated);
    }
    MutableDictionary withoutState = FontNamed("Font-Bold");
    EXPECT_EQ(CoreAgentInterface::ConvertActivationStateValues(withoutState.get()), 0);
    EXPECT_EQ(Text(withoutState.get(), kFT_IsActiveKey), "0");
    EXPECT_EQ(CoreAgentInterface::ConvertActivationStateValues(nullptr), -1);
}

TEST(FontRecordsTest, FontIDsComeFromNonZeroDatabaseIDsInOrder)
{
    MutableArray fonts(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    for (const int id : {7, 0, 3})
    {
        MutableDictionary record = FontNamed("F");
        XCFDictionarySetNumber(record.get(), kFT_DatabaseIDKey, id);
        CFArrayAppendValue(fonts.get(), record.get());
    }
    MutableDictionary asText = FontNamed("G");
    SetText(asText.get(), kFT_DatabaseIDKey, "12");
    CFArrayAppendValue(fonts.get(), asText.get());
    CFArrayAppendValue(fonts.get(), CFSTR("not a record"));
    EXPECT_EQ(CoreAgentInterface::GetFontIDsFromFontInfoArray(fonts.get()), (std::vector<TUInt32>{7, 3, 12}));
    EXPECT_TRUE(CoreAgentInterface::GetFontIDsFromFontInfoArray(nullptr).empty());
}

TEST(FaceTraceSupportTest, NamesMatchAtIncreasingLevels)
{
    EXPECT_EQ(FaceTraceSupport::NormalizeName("Helvetica Neue-Bold_1", false), "HelveticaNeueBold1");
    EXPECT_EQ(FaceTraceSupport::NormalizeName("Minion#12Pro-Bold-Italic", true), "MinionProBold");
    EXPECT_EQ(FaceTraceSupport::NormalizeName("Minion#12Pro-Bold-Italic", false), "Minion12ProBoldItalic");

    EXPECT_TRUE(FaceTraceSupport::NamesMatch("Arial-BoldMT", "Arial-BoldMT", 1));
    EXPECT_FALSE(FaceTraceSupport::NamesMatch("Arial-BoldMT", "Arial BoldMT", 1));
    EXPECT_TRUE(FaceTraceSupport::NamesMatch("Arial-BoldMT", "Arial BoldMT", 2));
    EXPECT_FALSE(FaceTraceSupport::NamesMatch("Minion-Bold-Cond", "Minion-Bold-Wide", 2));
    EXPECT_TRUE(FaceTraceSupport::NamesMatch("Minion-Bold-Cond", "Minion-Bold-Wide", 3));

    MutableArray fonts(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    for (const char* name : {"Minion-Bold-Wide", "Arial BoldMT", "Arial-BoldMT"})
    {
        CFArrayAppendValue(fonts.get(), FontNamed(name).get());
    }
    // An exact match wins over an earlier normalised one, and that over a strict one.
    EXPECT_EQ(FaceTraceSupport::IndexOfPostScriptName(fonts.get(), CFSTR("Arial-BoldMT")), 2);
    EXPECT_EQ(FaceTraceSupport::IndexOfPostScriptName(fonts.get(), CFSTR("Arial_BoldMT")), 1);
    EXPECT_EQ(FaceTraceSupport::IndexOfPostScriptName(fonts.get(), CFSTR("Minion-Bold-Cond")), 0);
    EXPECT_EQ(FaceTraceSupport::IndexOfPostScriptName(fonts.get(), CFSTR("Times-Roman")), -1);
}

TEST(FaceTraceSupportTest, ChecksumsAreNormalised)
{
    MutableDictionary record = FontNamed("F");
    SetText(record.get(), kFT_FaceTrace12ChecksumKey, "98765");
    SetText(record.get(), kFT_ChecksumKey, "0");
    SetText(record.get(), kFT_KerningChecksumKey, "1048576");
    EXPECT_TRUE(FaceTraceSupport::NormalizeChecksums(record.get()));
    EXPECT_EQ(Text(record.get(), kFT_ChecksumKey), "98765");
    EXPECT_EQ(Text(record.get(), kFT_KerningChecksumKey), "0");

    MutableDictionary unchanged = FontNamed("G");
    SetText(unchanged.get(), kFT_FaceTrace12ChecksumKey, "98765");
    SetText(unchanged.get(), kFT_ChecksumKey, "1234");
    SetText(unchanged.get(), kFT_KerningChecksumKey, "1048575");
    EXPECT_FALSE(FaceTraceSupport::NormalizeChecksums(unchanged.get()));
    EXPECT_EQ(Text(unchanged.get(), kFT_ChecksumKey), "1234");
    EXPECT_EQ(Text(unchanged.get(), kFT_KerningChecksumKey), "1048575");

    MutableDictionary zeroNew = FontNamed("H");
    SetText(zeroNew.get(), kFT_FaceTrace12ChecksumKey, "0");
    EXPECT_FALSE(FaceTraceSupport::NormalizeChecksums(zeroNew.get()));
    EXPECT_FALSE(CFDictionaryContainsKey(zeroNew.get(), kFT_ChecksumKey));
}

TEST(FaceTraceSupportTest, SlugTextReadsBackAsTheRecords)
{
    MutableArray fonts(CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks));
    MutableDictionary record = FontNamed("Caf\xC3\xA9-Regular");
    SetText(record.get(), kFT_ChecksumKey, "42");
    CFArrayAppendValue(fonts.get(), record.get());
    TUTF8String slug;
    ASSERT_EQ(FaceTraceSupport::CreateXMLFaceTraceSlug(fonts.get(), &slug), 0);
    CFDataRef data =
        CFDataCreate(nullptr, reinterpret_cast<const UInt8*>(slug.data()), static_cast<CFIndex>(slug.size()));
    CFPropertyListRef readBack =
        CFPropertyListCreateFromXMLData(nullptr, data, kCFPropertyListImmutable, nullptr);
    CFRelease(data);
    ASSERT_NE(readBack, nullptr);
    EXPECT_TRUE(CFEqual(readBack, fonts.get()));
    CFRelease(readBack);
    EXPECT_EQ(FaceTraceSupport::CreateXMLFaceTraceSlug(fonts.get(), nullptr), -50);
}
