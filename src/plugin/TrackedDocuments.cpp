#include "TrackedDocuments.h"

#include "FontActivationTracker.h"
#include "GLogger.h"
#include "LPFInterface.h"
#include "PortolanGlobals.h"

#include <ctime>

namespace
{
std::vector<TrackedDocumentPtr> sDocuments;

TSInt64 Now()
{
    return static_cast<TSInt64>(std::time(nullptr));
}
} // namespace

OneTrackedDocument::~OneTrackedDocument()
{
    if (mProblemFonts != nullptr)
    {
        CFRelease(mProblemFonts);
    }
}

void OneTrackedDocument::SetOpenEventTimeToNow()
{
    mOpenEventTime = Now();
}

void OneTrackedDocument::SetSaveTimeToNow()
{
    mSaveTime = Now();
}

void OneTrackedDocument::SetDocumentFilePath(const TUTF8String& path)
{
    TraceLog(0, "OneTrackedDocument::SetDocumentFilePath('%s')", path.c_str());
    mFilePath = path;
}

void OneTrackedDocument::SetProblemFonts(CFArrayRef problemFonts)
{
    if (problemFonts != nullptr)
    {
        CFRetain(problemFonts);
    }
    if (mProblemFonts != nullptr)
    {
        CFRelease(mProblemFonts);
    }
    mProblemFonts = problemFonts;
}

bool OneTrackedDocument::HasMissingFonts() const
{
    if (mProblemFonts == nullptr)
    {
        return false;
    }
    const CFIndex count = CFArrayGetCount(mProblemFonts);
    for (CFIndex i = 0; i < count; ++i)
    {
        const auto font = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(mProblemFonts, i));
        if (font == nullptr || CFGetTypeID(font) != CFDictionaryGetTypeID())
        {
            continue;
        }
        const auto replacements =
            static_cast<CFArrayRef>(CFDictionaryGetValue(font, CFSTR("PossibleReplacements")));
        if (replacements == nullptr || CFGetTypeID(replacements) != CFArrayGetTypeID() ||
            CFArrayGetCount(replacements) == 0)
        {
            return true;
        }
    }
    return false;
}

void AllTrackedDocuments::AddDocument(TrackedDocumentPtr& record, const TUTF8String& path)
{
    TraceLog(0, "AllTrackedDocuments::AddDocument(pInfo=0x%08x, path='%s')",
             static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(record.get())), path.c_str());
    if (FindTrackedDocumentByPath(path) != nullptr)
    {
        return;
    }
    if (record == nullptr)
    {
        record = std::make_shared<OneTrackedDocument>();
    }
    record->SetDocumentFilePath(path);
    sDocuments.push_back(record);
}

TrackedDocumentPtr AllTrackedDocuments::FindTrackedDocumentByHandle(TUInt32 handle)
{
    for (const TrackedDocumentPtr& record : sDocuments)
    {
        if (record->GetDocumentHandle() == handle)
        {
            return record;
        }
    }
    if (handle != 0)
    {
        TraceLog(0, "WARNING: %s() could not find document 0x%08x",
                 "AllTrackedDocuments::FindTrackedDocumentByHandle", static_cast<unsigned>(handle));
    }
    return nullptr;
}

TrackedDocumentPtr AllTrackedDocuments::FindTrackedDocumentByPath(const TUTF8String& path)
{
    for (const TrackedDocumentPtr& record : sDocuments)
    {
        if (record->GetDocumentFilePath() == path)
        {
            return record;
        }
    }
    return nullptr;
}

void AllTrackedDocuments::RemoveClosedDocument(const TrackedDocumentPtr& record)
{
    const char* const name = "AllTrackedDocuments::RemoveClosedDocument";
    const TUTF8String identifier = record != nullptr ? record->GetIdentifier() : TUTF8String();
    TraceLog(1, "Entering %s(%s)", name, identifier.c_str());
    try
    {
        for (auto it = sDocuments.begin(); it != sDocuments.end(); ++it)
        {
            if ((*it)->GetIdentifier() != identifier)
            {
                continue;
            }
            const TrackedDocumentPtr held = *it;
            LPFInterface* lpf = PortolanGlobals::GetSharedLPFInterface();
            FontActivationTracker* tracker = PortolanGlobals::GetFontActivationTracker();
            if (lpf != nullptr && tracker != nullptr)
            {
                tracker->CloseAllFontsForIdentifier(held->GetIdentifier(), lpf->GetCloseFontsOnDocClose(),
                                                    nullptr);
            }
            sDocuments.erase(it);
            break;
        }
    }
    catch (...)
    {
        TraceLog(0, "Exception thrown in %s()", name);
    }
    TraceLog(-1, "Exiting %s()", name);
}

const std::vector<TrackedDocumentPtr>& AllTrackedDocuments::GetAllTrackedDocuments()
{
    return sDocuments;
}

void AllTrackedDocuments::RemoveAllForTesting()
{
    sDocuments.clear();
}
