#include "CommonFunctionality.h"

#include "FaceTraceSupport.h"
#include "FontActivationTracker.h"
#include "FontManagerInterface.h"
#include "GBinaryDocumentFontExtractor.h"
#include "GBlockingLockStrategy.h"
#include "GCFRef.h"
#include "GLogger.h"
#include "GMutex.h"
#include "GScopedLock.h"
#include "HostAppInterface.h"
#include "LPFInterface.h"
#include "LPILoader.h"
#include "PluginLogFile.h"
#include "PortolanGlobals.h"
#include "XCFUtils.h"

namespace
{
constexpr const char* kStartupName = "CommonFunctionality::Startup";

GMutex& StartupMutex()
{
    static GMutex sMutex;
    return sMutex;
}

TSInt32 sStartupCallCount = 0;

enum class PendingMessage
{
    kNone,
    kIncompatibleHost,
    kIncompatibleFontManager,
};

CFMutableArrayRef CreateMutableArray()
{
    return CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
}

bool PostScriptNameIs(CFDictionaryRef font, CFStringRef name)
{
    CFStringRef postScriptName = XCFDictionaryGetString(font, CFSTR("PostScriptName"));
    return postScriptName != nullptr && CFStringCompare(postScriptName, name, 0) == kCFCompareEqualTo;
}

bool HasPossibleReplacements(CFDictionaryRef font)
{
    const auto replacements =
        static_cast<CFArrayRef>(CFDictionaryGetValue(font, CFSTR("PossibleReplacements")));
    return replacements != nullptr && CFGetTypeID(replacements) == CFArrayGetTypeID() &&
           CFArrayGetCount(replacements) > 0;
}
} // namespace

namespace CommonFunctionality
{
TSInt32 Startup(bool allowDialogs)
{
    TraceLog(1, "Entering %s(allowDialogs=%d)", kStartupName, allowDialogs ? 1 : 0);
    GScopedLock lock(StartupMutex(), true, new GBlockingLockStrategy());

    ++sStartupCallCount;
    if (sStartupCallCount > 1)
    {
        TraceLog(-1, "Early return from %s() because it has been called %d times", kStartupName,
                 static_cast<int>(sStartupCallCount));
        return -1;
    }

    PortolanGlobals::SetLoggedIn(true);
    PortolanGlobals::SetPluginServicesEnabled(true);
    PortolanGlobals::SetConnectedToCore(true);
    PortolanGlobals::SetWorkgroupAccess(true);

    TSInt32 result = 0;
    PendingMessage pendingMessage = PendingMessage::kNone;
    const bool hostOK = PortolanGlobals::RunningInCompatibleHostApp();
    const bool fontManagerOK = FontManagerInterface::CompatibleFontManagerIsRunning(nullptr);
    if (!hostOK || !fontManagerOK)
    {
        PortolanGlobals::SetPluginServicesEnabled(false);
        PortolanGlobals::SetConnectedToCore(false);
        result = -1;
        if (allowDialogs)
        {
            pendingMessage =
                !hostOK ? PendingMessage::kIncompatibleHost : PendingMessage::kIncompatibleFontManager;
        }
    }

    LPFInterface* lpf = PortolanGlobals::GetSharedLPFInterface();
    if (lpf == nullptr || !lpf->IsUsable())
    {
        // Without the framework there are no preferences to honour and no way to tell the user.
        result = 2;
        PortolanGlobals::SetPluginServicesEnabled(false);
        PortolanGlobals::SetConnectedToCore(false);
        lpf = nullptr;
    }
    else
    {
        lpf->SetParentWindowForUi(PortolanGlobals::FindHostMainWindow());
        const TUTF8String logFileName = PortolanGlobals::GetPluginHostApp() + ".log";
        BeginPluginLog(logFileName.c_str());
        if (lpf->GetEnableLogging())
        {
            StartPluginFileLog(logFileName);
        }
        if (pendingMessage == PendingMessage::kIncompatibleHost)
        {
            lpf->ShowIncompatibleHostMessage();
        }
        else if (pendingMessage == PendingMessage::kIncompatibleFontManager)
        {
            lpf->ShowIncompatibleFontManagerMessage();
        }
    }

    FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
    if (PortolanGlobals::IsPluginEnabled() && fontManager != nullptr && lpf != nullptr)
    {
        if (fontManager->IsLoggedIn())
        {
            TraceLog(0, "login check at startup:  Logged in");
        }
        else
        {
            TraceLog(0, "login check at startup:  NOT logged in...");
            TraceLog(0, "Disabling plugin functionality");
            PortolanGlobals::SetLoggedIn(false);
            if (!PortolanGlobals::HostAppIsAfterEffects())
            {
                lpf->ShowLoggedOutMessage();
            }
        }
    }

    if (PortolanGlobals::IsPluginEnabled() && lpf != nullptr && lpf->GetEnablePlugin() &&
        fontManager != nullptr && fontManager->IsLoggedIn() && !fontManager->GetRunningStandalone())
    {
        TraceLog(0, "checking for workgroups at startup");
        if (!fontManager->UserHasWorkgroups())
        {
            TraceLog(0, "Disabling plugin functionality");
            PortolanGlobals::SetWorkgroupAccess(false);
            if (allowDialogs)
            {
                lpf->ShowNoWorkgroupsMessage(false);
            }
        }
        else
        {
            PortolanGlobals::SetWorkgroupAccess(true);
        }
    }

    FontManagerInterface::EnsureWorkgroupSelected();
    TraceLog(-1, "Exiting %s()", kStartupName);
    return result;
}

TSInt32 ActivateFontsForDocument(bool openingNewDocument, TSInt32& numFontsActivated, const TUTF8String& path,
                                 const TrackedDocumentPtr& record)
{
    TraceLog(1, "ActivateFontsForDocument(openingNewDocument=%d, numFontsActivated=%d, filePath='%s')",
             openingNewDocument ? 1 : 0, static_cast<int>(numFontsActivated), path.c_str());
    numFontsActivated = 0;

    LPFInterface* lpf = PortolanGlobals::GetSharedLPFInterface();
    FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
    if (lpf != nullptr && fontManager != nullptr && PortolanGlobals::IsPluginOperational() &&
        record != nullptr)
    {
        if (openingNewDocument && record->GetIdentifier().empty())
        {
            record->SetIdentifier(FontActivationTracker::GenerateUniqueIdentifier());
        }
        const GCFRef<CFMutableArrayRef> matchedFonts(CreateMutableArray());
        const GCFRef<CFMutableArrayRef> problemFonts(CreateMutableArray());
        const GCFRef<CFMutableArrayRef> extraFonts(CreateMutableArray());
        const GCFRef<CFMutableArrayRef> resolvedFonts(CreateMutableArray());
        if (!matchedFonts || !problemFonts || !extraFonts || !resolvedFonts)
        {
            return -148;
        }
        const CFMutableArrayRef matched = matchedFonts.Get();
        const CFMutableArrayRef problems = problemFonts.Get();
        const CFMutableArrayRef extra = extraFonts.Get();
        const CFMutableArrayRef resolved = resolvedFonts.Get();
        record->SetProblemFonts(nullptr);

        CFIndex remaining = 0;
        if (FontActivationTracker* tracker = PortolanGlobals::GetFontActivationTracker(); tracker != nullptr)
        {
            tracker->ActivateDocumentFonts(record->GetIdentifier(), path, matched, problems, extra);
            if (CFArrayGetCount(matched) > 0)
            {
                record->SetCanExport(fontManager->CanExportFromWorkgroup(matched));
                numFontsActivated = static_cast<TSInt32>(CFArrayGetCount(matched));
            }
            else
            {
                record->SetCanExport(false);
            }
            if (CFArrayGetCount(problems) > 0)
            {
                remaining = CFArrayGetCount(problems);
                if (!lpf->GetPickBestMatch())
                {
                    lpf->ShowResolveFonts(problems);
                    FaceTraceSupport::CollectMatchedFonts(problems, resolved);
                    CFIndex activatedByID = 0;
                    tracker->ActivateFontsByID(record->GetIdentifier(), resolved, activatedByID);
                    numFontsActivated += static_cast<TSInt32>(activatedByID);
                    remaining -= activatedByID;
                }
            }
        }
        if (!openingNewDocument)
        {
            GetHostAppInterface()->SetActiveDocumentCanExport(record->GetCanExport());
        }
        if (remaining > 0)
        {
            record->SetProblemFonts(problems);
        }
    }
    TraceLog(
        -1,
        "ActivateFontsForDocument(bOpeningNewDocument=%d, numFontsActivated=%d, filePath='%s') returning -1",
        openingNewDocument ? 1 : 0, static_cast<int>(numFontsActivated), path.c_str());
    return -1;
}

TErrorCode ActivateDocumentFontsSilently(TSInt32& numFontsActivated, const TUTF8String& path,
                                         const TrackedDocumentPtr& record, CFMutableArrayRef extra)
{
    const char* const name = "CommonFunctionality::ActivateDocumentFontsSilently";
    TraceLog(1, "%s(numFontsActivated=%d, filePath='%s', ...)", name, static_cast<int>(numFontsActivated),
             path.c_str());
    TErrorCode result = 0;
    FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
    if (fontManager != nullptr && PortolanGlobals::IsPluginOperational() && record != nullptr)
    {
        const GCFRef<CFMutableArrayRef> matchedFonts(CreateMutableArray());
        const GCFRef<CFMutableArrayRef> problemFonts(CreateMutableArray());
        if (!matchedFonts || !problemFonts)
        {
            return CoreErrorCodes::kOutOfMemory;
        }
        const CFMutableArrayRef matched = matchedFonts.Get();
        const CFMutableArrayRef problems = problemFonts.Get();
        if (FontActivationTracker* tracker = PortolanGlobals::GetFontActivationTracker(); tracker != nullptr)
        {
            result = static_cast<TErrorCode>(
                tracker->ActivateDocumentFonts(record->GetIdentifier(), path, matched, problems, extra));
        }
        numFontsActivated = static_cast<TSInt32>(CFArrayGetCount(matched)) -
                            static_cast<TSInt32>(FaceTraceSupport::CountActiveFonts(matched));
        record->SetCanExport(fontManager->CanExportFromWorkgroup(matched));
        record->SetProblemFonts(problems);
    }
    TraceLog(-1, "%s(numFontsActivated=%d, filePath='%s', ...)", name, static_cast<int>(numFontsActivated),
             path.c_str());
    return result;
}

void RemoveFontsThatHaveNoPossibleReplacement(CFMutableArrayRef problemFonts)
{
    if (problemFonts == nullptr)
    {
        return;
    }
    for (CFIndex i = CFArrayGetCount(problemFonts) - 1; i >= 0; --i)
    {
        const auto font = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(problemFonts, i));
        if (font == nullptr || CFGetTypeID(font) != CFDictionaryGetTypeID())
        {
            continue;
        }
        const bool pseudoFont = PostScriptNameIs(font, CFSTR("PhotoshopKinsokuHard")) ||
                                PostScriptNameIs(font, CFSTR("AdobeInvisFont"));
        if (pseudoFont && !HasPossibleReplacements(font))
        {
            const TUTF8String name = XCFStringCopyUTF8(XCFDictionaryGetString(font, CFSTR("PostScriptName")));
            TraceLog(0, "%s() removing '%s' from problemFonts",
                     "CommonFunctionality::RemoveFontsThatHaveNoPossibleReplacement", name.c_str());
            CFArrayRemoveValueAtIndex(problemFonts, i);
        }
    }
}

void GetFontNamesFromNonXMPSectionOfAdobeDocument(const TUTF8String& path,
                                                  std::vector<TUTF8String>& fontNames)
{
    const char* const name = "CommonFunctionality::GetFontNamesFromNonXMPSectionOfAdobeDocument";
    TraceLog(1, "Entering %s('%s', ...)", name, path.c_str());
    GBinaryDocumentFontExtractor extractor(path);
    GBinaryDocumentFontExtractor::TFontNameSet names;
    const TErrorCode error = extractor.ExtractFontNames(names);
    if (error != CoreErrorCodes::kSuccess)
    {
        TraceLog(0, "In %s(), error '%i'", name, static_cast<int>(error));
    }
    else
    {
        fontNames.insert(fontNames.end(), names.begin(), names.end());
    }
    TraceLog(-1, "Exiting %s('%s', fontNames.size()==%d)", name, path.c_str(),
             static_cast<int>(fontNames.size()));
}

void ResetStartupForTesting()
{
    sStartupCallCount = 0;
}
} // namespace CommonFunctionality
