// Name cleanup, the order of candidate fonts, merging, and the keys that may reach a document.

#include "CommonFunctionality.h"
#include "FaceTraceSupport.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

namespace
{
using KeyValues = std::initializer_list<std::pair<const char*, const char*>>;

CFMutableDictionaryRef Record(KeyValues entries)
{
    CFMutableDictionaryRef font = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    for (const auto& [key, value] : entries)
    {
        CFStringRef k = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
        CFStringRef v = CFStringCreateWithCString(kCFAllocatorDefault, value, kCFStringEncodingUTF8);
        CFDictionarySetValue(font, k, v);
        CFRelease(k);
        CFRelease(v);
    }
    return font;
}

std::string Text(CFDictionaryRef font, const char* key)
{
    CFStringRef k = CFStringCreateWithCString(kCFAllocatorDefault, key, kCFStringEncodingUTF8);
    const auto value = static_cast<CFStringRef>(CFDictionaryGetValue(font, k));
    CFRelease(k);
    char buffer[256] = {};
    if (value != nullptr)
    {
        CFStringGetCString(value, buffer, sizeof(buffer), kCFStringEncodingUTF8);
    }
    return buffer;
}

std::string Shortened(const char* name)
{
    char shorter[128] = {};
    return FaceTraceSupport::PSNameMightHaveCruftAppended(name, sizeof(shorter), shorter) ? shorter
                                                                                          : "(none)";
}

int Order(KeyValues first, KeyValues second, CFDictionaryRef document = nullptr)
{
    CFMutableDictionaryRef a = Record(first);
    CFMutableDictionaryRef b = Record(second);
    const int result =
        FaceTraceSupport::PickBestMatchCallBack(a, b, const_cast<void*>(static_cast<const void*>(document)));
    CFRelease(a);
    CFRelease(b);
    return result;
}

TEST(FaceTraceNamesTest, CruftIsASubsetPrefixOrAStyleSuffix)
{
    EXPECT_EQ(Shortened("ABCDEF+Carlito"), "Carlito");
    EXPECT_EQ(Shortened("Carlito-Bold"), "Carlito");
    EXPECT_EQ(Shortened("Open Sans Light"), "Open Sans");
    EXPECT_EQ(Shortened("Carlito"), "(none)");
    EXPECT_EQ(Shortened("-Carlito"), "(none)") << "the first character is never a separator of a suffix";
    EXPECT_EQ(Shortened("Some-Name+More"), "Some") << "a '+' after a '-' is no subset prefix";

    CFStringRef stripped =
        FaceTraceSupport::CreateStringStrippingIllegalCharsInPostScriptName(CFSTR("My Font (Bold) [x]{y}/z"));
    ASSERT_NE(stripped, nullptr);
    EXPECT_EQ(CFStringCompare(stripped, CFSTR("MyFontBoldxyz"), 0), kCFCompareEqualTo);
    CFRelease(stripped);
    EXPECT_EQ(FaceTraceSupport::CreateStringStrippingIllegalCharsInPostScriptName(CFSTR(" ()")), nullptr);
}

TEST(FaceTraceOrderTest, RulesDecideInTheirOrder)
{
    // Active first; of two active ones the non-system font.
    EXPECT_LT(Order({{"IsActive", "1"}}, {{"IsActive", "0"}}), 0);
    EXPECT_GT(Order({{"IsActive", "1"}, {"IsSystem", "1"}}, {{"IsActive", "1"}, {"IsSystem", "0"}}), 0);
    // Two active system fonts fall through to the kind.
    EXPECT_LT(Order({{"IsActive", "1"}, {"IsSystem", "1"}, {"FontKind", "OpenType"}},
                    {{"IsActive", "1"}, {"IsSystem", "1"}, {"FontKind", "TrueType"}}),
              0);
    // OpenType before TrueType, Postscript before TrueType.
    EXPECT_GT(Order({{"FontKind", "TrueType"}}, {{"FontKind", "OpenType"}}), 0);
    EXPECT_LT(Order({{"FontKind", "Postscript"}}, {{"FontKind", "TrueType"}}), 0);
    // The document's own kind wins over the general kind order.
    CFMutableDictionaryRef document = Record({{"FontKind", "TrueType"}});
    EXPECT_GT(Order({{"FontKind", "OpenType"}}, {{"FontKind", "TrueType"}}, document), 0);
    CFRelease(document);
    // An Adobe foundry first.
    EXPECT_LT(Order({{"Foundry", "Adobe Systems"}}, {{"Foundry", "Other"}}), 0);
    // Versions: the greater number first; texts that read as 0 compare numerically, lower first.
    EXPECT_LT(Order({{"Version", "2.0"}}, {{"Version", "1.5"}}), 0);
    EXPECT_LT(Order({{"Version", "Version 2"}}, {{"Version", "Version 10"}}), 0);
    EXPECT_LT(Order({{"Version", "1.0"}}, {}), 0);
    EXPECT_EQ(Order({{"Version", "1.0"}}, {{"Version", "1.00"}}), 0);
    // Temporary, then vault.
    EXPECT_LT(Order({{"IsTemp", "1"}}, {{"IsTemp", "0"}}), 0);
    EXPECT_GT(Order({{"IsVault", "0"}}, {{"IsVault", "1"}}), 0);
}

TEST(FaceTraceSlugKeysTest, OnlySluggableKeysRemain)
{
    CFMutableDictionaryRef full = Record({{"PostScriptName", "Carlito"},
                                          {"FontKind", "TrueType"},
                                          {"Foundry", "tyPoland"},
                                          {"Version", "1.1"},
                                          {"KerningChecksum", "12"},
                                          {"Checksum", "34"},
                                          {"FaceTrace_1.2_Checksum", "56"},
                                          {"OutlineFileSize", "1000"},
                                          {"OutlineFileName", "Carlito.ttf"},
                                          {"Family", "Carlito"},
                                          {"DatabaseID", "1001"},
                                          {"ActivationStatus", "4"},
                                          {"IsActive", "1"}});
    CFMutableArrayRef fonts = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(fonts, full);
    EXPECT_TRUE(FaceTraceSupport::RemoveUnsluggableFaceTraceKeys(fonts));
    const auto reduced = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(fonts, 0));
    EXPECT_EQ(CFDictionaryGetCount(reduced), 10);
    EXPECT_EQ(Text(reduced, "OutlineFileName"), "Carlito.ttf");
    EXPECT_EQ(Text(reduced, "DatabaseID"), "");
    EXPECT_FALSE(FaceTraceSupport::RemoveUnsluggableFaceTraceKeys(fonts)) << "nothing left to remove";
    CFRelease(fonts);
    CFRelease(full);
}

TEST(FaceTraceArraysTest, AddingAndMergingKeepOneRecordPerName)
{
    CFMutableArrayRef fonts = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    EXPECT_TRUE(FaceTraceSupport::AddFontToArray(CFSTR("Carlito (Bold)"), fonts, false));
    EXPECT_FALSE(FaceTraceSupport::AddFontToArray(CFSTR("CarlitoBold"), fonts, false));
    EXPECT_TRUE(FaceTraceSupport::AddFontToArray(CFSTR("CarlitoBold"), fonts, true));
    EXPECT_EQ(CFArrayGetCount(fonts), 2);
    CFArrayRemoveValueAtIndex(fonts, 1);

    // A record with more information, agreeing on what both hold, completes the existing one.
    CFMutableArrayRef source = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFMutableDictionaryRef richer = Record({{"PostScriptName", "CarlitoBold"}, {"Version", "1.1"}});
    CFMutableDictionaryRef other = Record({{"PostScriptName", "Caladea-Regular"}});
    CFArrayAppendValue(source, richer);
    CFArrayAppendValue(source, other);
    FaceTraceSupport::MergeFontsIntoFontsArray(source, fonts);
    ASSERT_EQ(CFArrayGetCount(fonts), 2);
    EXPECT_EQ(Text(static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(fonts, 0)), "Version"), "1.1");
    EXPECT_EQ(Text(static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(fonts, 1)), "PostScriptName"),
              "Caladea-Regular");
    CFRelease(richer);
    CFRelease(other);
    CFRelease(source);
    CFRelease(fonts);
}

TEST(ProblemFontsTest, PseudoFontsWithoutReplacementsArePruned)
{
    CFMutableArrayRef problems = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFMutableDictionaryRef invisible = Record({{"PostScriptName", "AdobeInvisFont"}});
    CFMutableDictionaryRef kinsoku = Record({{"PostScriptName", "PhotoshopKinsokuHard"}});
    CFMutableDictionaryRef replaced = Record({{"PostScriptName", "AdobeInvisFont"}});
    CFMutableArrayRef replacements = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(replacements, kinsoku);
    CFDictionarySetValue(replaced, CFSTR("PossibleReplacements"), replacements);
    CFMutableDictionaryRef real = Record({{"PostScriptName", "Missing-Font"}});
    for (CFDictionaryRef font : {invisible, kinsoku, replaced, real})
    {
        CFArrayAppendValue(problems, font);
    }
    EXPECT_EQ(FaceTraceSupport::CountFontsWithoutReplacements(problems), 3);
    CommonFunctionality::RemoveFontsThatHaveNoPossibleReplacement(problems);
    ASSERT_EQ(CFArrayGetCount(problems), 2);
    EXPECT_EQ(CFArrayGetValueAtIndex(problems, 0), replaced);
    EXPECT_EQ(CFArrayGetValueAtIndex(problems, 1), real);
    for (CFTypeRef object : {static_cast<CFTypeRef>(invisible), static_cast<CFTypeRef>(kinsoku),
                             static_cast<CFTypeRef>(replaced), static_cast<CFTypeRef>(real),
                             static_cast<CFTypeRef>(replacements), static_cast<CFTypeRef>(problems)})
    {
        CFRelease(object);
    }
}
} // namespace
