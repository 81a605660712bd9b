#pragma once
// Which fonts the plug-in has had the font manager activate, and for which documents, so that a
// font is deactivated again when the last document that needed it closes (or the host quits) and
// never when it was active before the plug-in asked for it. Documents are known by the unique
// identifier of their tracked record, fonts by the font manager's database ID. One instance
// (PortolanGlobals::GetFontActivationTracker); every operation holds its mutex for its whole run.

#include "GMutex.h"
#include "GTypes.h"

#include <CoreFoundation/CoreFoundation.h>

#include <map>
#include <vector>

class LPFInterface;

class FontActivationTracker
{
public:
    // The code when there is no font manager to ask.
    static constexpr TSInt32 kErrorPortolanNotRunning = 1000;

    struct FontRecord
    {
        CFDictionaryRef font = nullptr; // retained
        TUInt32 databaseID = 0;
        bool wasAlreadyActive = false;
        CFStringRef postScriptName = nullptr; // retained
        TUTF8String firstIdentifier;
        bool registered = false;
        TUInt32 referenceCount = 0;
    };

    explicit FontActivationTracker(LPFInterface* lpf);
    ~FontActivationTracker();
    FontActivationTracker(const FontActivationTracker&) = delete;
    FontActivationTracker& operator=(const FontActivationTracker&) = delete;

    // A new UUID string.
    static TUTF8String GenerateUniqueIdentifier();

    // Activates a document's fonts by path and registers the matched ones under the identifier.
    TSInt32 ActivateDocumentFonts(const TUTF8String& identifier, const TUTF8String& documentPath,
                                  CFMutableArrayRef matched, CFMutableArrayRef problems,
                                  CFMutableArrayRef extra);
    // Activates fonts by ID and registers the activated ones under the identifier.
    TSInt32 ActivateFontsByID(const TUTF8String& identifier, CFArrayRef fonts, CFIndex& activatedCount);
    void RegisterFontWithDocument(CFDictionaryRef font, CFStringRef postScriptName, TUInt32 databaseID,
                                  bool wasAlreadyActive, const TUTF8String& identifier);
    // Lowers the counts of the identifier's fonts and, when deactivate is set, deactivates those
    // no other document needs and that were not active before.
    TSInt32 CloseAllFontsForIdentifier(const TUTF8String& identifier, bool deactivate,
                                       CFMutableArrayRef deactivatedOut);
    TSInt32 CloseAllFonts(bool deactivate);

    // For tests: the reference count of a font (0 when it has no record) and the IDs registered
    // for a document.
    TUInt32 GetReferenceCount(TUInt32 databaseID);
    std::vector<TUInt32> GetDocumentFontIDs(const TUTF8String& identifier);

private:
    void RegisterMatchedFonts(CFArrayRef fonts, const TUTF8String& identifier,
                              const TUTF8String& documentPath);
    void ReleaseRecord(FontRecord& record);

    GMutex mMutex;
    std::map<TUInt32, FontRecord> m_mFonts;
    std::map<TUTF8String, std::vector<TUInt32>> m_mDocuments;
    LPFInterface* mpLPF;
};
