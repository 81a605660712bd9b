#include "FontActivationTracker.h"

#include "FontManagerInterface.h"
#include "GBlockingLockStrategy.h"
#include "GCFRef.h"
#include "GLogger.h"
#include "GScopedLock.h"
#include "GStringEncodings.h"
#include "XCFUtils.h"

#include <cstdlib>
#include <string>

namespace
{
FontManagerInterface* GetCoreAgent()
{
    return FontManagerInterface::GetFontManager();
}

TUTF8String StringOf(CFStringRef string)
{
    return UTF8StringFromCFString(string);
}

// A record's value as text for a log line: strings as they are, numbers in decimal.
TUTF8String ValueText(CFDictionaryRef font, CFStringRef key)
{
    const CFTypeRef value = CFDictionaryGetValue(font, key);
    if (value != nullptr && CFGetTypeID(value) == CFNumberGetTypeID())
    {
        long long number = 0;
        CFNumberGetValue(static_cast<CFNumberRef>(value), kCFNumberLongLongType, &number);
        return std::to_string(number);
    }
    return value != nullptr && CFGetTypeID(value) == CFStringGetTypeID()
               ? StringOf(static_cast<CFStringRef>(value))
               : TUTF8String();
}

// "1" when the font was active before the plug-in asked for it.
bool IsActiveText(CFDictionaryRef font)
{
    CFStringRef isActive = XCFDictionaryGetString(font, CFSTR("IsActive"));
    return isActive != nullptr && CFStringCompare(isActive, CFSTR("1"), 0) == kCFCompareEqualTo;
}
} // namespace

FontActivationTracker::FontActivationTracker(LPFInterface* lpf) : mpLPF(lpf)
{
}

FontActivationTracker::~FontActivationTracker()
{
    GScopedLock lock(mMutex, true, new GBlockingLockStrategy());
    for (auto& [id, record] : m_mFonts)
    {
        ReleaseRecord(record);
    }
    m_mFonts.clear();
    m_mDocuments.clear();
}

void FontActivationTracker::ReleaseRecord(FontRecord& record)
{
    record.registered = false;
    if (record.font != nullptr)
    {
        CFRelease(record.font);
        record.font = nullptr;
    }
    if (record.postScriptName != nullptr)
    {
        CFRelease(record.postScriptName);
        record.postScriptName = nullptr;
    }
}

TUTF8String FontActivationTracker::GenerateUniqueIdentifier()
{
    TUTF8String result;
    const GCFRef<CFUUIDRef> uuid(CFUUIDCreate(kCFAllocatorDefault));
    if (uuid)
    {
        const GCFRef<CFStringRef> text(CFUUIDCreateString(kCFAllocatorDefault, uuid.Get()));
        if (text)
        {
            char buffer[100] = {};
            if (CFStringGetCString(text.Get(), buffer, sizeof(buffer), kCFStringEncodingUTF8))
            {
                result = buffer;
            }
        }
    }
    if (result.empty())
    {
        result = std::string(1, static_cast<char>('A' + std::rand() % 26));
    }
    TraceLog(0, "FontActivationTracker::GenerateUniqueIdentifier() returning '%s'", result.c_str());
    return result;
}

void FontActivationTracker::RegisterMatchedFonts(CFArrayRef fonts, const TUTF8String& identifier,
                                                 const TUTF8String& documentPath)
{
    const CFIndex count = fonts != nullptr ? CFArrayGetCount(fonts) : 0;
    for (CFIndex i = 0; i < count; ++i)
    {
        const auto font = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(fonts, i));
        if (font == nullptr || CFGetTypeID(font) != CFDictionaryGetTypeID())
        {
            continue;
        }
        CFStringRef postScriptName = XCFDictionaryGetString(font, CFSTR("PostScriptName"));
        TSInt32 databaseID = 0;
        if (postScriptName == nullptr || !XCFDictionaryGetNumber(font, CFSTR("DatabaseID"), &databaseID))
        {
            TraceLog(
                0, "   ...Error:  PostscriptName and/or DatabaseID not found in matched font dict for i = %d",
                static_cast<int>(i));
            continue;
        }
        const TUTF8String name = StringOf(postScriptName);
        TraceLog(0, "kFT_ActivationStateKey '%s', kFT_IsActiveKey '%s', kFT_DatabaseIDKey %d for '%s')",
                 ValueText(font, CFSTR("ActivationStatus")).c_str(),
                 ValueText(font, CFSTR("IsActive")).c_str(), static_cast<int>(databaseID), name.c_str());
        const bool wasAlreadyActive = IsActiveText(font);
        if (!identifier.empty())
        {
            RegisterFontWithDocument(font, postScriptName, static_cast<TUInt32>(databaseID), wasAlreadyActive,
                                     identifier);
            continue;
        }
        const auto subDocuments =
            static_cast<CFArrayRef>(CFDictionaryGetValue(font, CFSTR("SubDocumentsWithFont")));
        if (subDocuments == nullptr || CFGetTypeID(subDocuments) != CFArrayGetTypeID())
        {
            TraceLog(0, "WARNING:  font %d for document '%s' has no kFT_SubDocumentsWithFontKey",
                     static_cast<int>(i), documentPath.c_str());
            continue;
        }
        const CFIndex subCount = CFArrayGetCount(subDocuments);
        for (CFIndex j = 0; j < subCount; ++j)
        {
            const auto subIdentifier = static_cast<CFStringRef>(CFArrayGetValueAtIndex(subDocuments, j));
            if (subIdentifier != nullptr && CFGetTypeID(subIdentifier) == CFStringGetTypeID())
            {
                RegisterFontWithDocument(font, postScriptName, static_cast<TUInt32>(databaseID),
                                         wasAlreadyActive, StringOf(subIdentifier));
            }
        }
    }
}

TSInt32 FontActivationTracker::ActivateDocumentFonts(const TUTF8String& identifier,
                                                     const TUTF8String& documentPath,
                                                     CFMutableArrayRef matched, CFMutableArrayRef problems,
                                                     CFMutableArrayRef extra)
{
    TraceLog(1, "Entering %s(documentPath = \"%s\")", "FontActivationTracker::ActivateDocumentFonts",
             documentPath.c_str());
    try
    {
        FontManagerInterface* coreAgent = GetCoreAgent();
        if (coreAgent == nullptr)
        {
            TraceLog(-1, "ActivateDocumentFonts returning kErrorPortolanNotRunning (EARLY RETURN)");
            return kErrorPortolanNotRunning;
        }
        const TSInt32 result =
            coreAgent->ActivateDocumentFontsByPath(documentPath.c_str(), extra, matched, problems);
        RegisterMatchedFonts(matched, identifier, documentPath);
        TraceLog(-1, "ActivateDocumentFonts returning %d", static_cast<int>(result));
        return result;
    }
    catch (...)
    {
        TraceLog(0, "   *** Exception caught in FontActivationTracker::ActivateDocumentFonts.  Rethrowing.");
        throw;
    }
}

TSInt32 FontActivationTracker::ActivateFontsByID(const TUTF8String& identifier, CFArrayRef fonts,
                                                 CFIndex& activatedCount)
{
    activatedCount = 0;
    FontManagerInterface* coreAgent = GetCoreAgent();
    if (coreAgent == nullptr)
    {
        TraceLog(0, "ActivateFontsByID returning kErrorPortolanNotRunning (EARLY RETURN)");
        return kErrorPortolanNotRunning;
    }
    const GCFRef<CFMutableArrayRef> activated(
        CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    const TSInt32 result = coreAgent->ActivateFontsByID(fonts, identifier.c_str(), activated.Get());
    if (activated)
    {
        activatedCount = CFArrayGetCount(activated.Get());
        RegisterMatchedFonts(activated.Get(), identifier, TUTF8String());
    }
    return result;
}

void FontActivationTracker::RegisterFontWithDocument(CFDictionaryRef font, CFStringRef postScriptName,
                                                     TUInt32 databaseID, bool wasAlreadyActive,
                                                     const TUTF8String& identifier)
{
    TraceLog(1, "Entering RegisterFontWithDocument(postscriptName='%s', sDocumentIdentifier='%s')",
             StringOf(postScriptName).c_str(), identifier.c_str());
    GScopedLock lock(mMutex, true, new GBlockingLockStrategy());
    auto found = m_mFonts.find(databaseID);
    if (found == m_mFonts.end())
    {
        FontRecord record;
        record.font = static_cast<CFDictionaryRef>(CFRetain(font));
        record.postScriptName = static_cast<CFStringRef>(CFRetain(postScriptName));
        record.databaseID = databaseID;
        record.wasAlreadyActive = wasAlreadyActive;
        record.firstIdentifier = identifier;
        found = m_mFonts.emplace(databaseID, record).first;
    }
    FontRecord& record = found->second;
    record.registered = true;
    if (record.referenceCount == 0)
    {
        record.firstIdentifier = identifier;
    }
    ++record.referenceCount;
    m_mDocuments[identifier].push_back(databaseID);
    TraceLog(-1, "Exiting RegisterFontWithDocument");
}

TSInt32 FontActivationTracker::CloseAllFontsForIdentifier(const TUTF8String& identifier, bool deactivate,
                                                          CFMutableArrayRef deactivatedOut)
{
    FontManagerInterface* coreAgent = GetCoreAgent();
    if (coreAgent == nullptr)
    {
        return kErrorPortolanNotRunning;
    }
    TraceLog(1,
             "Entering FontActivationTracker::CloseAllFontsForIdentifier('%s', bDeactivateClosedFonts=%d, "
             "fontsDeactivated=0x%08x)",
             identifier.c_str(), deactivate ? 1 : 0,
             static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(deactivatedOut)));
    GScopedLock lock(mMutex, true, new GBlockingLockStrategy());
    TSInt32 result = 0;
    try
    {
        const auto document = m_mDocuments.find(identifier);
        if (document == m_mDocuments.end())
        {
            TraceLog(0, "No entry in FontActivationTracker::m_mDocuments for '%s'", identifier.c_str());
        }
        else
        {
            const std::vector<TUInt32> ids = document->second;
            if (ids.empty())
            {
                TraceLog(0, "No fonts registered for '%s'", identifier.c_str());
            }
            else
            {
                const std::map<TUInt32, bool> states = coreAgent->GetClientFontActivationStates(ids);
                const GCFRef<CFMutableArrayRef> toDeactivate(
                    CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
                const CFMutableArrayRef fontsToDeactivate = toDeactivate.Get();
                for (const TUInt32 id : ids)
                {
                    auto found = m_mFonts.find(id);
                    if (found == m_mFonts.end())
                    {
                        TraceLog(0, "No entry found for nDatabaseID(%d) in FontManagerInterface::m_mFonts",
                                 static_cast<int>(id));
                        continue;
                    }
                    TraceLog(0, "Considering whether to deactivate databaseID %d", static_cast<int>(id));
                    FontRecord& record = found->second;
                    if (record.referenceCount > 0)
                    {
                        --record.referenceCount;
                    }
                    if (!deactivate)
                    {
                        continue;
                    }
                    const TUTF8String name = StringOf(record.postScriptName);
                    if (record.referenceCount > 0)
                    {
                        TraceLog(0, "Not deactivating '%s' because its ref count is %d", name.c_str(),
                                 static_cast<int>(record.referenceCount));
                        continue;
                    }
                    const auto state = states.find(id);
                    if (state != states.end() && !state->second)
                    {
                        TraceLog(0, "Not deactivating '%s' because it is no longer plugin activated",
                                 name.c_str());
                    }
                    else if (record.wasAlreadyActive)
                    {
                        TraceLog(0, "Not deactivating '%s' because it was already active", name.c_str());
                    }
                    else
                    {
                        TraceLog(0, "Adding '%s' to fontsToDeactivate.", name.c_str());
                        if (fontsToDeactivate != nullptr)
                        {
                            CFArrayAppendValue(fontsToDeactivate, record.font);
                        }
                    }
                    ReleaseRecord(record);
                    m_mFonts.erase(found);
                }
                result = coreAgent->DeactivateFonts(fontsToDeactivate, deactivatedOut);
            }
            m_mDocuments.erase(identifier);
        }
    }
    catch (...)
    {
        m_mDocuments.erase(identifier);
        TraceLog(-1, "FontActivationTracker::CloseAllFontsForIdentifier() exiting abnormally");
        throw;
    }
    TraceLog(-1, "FontActivationTracker::CloseAllFontsForIdentifier() returning %d",
             static_cast<int>(result));
    return result;
}

TSInt32 FontActivationTracker::CloseAllFonts(bool deactivate)
{
    FontManagerInterface* coreAgent = GetCoreAgent();
    if (coreAgent == nullptr)
    {
        return kErrorPortolanNotRunning;
    }
    TraceLog(1, "Entering  FontActivationTracker::CloseAllFonts(bDeactivateClosedFonts=%d)",
             deactivate ? 1 : 0);
    if (m_mFonts.empty())
    {
        TraceLog(-1, "FontActivationTracker::CloseAllFonts() returning %d", 0);
        return 0;
    }
    GScopedLock lock(mMutex, true, new GBlockingLockStrategy());
    std::vector<TUInt32> ids;
    for (const auto& [id, record] : m_mFonts)
    {
        ids.push_back(id);
    }
    const std::map<TUInt32, bool> states = coreAgent->GetClientFontActivationStates(ids);
    const GCFRef<CFMutableArrayRef> toDeactivate(
        CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    const CFMutableArrayRef fontsToDeactivate = toDeactivate.Get();
    for (auto& [id, record] : m_mFonts)
    {
        const auto state = states.find(id);
        const bool stillActivatedByPlugin = state == states.end() || state->second;
        if (record.registered && !record.wasAlreadyActive && deactivate && stillActivatedByPlugin &&
            fontsToDeactivate != nullptr)
        {
            CFArrayAppendValue(fontsToDeactivate, record.font);
        }
        ReleaseRecord(record);
    }
    const TSInt32 result = coreAgent->DeactivateFonts(fontsToDeactivate, nullptr);
    m_mFonts.clear();
    TraceLog(-1, "FontActivationTracker::CloseAllFonts() returning %d", static_cast<int>(result));
    return result;
}

TUInt32 FontActivationTracker::GetReferenceCount(TUInt32 databaseID)
{
    GScopedLock lock(mMutex, true, new GBlockingLockStrategy());
    const auto found = m_mFonts.find(databaseID);
    return found != m_mFonts.end() ? found->second.referenceCount : 0;
}

std::vector<TUInt32> FontActivationTracker::GetDocumentFontIDs(const TUTF8String& identifier)
{
    GScopedLock lock(mMutex, true, new GBlockingLockStrategy());
    const auto found = m_mDocuments.find(identifier);
    return found != m_mDocuments.end() ? found->second : std::vector<TUInt32>();
}
