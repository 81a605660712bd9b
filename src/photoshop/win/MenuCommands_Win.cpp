#include "MenuCommands.h"

#include "CommonFunctionality.h"
#include "DocumentEventHooks.h"
#include "FaceTraceSlugs.h"
#include "FontManagerInterface.h"
#include "GCFRef.h"
#include "GLogger.h"
#include "GStringEncodings.h"
#include "LPFInterface.h"
#include "PhotoshopFontUtils.h"
#include "PhotoshopInterface.h"
#include "PortolanGlobals.h"
#include "TrackedDocuments.h"
#include "XCFUtils.h"

namespace
{
enum Command : TSInt32
{
    kCancelled = -1,
    kAbout = 2,
    kPreferences = 3,
    kCollectForOutput = 4,
    kMakeDocumentSet = 5,
    kCheckDocumentFonts = 6,
};

constexpr TSInt32 kLocalPersonalWorkgroupType = 3;

// The command box's input: the user's workgroups, the current one, whether document commands
// may run, and whether the font manager is online.
CFMutableDictionaryRef CreateCommandBoxInput(FontManagerInterface& fontManager, LPFInterface& lpf)
{
    GCFRef<CFMutableDictionaryRef> input(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    if (!input)
    {
        return nullptr;
    }
    GCFRef<CFMutableArrayRef> workgroups(
        CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    GCFRef<CFMutableArrayRef> marked(CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    if (workgroups && marked &&
        fontManager.GetAllWorkgroupsForUser(workgroups.Get(), true, false, false) == 0)
    {
        for (CFIndex i = 0; i < CFArrayGetCount(workgroups.Get()); ++i)
        {
            const auto workgroup = static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(workgroups.Get(), i));
            if (workgroup == nullptr || CFGetTypeID(workgroup) != CFDictionaryGetTypeID())
            {
                continue;
            }
            GCFRef<CFMutableDictionaryRef> copy(
                CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, workgroup));
            if (!copy)
            {
                continue;
            }
            TSInt32 type = 0;
            XCFDictionaryGetNumber(workgroup, CFSTR("WorkgroupType"), &type);
            XCFDictionarySetBoolean(copy.Get(), CFSTR("IsLocalPersonal"),
                                    type == kLocalPersonalWorkgroupType);
            CFArrayAppendValue(marked.Get(), copy.Get());
        }
        CFDictionarySetValue(input.Get(), CFSTR("Workgroups"), marked.Get());
    }
    XCFDictionarySetNumber(input.Get(), CFSTR("CurrentWorkgroupID"), lpf.GetCurrentWorkgroupID());
    XCFDictionarySetBoolean(input.Get(), CFSTR("ButtonsEnabled"),
                            lpf.GetEnablePlugin() && !AllTrackedDocuments::GetAllTrackedDocuments().empty());
    XCFDictionarySetBoolean(input.Get(), CFSTR("IsOnline"), PhotoshopInterface::IsOnline());
    return input.Release();
}

TrackedDocumentPtr FindActiveRecord(TUTF8String& path, OSErr& error)
{
    error = PhotoshopFontUtils::GetActiveDocumentPath(path);
    return error == 0 ? AllTrackedDocuments::FindTrackedDocumentByPath(path) : nullptr;
}
} // namespace

SPErr RunCommandBox()
{
    LPFInterface* lpf = PortolanGlobals::GetSharedLPFInterface();
    FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
    if (lpf == nullptr || !lpf->IsUsable() || fontManager == nullptr)
    {
        return kPSFeatureBarError;
    }
    for (;;)
    {
        if (!fontManager->IsLoggedIn())
        {
            lpf->ShowLoggedOutMessage();
            return kSPNoError;
        }
        if (!fontManager->GetRunningStandalone() && !fontManager->UserHasWorkgroups())
        {
            lpf->ShowNoWorkgroupsMessage(false);
            return kSPNoError;
        }
        if (!PortolanGlobals::IsPluginEnabled())
        {
            lpf->ShowCoreNotRunningMessage();
            return kSPNoError;
        }
        GCFRef<CFMutableDictionaryRef> input(CreateCommandBoxInput(*fontManager, *lpf));
        TSInt32 workgroup = lpf->GetCurrentWorkgroupID();
        const TSInt32 command = lpf->ShowCommandBox(input.Get(), &workgroup);
        input.Reset();
        if (command != kCancelled)
        {
            fontManager->SetDefaultWorkgroupID(workgroup);
        }
        switch (command)
        {
        case kAbout:
            lpf->ShowAboutBox();
            continue;
        case kPreferences:
            lpf->ShowPreferences();
            continue;
        case kCollectForOutput:
            HandleCollectForOutputCommand();
            break;
        case kMakeDocumentSet:
            DoMakeDocumentSet();
            break;
        case kCheckDocumentFonts:
            DoCheckDocFonts();
            break;
        default:
            break;
        }
        return kSPNoError;
    }
}

void DoCheckDocFonts()
{
    TraceLog(1, "Entering %s()", "DoCheckDocFonts");
    if (PortolanGlobals::IsPluginOperational())
    {
        TUTF8String path;
        OSErr error = 0;
        TrackedDocumentPtr record = FindActiveRecord(path, error);
        if (error == 0 && record != nullptr)
        {
            TSInt32 activated = 0;
            CommonFunctionality::ActivateFontsForDocument(false, activated, record->GetDocumentFilePath(),
                                                          record);
            if (activated > 0 && !record->HasMissingFonts())
            {
                TUInt32 activeID = 0;
                PhotoshopFontUtils::GetActiveDocumentID(activeID);
                DocumentEvents::DeferredReplaceMissingFonts(activeID, false);
            }
        }
    }
    TraceLog(-1, "Exiting HandleCheckDocFontsCommand");
}

void HandleCollectForOutputCommand()
{
    TraceLog(1, "Entering HandleCollectForOutputCommand");
    FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
    LPFInterface* lpf = PortolanGlobals::GetSharedLPFInterface();
    if (fontManager == nullptr || lpf == nullptr)
    {
        return;
    }
    const TSInt32 workgroup = lpf->GetCurrentWorkgroupID();
    TUTF8String path;
    OSErr error = 0;
    TrackedDocumentPtr record = FindActiveRecord(path, error);
    if (record == nullptr)
    {
        TraceLog(0, "*** Hmm, OpenDocument::FindCurrentDocument() returned NULL!");
    }
    GCFRef<CFMutableArrayRef> fonts;
    if (record == nullptr || (!fontManager->GetRunningStandalone() && !record->GetCanExport()))
    {
        lpf->ShowCannotExportMessage();
    }
    else
    {
        bool allIdentified = false;
        CreateFaceTraceDataForDocument(path, fonts.OutPointer(), workgroup, true, &allIdentified);
        if (!allIdentified)
        {
            lpf->AskNotAllFontsIdentified(false);
        }
        if (error == 0)
        {
            const TUTF8String fileName = PhotoshopFontUtils::GetFileNameOfPath(path);
            fontManager->CollectFontsUsedByCurrentDocument(fileName.c_str(), record->GetIdentifier().c_str(),
                                                           fonts.Get());
        }
    }
    TraceLog(-1, "Exiting HandleCollectForOutputCommand");
}

void DoMakeDocumentSet()
{
    TraceLog(1, "Entering DoMakeDocumentSet");
    FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
    LPFInterface* lpf = PortolanGlobals::GetSharedLPFInterface();
    if (fontManager == nullptr || lpf == nullptr)
    {
        return;
    }
    const TSInt32 workgroup = lpf->GetCurrentWorkgroupID();
    if (FontManagerInterface::IsCurrentWorkgroupAll())
    {
        lpf->ShowAllWorkgroupsSetMessage();
        return;
    }
    TUTF8String path;
    if (PhotoshopFontUtils::GetActiveDocumentPath(path) == 0)
    {
        GCFRef<CFMutableArrayRef> fonts;
        bool allIdentified = false;
        CreateFaceTraceDataForDocument(path, fonts.OutPointer(), workgroup, true, &allIdentified);
        const TUTF8String fileName = PhotoshopFontUtils::GetFileNameOfPath(path);
        if (GCFRef<CFStringRef> setName(CFStringCreateWithUncertainEncoding(fileName.c_str())); setName)
        {
            fontManager->MakeSetForDocumentFonts(setName.Get(), fonts.Get());
        }
    }
    TraceLog(-1, "Exiting DoMakeDocumentSet");
}
