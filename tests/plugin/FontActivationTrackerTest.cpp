// Reference counts of the fonts activated for documents: a font leaves when the last document
// that needed it closes, never when it was active before, never twice.

#include "FontActivationTracker.h"
#include "FontManagerInterface.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace
{
CFMutableDictionaryRef FontRecord(TSInt32 id, const char* name, bool wasActive)
{
    CFMutableDictionaryRef font = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &id);
    CFStringRef postScriptName = CFStringCreateWithCString(kCFAllocatorDefault, name, kCFStringEncodingUTF8);
    CFDictionarySetValue(font, CFSTR("DatabaseID"), number);
    CFDictionarySetValue(font, CFSTR("PostScriptName"), postScriptName);
    CFDictionarySetValue(font, CFSTR("IsActive"), wasActive ? CFSTR("1") : CFSTR("0"));
    CFDictionarySetValue(font, CFSTR("ActivationStatus"), CFSTR("4"));
    CFRelease(number);
    CFRelease(postScriptName);
    return font;
}

TSInt32 IDOf(CFDictionaryRef font)
{
    TSInt32 id = 0;
    CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(font, CFSTR("DatabaseID"))),
                     kCFNumberSInt32Type, &id);
    return id;
}

// A font manager that matches each document path to a fixed set of fonts and records what it is
// asked to deactivate.
class FakeFontManager : public FontManagerInterface
{
public:
    ~FakeFontManager() override
    {
        for (auto& [path, fonts] : mDocuments)
        {
            for (CFDictionaryRef font : fonts)
            {
                CFRelease(font);
            }
        }
    }
    void AddDocument(const std::string& path, std::vector<CFDictionaryRef> fonts)
    {
        mDocuments[path] = fonts;
    }

    TSInt32 ActivateDocumentFontsByPath(const char* path, CFMutableArrayRef, CFMutableArrayRef matched,
                                        CFMutableArrayRef) override
    {
        for (CFDictionaryRef font : mDocuments[path])
        {
            CFArrayAppendValue(matched, font);
        }
        return 0;
    }
    TSInt32 DeactivateFonts(CFArrayRef fonts, CFMutableArrayRef deactivated) override
    {
        ++mDeactivateCalls;
        for (CFIndex i = 0; fonts != nullptr && i < CFArrayGetCount(fonts); ++i)
        {
            const auto font = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(fonts, i));
            mDeactivated.push_back(IDOf(font));
            if (deactivated != nullptr)
            {
                CFArrayAppendValue(deactivated, font);
            }
        }
        return 0;
    }
    std::map<TUInt32, bool> GetClientFontActivationStates(const std::vector<TUInt32>& ids) override
    {
        std::map<TUInt32, bool> states;
        for (TUInt32 id : ids)
        {
            states[id] = mUserDeactivated.count(id) == 0;
        }
        return states;
    }

    std::map<std::string, std::vector<CFDictionaryRef>> mDocuments;
    std::vector<TSInt32> mDeactivated;
    std::map<TUInt32, bool> mUserDeactivated;
    int mDeactivateCalls = 0;
};

class FontActivationTrackerTest : public testing::Test
{
protected:
    void SetUp() override
    {
        FontManagerInterface::SetFontManagerForTesting(&mFontManager);
        mFontManager.AddDocument("a.psd",
                                 {FontRecord(1001, "Shared-Regular", false), FontRecord(1002, "OnlyA", false),
                                  FontRecord(1003, "SystemFont", true)});
        mFontManager.AddDocument("b.psd", {FontRecord(1001, "Shared-Regular", false)});
    }
    void TearDown() override { FontManagerInterface::SetFontManagerForTesting(nullptr); }

    void Open(const std::string& identifier, const std::string& path)
    {
        CFMutableArrayRef matched = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
        CFMutableArrayRef problems = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
        CFMutableArrayRef extra = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
        EXPECT_EQ(mTracker.ActivateDocumentFonts(identifier, path, matched, problems, extra), 0);
        CFRelease(matched);
        CFRelease(problems);
        CFRelease(extra);
    }

    FakeFontManager mFontManager;
    FontActivationTracker mTracker{nullptr};
};

TEST_F(FontActivationTrackerTest, ASharedFontLeavesWithTheLastDocumentAndAnActiveOneNever)
{
    Open("A", "a.psd");
    Open("B", "b.psd");
    EXPECT_EQ(mTracker.GetReferenceCount(1001), 2u);

    EXPECT_EQ(mTracker.CloseAllFontsForIdentifier("A", true, nullptr), 0);
    EXPECT_EQ(mFontManager.mDeactivated, (std::vector<TSInt32>{1002}))
        << "the system font stays, the shared one too";
    EXPECT_EQ(mTracker.GetReferenceCount(1001), 1u);

    CFMutableArrayRef deactivated = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    EXPECT_EQ(mTracker.CloseAllFontsForIdentifier("B", true, deactivated), 0);
    EXPECT_EQ(mFontManager.mDeactivated, (std::vector<TSInt32>{1002, 1001}));
    EXPECT_EQ(CFArrayGetCount(deactivated), 1);
    CFRelease(deactivated);

    // Closing an identifier twice finds nothing and deactivates nothing more.
    const int calls = mFontManager.mDeactivateCalls;
    EXPECT_EQ(mTracker.CloseAllFontsForIdentifier("B", true, nullptr), 0);
    EXPECT_EQ(mFontManager.mDeactivateCalls, calls);
}

TEST_F(FontActivationTrackerTest, WithoutDeactivationCountsDropAndRecordsStay)
{
    Open("A", "a.psd");
    Open("B", "b.psd");
    EXPECT_EQ(mTracker.CloseAllFontsForIdentifier("A", false, nullptr), 0);
    EXPECT_EQ(mTracker.GetReferenceCount(1001), 1u);
    EXPECT_EQ(mTracker.GetReferenceCount(1002), 0u);
    EXPECT_TRUE(mFontManager.mDeactivated.empty());
    EXPECT_TRUE(mTracker.GetDocumentFontIDs("A").empty());

    // At quit every font still registered and not active before goes, the closed document's too.
    EXPECT_EQ(mTracker.CloseAllFonts(true), 0);
    EXPECT_EQ(mFontManager.mDeactivated, (std::vector<TSInt32>{1001, 1002}));
}

TEST_F(FontActivationTrackerTest, AFontTheUserDeactivatedMeanwhileIsNotDeactivatedAgain)
{
    Open("A", "a.psd");
    mFontManager.mUserDeactivated[1002] = true;
    EXPECT_EQ(mTracker.CloseAllFontsForIdentifier("A", true, nullptr), 0);
    EXPECT_EQ(mFontManager.mDeactivated, (std::vector<TSInt32>{1001}));
}

TEST_F(FontActivationTrackerTest, WithoutAFontManagerNothingIsTracked)
{
    FontManagerInterface::SetFontManagerForTesting(nullptr);
    CFMutableArrayRef matched = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    EXPECT_EQ(mTracker.ActivateDocumentFonts("A", "a.psd", matched, matched, matched),
              FontActivationTracker::kErrorPortolanNotRunning);
    EXPECT_EQ(mTracker.CloseAllFontsForIdentifier("A", true, nullptr),
              FontActivationTracker::kErrorPortolanNotRunning);
    CFRelease(matched);
}

TEST(GenerateUniqueIdentifierTest, IdentifiersAreDistinctUUIDs)
{
    const TUTF8String first = FontActivationTracker::GenerateUniqueIdentifier();
    const TUTF8String second = FontActivationTracker::GenerateUniqueIdentifier();
    EXPECT_EQ(first.size(), 36u);
    EXPECT_NE(first, second);
}
} // namespace
