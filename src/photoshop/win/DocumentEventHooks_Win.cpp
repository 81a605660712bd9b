#include "DocumentEventHooks.h"

#include "CommonFunctionality.h"
#include "DialogSuppression.h"
#include "FaceTraceSlugs.h"
#include "FontActivationTracker.h"
#include "FontManagerInterface.h"
#include "GHostGuard.h"
#include "GLogger.h"
#include "GScopedFlag.h"
#include "LPFInterface.h"
#include "PanelManager.h"
#include "PhotoshopFontUtils.h"
#include "PhotoshopSuites.h"
#include "PortolanGlobals.h"

#include <algorithm>
#include <ctime>
#include <deque>

// <windows.h> renames GetObject; the descriptor suite's member keeps its name.
#ifdef GetObject
#undef GetObject
#endif

namespace
{
constexpr DWORD kRetryDelay = 1000;
constexpr TSInt32 kDefaultReplacementDelay = 4000;
constexpr TSInt32 kDefaultNotificationDelay = 20;
constexpr DescriptorKeyID kNewKey = PSFourCharCode("Nw  ");

std::deque<DocumentEvents::PendingReplacement> sPendingReplacements;
TSInt64 sTimerGate = 0;
HWND sHostMainWindow = nullptr;
int sNewDocumentScanGuard = 0;
DWORD sNotificationTick = 0;

HHOOK sDialogSuppressionHook = nullptr;
HHOOK sNotificationHandlerHook = nullptr;
// Set at Shutdown: from then on the hook procedures, the timer step, the pump and the
// notification procedures do nothing (Photoshop may unload the plug-in after Shutdown).
bool sShutDown = false;
// A step that shows a modal dialog (the framework's message boxes, the resolve-fonts dialog)
// runs a message loop inside it: the timer messages of that loop must not start the timer step
// or the pump again inside themselves.
bool sTimerStepRunning = false;
bool sPumpRunning = false;

TSInt64 NowSeconds()
{
    return static_cast<TSInt64>(std::time(nullptr));
}

// True when the tick clock has reached due (wrapping every 49.7 days).
bool TickReached(DWORD now, DWORD due)
{
    return static_cast<LONG>(now - due) >= 0;
}

unsigned HexOf(const void* pointer)
{
    return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(pointer));
}

TUTF8String FourCharacters(std::uint32_t code)
{
    TUTF8String text(4, ' ');
    text[0] = static_cast<char>((code >> 24) & 0xFF);
    text[1] = static_cast<char>((code >> 16) & 0xFF);
    text[2] = static_cast<char>((code >> 8) & 0xFF);
    text[3] = static_cast<char>(code & 0xFF);
    return text;
}

// Runs one step of a hook or notification; a suite error or any other exception ends the step as
// failed without reaching Photoshop.
template <class Step>
void RunGuarded(const char* stepName, Step step)
{
    try
    {
        step();
    }
    catch (std::uint32_t error)
    {
        TraceLog(0, "%s ended by error %d", stepName, static_cast<int>(error));
    }
    catch (...)
    {
        TraceLog(0, "Exception thrown in %s()", stepName);
    }
    PhotoshopSuites::ReleaseAllSuites();
}
// The next pump runs after "NotificationDelay" milliseconds; a negative delay leaves the time as
// it was (the pump then runs at every timer message).
void ScheduleNextPump()
{
    const DWORD now = GetTickCount();
    const DWORD previous = sNotificationTick;
    // Holds when the preference cannot be read.
    sNotificationTick = now + kDefaultNotificationDelay;
    LPFInterface* lpf = PortolanGlobals::GetSharedLPFInterface();
    if (lpf == nullptr || !lpf->IsUsable())
    {
        sNotificationTick = now + kDefaultNotificationDelay;
        return;
    }
    const TSInt32 delay = lpf->GetLongPreferenceForKey("NotificationDelay");
    if (delay < 0)
    {
        sNotificationTick = previous;
        return;
    }
    if (delay == 0)
    {
        lpf->SetLongPreferenceForKey("NotificationDelay", kDefaultNotificationDelay);
        sNotificationTick = now + kDefaultNotificationDelay;
        return;
    }
    sNotificationTick = now + static_cast<DWORD>(delay);
}
} // namespace

// --- Hook procedures ------------------------------------------------------------------------------------

LRESULT CALLBACK DialogSuppressionHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (message != nullptr && !sShutDown)
    {
        GuardForHost("DialogSuppressionHookProc",
                     [message]
                     {
                         if (message->message == WM_FONTCHANGE)
                         {
                             DocumentEvents::FontsChanged();
                         }
                         else if (message->message == WM_TIMER)
                         {
                             DocumentEvents::TimerStep(message->time);
                         }
                     });
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK NotificationHandlerHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (message != nullptr && message->message == WM_TIMER && !sShutDown)
    {
        GuardForHost("NotificationHandlerHookProc",
                     [message] { DocumentEvents::NotificationPump(message->time); });
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

namespace DocumentEvents
{
void InstallMessageHooks(HINSTANCE module)
{
    const DWORD thread = GetCurrentThreadId();
    sShutDown = false;
    sDialogSuppressionHook = SetWindowsHookExW(WH_GETMESSAGE, DialogSuppressionHookProc, module, thread);
    if (sDialogSuppressionHook != nullptr)
    {
        TraceLog(0, "hDialogSuppressionHook=0x%08x",
                 static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(sDialogSuppressionHook)));
    }
    else
    {
        TraceLog(0, "Could not install dialog suppression hook for Photoshop. GetLastError() returned 0x%08x",
                 static_cast<unsigned>(GetLastError()));
    }

    sNotificationHandlerHook = SetWindowsHookExW(WH_GETMESSAGE, NotificationHandlerHookProc, module, thread);
    if (sNotificationHandlerHook != nullptr)
    {
        TraceLog(0, "hNotificationHandlerHook=0x%08x",
                 static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(sNotificationHandlerHook)));
    }
    else
    {
        TraceLog(0,
                 "Could not install NotificationHandler hook for Photoshop. GetLastError() returned 0x%08x",
                 static_cast<unsigned>(GetLastError()));
    }
}

void StopForShutdown()
{
    sShutDown = true;
    for (HHOOK* hook : {&sDialogSuppressionHook, &sNotificationHandlerHook})
    {
        if (*hook != nullptr)
        {
            if (!UnhookWindowsHookEx(*hook))
            {
                TraceLog(0, "Could not remove hook 0x%08x. GetLastError() returned 0x%08x",
                         static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(*hook)),
                         static_cast<unsigned>(GetLastError()));
            }
            *hook = nullptr;
        }
    }
    sPendingReplacements.clear();
    sHostMainWindow = nullptr;
}

bool IsShutDown()
{
    return sShutDown;
}

void FontsChanged()
{
    const DWORD due = GetTickCount() + kRetryDelay;
    for (PendingReplacement& entry : sPendingReplacements)
    {
        entry.dueTick = due;
    }
}

void TimerStep(TUInt32 messageTime)
{
    const TSInt64 now = NowSeconds();
    if (sShutDown || sTimerStepRunning || now - sTimerGate < 1)
    {
        return;
    }
    const GScopedFlag running(sTimerStepRunning);
    // The gate moves before the step runs: a modal loop inside the step delivers further timer
    // messages, which must not start the step again.
    sTimerGate = now;
    if (!PortolanGlobals::IsPluginOperational())
    {
        return;
    }
    RunGuarded("TimerStep",
               [messageTime]
               {
                   if (sHostMainWindow == nullptr || !IsWindow(sHostMainWindow))
                   {
                       sHostMainWindow = static_cast<HWND>(PortolanGlobals::FindHostMainWindow());
                   }
                   CheckForNewlyOpenedDocuments();
                   if (!sPendingReplacements.empty() &&
                       TickReached(messageTime, sPendingReplacements.front().dueTick))
                   {
                       const PendingReplacement entry = sPendingReplacements.front();
                       sPendingReplacements.pop_front();
                       TraceLog(1, "Entering %s()", "ReplaceMissingFonts");
                       if (ReplaceSubstitutedFonts() != 0 && !entry.retry)
                       {
                           DeferredReplaceMissingFonts(entry.documentHandle, true);
                       }
                       TraceLog(-1, "Exiting %s()", "ReplaceMissingFonts");
                   }
                   DecideDialogSuppression();
               });
    const TSInt64 elapsed = NowSeconds() - sTimerGate;
    if (elapsed > 1)
    {
        TraceLog(0, "WM_TIMER handling took %d seconds.", static_cast<int>(elapsed));
    }
}

void NotificationPump(TUInt32 messageTime)
{
    if (sShutDown || sPumpRunning || !TickReached(messageTime, sNotificationTick))
    {
        return;
    }
    const GScopedFlag running(sPumpRunning);
    // The next pump time is set before the service runs: a modal dialog inside it delivers timer
    // messages that must find the pump busy and its next time already in the future.
    ScheduleNextPump();
    RunGuarded("ServicePanels", [] { ServicePanels(); });
}

void CheckForNewlyOpenedDocuments()
{
    if (sNewDocumentScanGuard != 0)
    {
        return;
    }
    ++sNewDocumentScanGuard;
    try
    {
        std::vector<TUTF8String> paths;
        PhotoshopFontUtils::GetOpenDocumentPaths(paths);
        for (const TUTF8String& path : paths)
        {
            if (!path.empty() && AllTrackedDocuments::FindTrackedDocumentByPath(path) == nullptr)
            {
                TraceLog(0, "Newly opened document detected: '%s'", path.c_str());
                HandleOpenedDocument(path, false);
            }
        }
    }
    catch (...)
    {
        --sNewDocumentScanGuard;
        throw;
    }
    --sNewDocumentScanGuard;
}

void HandleOpenedDocument(const TUTF8String& path, bool silently)
{
    TraceLog(1, "Entering HandleOpenedDocument('%s', silently=%d)", path.c_str(), silently ? 1 : 0);
    LPFInterface* lpf = PortolanGlobals::GetSharedLPFInterface();
    FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
    if (lpf == nullptr || !lpf->IsUsable() || fontManager == nullptr)
    {
        return;
    }

    TrackedDocumentPtr record;
    if (!path.empty())
    {
        record = AllTrackedDocuments::FindTrackedDocumentByPath(path);
        if (record == nullptr)
        {
            TUInt32 documentID = 0;
            if (PhotoshopFontUtils::GetDocumentID(documentID, path) == 0 && documentID != 0)
            {
                if (TrackedDocumentPtr byHandle =
                        AllTrackedDocuments::FindTrackedDocumentByHandle(documentID);
                    byHandle != nullptr)
                {
                    // Saved under a new name, or tracked before it had a path.
                    record = byHandle;
                    record->SetDocumentFilePath(path);
                }
            }
        }
    }

    TUInt32 documentHandle = 0;
    if (record != nullptr)
    {
        TraceLog(0, "Already handled HandleOpenedDocument('%s')", path.c_str());
    }
    else
    {
        record = std::make_shared<OneTrackedDocument>();
        record->SetIdentifier(FontActivationTracker::GenerateUniqueIdentifier());
        record->SetCanExport(fontManager->CanActivateAcrossWorkgroups());
        AllTrackedDocuments::AddDocument(record, path);

        TSInt32 numFontsActivated = 0;
        if (silently)
        {
            CFMutableArrayRef extra = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
            CommonFunctionality::ActivateDocumentFontsSilently(numFontsActivated, path, record, extra);
            if (extra != nullptr)
            {
                CFRelease(extra);
            }
        }
        else
        {
            CommonFunctionality::ActivateFontsForDocument(true, numFontsActivated, path, record);
        }

        if (PhotoshopFontUtils::GetDocumentID(documentHandle, path) != 0 || documentHandle == 0)
        {
            TUInt32 activeID = 0;
            documentHandle = (PhotoshopFontUtils::GetActiveDocumentID(activeID) == 0) ? activeID : 0;
        }
        record->SetDocumentHandle(documentHandle);

        if (PortolanGlobals::IsPluginEnabled() && lpf->GetEnablePlugin() && fontManager->IsLoggedIn() &&
            !record->HasMissingFonts())
        {
            DeferredReplaceMissingFonts(record->GetDocumentHandle(), false);
        }
    }
    TraceLog(-1, "Exiting HandleOpenedDocument('%s', silently=%d). DocumentHandle is 0x%08x", path.c_str(),
             silently ? 1 : 0, static_cast<unsigned>(documentHandle));
}

void HandleClosedDocuments()
{
    bool removed = true;
    while (removed)
    {
        removed = false;
        const std::vector<TrackedDocumentPtr> records = AllTrackedDocuments::GetAllTrackedDocuments();
        for (const TrackedDocumentPtr& record : records)
        {
            const TUTF8String path = record->GetDocumentFilePath();
            TraceLog(0, "Considering whether '%s' has been closed.", path.c_str());
            bool closed = false;
            if (record->GetDocumentHandle() == 0)
            {
                TraceLog(0, "Could not get a handle for '%s' so it must have been closed.", path.c_str());
                closed = true;
            }
            else
            {
                bool exists = true;
                if (PhotoshopFontUtils::DocumentHandleIsValid(record->GetDocumentHandle(), exists) == 0 &&
                    !exists)
                {
                    closed = true;
                }
                else
                {
                    TraceLog(0, "Host app still has a valid handle for '%s' so it must still be open.",
                             path.c_str());
                }
            }
            if (closed)
            {
                AllTrackedDocuments::RemoveClosedDocument(record);
                removed = true;
                break;
            }
        }
    }
}

void DeferredReplaceMissingFonts(TUInt32 documentHandle, bool retry)
{
    TraceLog(1, "Entering %s()", "DeferredReplaceMissingFonts");
    LPFInterface* lpf = PortolanGlobals::GetSharedLPFInterface();
    TSInt32 delay = lpf != nullptr ? lpf->GetLongPreferenceForKey("RMF5") : kDefaultReplacementDelay;
    if (delay < 0)
    {
        TraceLog(-1, "Exiting %s()", "DeferredReplaceMissingFonts");
        return;
    }
    if (delay == 0)
    {
        delay = kDefaultReplacementDelay;
        if (lpf != nullptr)
        {
            lpf->SetLongPreferenceForKey("RMF5", delay);
        }
    }
    const DWORD wait = retry ? kRetryDelay : static_cast<DWORD>(delay);
    sPendingReplacements.push_back(PendingReplacement{documentHandle, GetTickCount() + wait, retry});
    TraceLog(-1, "Exiting %s()", "DeferredReplaceMissingFonts");
}

OSErr ReplaceSubstitutedFonts()
{
    const PSActionControlProcs* control = PhotoshopSuites::ActionControl();
    const PSActionDescriptorProcs* descriptors = PhotoshopSuites::ActionDescriptor();
    OSErr error = 0;
    for (const char* eventName : {"updateLayouts", "replaceSubstitutes"})
    {
        DescriptorTypeID eventID = 0;
        error = control->StringIDToTypeID(eventName, &eventID);
        if (error != 0)
        {
            continue;
        }
        PIActionDescriptor result = nullptr;
        error = control->Play(&result, eventID, nullptr, plugInDialogSilent);
        if (result != nullptr)
        {
            descriptors->Free(result);
        }
    }
    return error;
}

bool IsDocumentBeingOpened(TrackedDocumentPtr& record)
{
    TUInt32 activeID = 0;
    PhotoshopFontUtils::GetActiveDocumentID(activeID);
    if (record == nullptr)
    {
        record = AllTrackedDocuments::FindTrackedDocumentByHandle(activeID);
    }
    if (record == nullptr)
    {
        std::vector<TUTF8String> paths;
        PhotoshopFontUtils::GetOpenDocumentPaths(paths);
        for (const TUTF8String& path : paths)
        {
            if (AllTrackedDocuments::FindTrackedDocumentByPath(path) == nullptr)
            {
                TraceLog(
                    0,
                    "Document 0x%08x (%s) is in Photoshop's document list, but we aren't yet tracking it, so "
                    "it must be in the process of opening.",
                    static_cast<unsigned>(activeID), path.c_str());
                return true;
            }
        }
        TraceLog(0, "No document on disk appears to be open.");
        return false;
    }
    const TUTF8String path = record->GetDocumentFilePath();
    if (path.empty())
    {
        return false;
    }
    const unsigned handle = static_cast<unsigned>(record->GetDocumentHandle());
    if (handle == 0)
    {
        TraceLog(
            0,
            "WARNING: tracked document 0x%08x (%s) does not have an ID. Not safe to infer that it is being "
            "opened from disk.",
            handle, path.c_str());
        return false;
    }
    if (record->GetOpenEventTime() != 0)
    {
        const bool recent = NowSeconds() - record->GetOpenEventTime() < 5;
        if (recent)
        {
            TraceLog(0, "Document 0x%08x (%s) got an openEvent within the last five seconds.", handle,
                     path.c_str());
        }
        return recent;
    }
    if (record->GetSaveTime() == 0)
    {
        TraceLog(0, "Document 0x%08x (%s) is being opened, but we haven't yet gotten an openEvent for it.",
                 handle, path.c_str());
        record->SetOpenEventTimeToNow();
        return true;
    }
    TraceLog(0, "Document 0x%08x (%s) must be a save of a newly created document.", handle, path.c_str());
    return false;
}

TSInt64 GetTimerGate()
{
    return sTimerGate;
}

void SetTimerGate(TSInt64 seconds)
{
    sTimerGate = seconds;
}

std::size_t GetPendingReplacementCount()
{
    return sPendingReplacements.size();
}

PendingReplacement GetPendingReplacement(std::size_t index)
{
    return sPendingReplacements.at(index);
}
} // namespace DocumentEvents

// --- Photoshop notifications ----------------------------------------------------------------------------

namespace
{
void HandleMakeEvent(PIActionDescriptor descriptor, void* data)
{
    TraceLog(1, "Entering %s(..., data=0x%08x)", "MakeEvent", HexOf(data));
    if (!PortolanGlobals::IsPluginOperational())
    {
        TraceLog(-1, "Exiting %s()", "MakeEvent");
        return;
    }
    RunGuarded(
        "MakeEvent",
        [descriptor]
        {
            const PSActionDescriptorProcs* descriptors = PhotoshopSuites::ActionDescriptor();
            DescriptorClassID classID = 0;
            PIActionDescriptor object = nullptr;
            if (descriptor == nullptr || descriptors->GetObject(descriptor, kNewKey, &classID, &object) != 0)
            {
                return;
            }
            if (object != nullptr)
            {
                descriptors->Free(object);
            }
            if (classID != PhotoshopFontUtils::kDocumentClass)
            {
                TraceLog(0, "MakeEvent received for DescriptorClassID %s", FourCharacters(classID).c_str());
                return;
            }
            FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
            TrackedDocumentPtr record = std::make_shared<OneTrackedDocument>();
            record->SetIdentifier(FontActivationTracker::GenerateUniqueIdentifier());
            record->SetCanExport(fontManager != nullptr && fontManager->CanActivateAcrossWorkgroups());
            TUInt32 activeID = 0;
            PhotoshopFontUtils::GetActiveDocumentID(activeID);
            record->SetDocumentHandle(activeID);
            TraceLog(0, "New document has ID 0x%08x", static_cast<unsigned>(activeID));
            record->SetOpenEventTimeToNow();
            AllTrackedDocuments::AddDocument(record, "");
            ReserializeActiveDocumentXMP();
        });
    TraceLog(-1, "Exiting %s()", "MakeEvent");
}

void HandleCloseEvent(void* data)
{
    TraceLog(1, "Entering %s(..., data=0x%08x)", "CloseEvent", HexOf(data));
    if (PortolanGlobals::IsPluginOperational())
    {
        RunGuarded("CloseEvent", [] { DocumentEvents::HandleClosedDocuments(); });
    }
    TraceLog(-1, "Exiting %s()", "CloseEvent");
}

void HandleSaveEvent(DescriptorEventID event, PIActionDescriptor descriptor, PIDialogRecordOptions options,
                     void* data)
{
    TraceLog(1, "Entering %s(event=0x%08x, descriptor=0x%08x, options=0x%08x, data=0x%08x)", "SaveEvent",
             static_cast<unsigned>(event), HexOf(descriptor), static_cast<unsigned>(options), HexOf(data));
    RunGuarded(
        "SaveEvent",
        []
        {
            TUTF8String path;
            PhotoshopFontUtils::GetActiveDocumentPath(path);
            if (path.empty())
            {
                // Saved from an untitled document: the one tracked path Photoshop no longer lists.
                std::vector<TUTF8String> openPaths;
                PhotoshopFontUtils::GetOpenDocumentPaths(openPaths);
                std::vector<TUTF8String> missing;
                for (const TrackedDocumentPtr& record : AllTrackedDocuments::GetAllTrackedDocuments())
                {
                    const TUTF8String trackedPath = record->GetDocumentFilePath();
                    if (std::find(openPaths.begin(), openPaths.end(), trackedPath) == openPaths.end())
                    {
                        missing.push_back(trackedPath);
                    }
                }
                if (missing.size() == 1)
                {
                    path = missing.front();
                }
            }
            if (path.empty())
            {
                TraceLog(0, "Ignoring Save Event... no path to process.");
                return;
            }
            TraceLog(0, "Document name is '%s'", path.c_str());

            LPFInterface* lpf = PortolanGlobals::GetSharedLPFInterface();
            if (lpf != nullptr && PortolanGlobals::IsPluginOperational())
            {
                const bool identificationOn = lpf->GetEnableFaceTrace();
                if (!identificationOn)
                {
                    RemoveAllFaceTraceSlugsForDocument(path);
                    PortolanGlobals::SaveDocumentFonts(path, 0);
                }
                else
                {
                    UpdateFaceTraceSlugsForDocument(path);
                }
            }

            TUInt32 activeID = 0;
            PhotoshopFontUtils::GetActiveDocumentID(activeID);
            TrackedDocumentPtr record = AllTrackedDocuments::FindTrackedDocumentByPath(path);
            if (record == nullptr && activeID != 0)
            {
                record = AllTrackedDocuments::FindTrackedDocumentByHandle(activeID);
                if (record != nullptr)
                {
                    record->SetDocumentFilePath(path);
                    TraceLog(0, "DocumentID 0x%08x is now associated with '%s'",
                             static_cast<unsigned>(activeID), path.c_str());
                }
                else
                {
                    TraceLog(0,
                             "WARNING: no documentID 0x%08x found in AllTrackedDocuments. '%s' is untracked",
                             static_cast<unsigned>(activeID), path.c_str());
                }
            }
            if (record != nullptr)
            {
                if (record->GetDocumentHandle() != activeID)
                {
                    TraceLog(0, "WARNING: currentDocumentID is 0x%08x but document being saved has ID 0x%08x",
                             static_cast<unsigned>(activeID),
                             static_cast<unsigned>(record->GetDocumentHandle()));
                }
                if (record->GetOpenEventTime() == 0)
                {
                    record->SetOpenEventTimeToNow();
                }
                record->SetSaveTimeToNow();
            }
        });
    TraceLog(-1, "Exiting %s()", "SaveEvent");
}
} // namespace

// Photoshop calls these from its own code: nothing may unwind into it, and after Shutdown they
// do nothing.
void MakeEvent(DescriptorEventID /*event*/, PIActionDescriptor descriptor, PIDialogRecordOptions /*options*/,
               void* data)
{
    if (!sShutDown)
    {
        GuardForHost("MakeEvent", [&] { HandleMakeEvent(descriptor, data); });
    }
}

void CloseEvent(DescriptorEventID /*event*/, PIActionDescriptor /*descriptor*/,
                PIDialogRecordOptions /*options*/, void* data)
{
    if (!sShutDown)
    {
        GuardForHost("CloseEvent", [&] { HandleCloseEvent(data); });
    }
}

void SaveEvent(DescriptorEventID event, PIActionDescriptor descriptor, PIDialogRecordOptions options,
               void* data)
{
    if (!sShutDown)
    {
        GuardForHost("SaveEvent", [&] { HandleSaveEvent(event, descriptor, options, data); });
    }
}
