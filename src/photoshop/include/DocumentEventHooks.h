#pragma once
// Photoshop's document life cycle as the plug-in follows it. Photoshop tells an automation
// plug-in when a document is made, closed or saved, but not reliably when one is opened: the
// timer hook polls Photoshop's document list at most once a second to find newly opened
// documents and activates their fonts; after activation Photoshop's own replacement of
// substituted fonts is played a few seconds later. The notification hook runs the panel service
// and the font manager's notifications. Everything runs on Photoshop's user-interface thread.

#include "GTypes.h"
#include "PhotoshopPluginAPI.h"
#include "TrackedDocuments.h"

#ifdef _WIN32
#include <windows.h>

// WH_GETMESSAGE hook procedures, installed for Photoshop's user-interface thread at startup.
LRESULT CALLBACK DialogSuppressionHookProc(int code, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK NotificationHandlerHookProc(int code, WPARAM wParam, LPARAM lParam);
#endif

// Photoshop notification procedures for 'Mk  ', 'Cls ' and 'save'.
void MakeEvent(DescriptorEventID event, PIActionDescriptor descriptor, PIDialogRecordOptions options,
               void* data);
void CloseEvent(DescriptorEventID event, PIActionDescriptor descriptor, PIDialogRecordOptions options,
                void* data);
void SaveEvent(DescriptorEventID event, PIActionDescriptor descriptor, PIDialogRecordOptions options,
               void* data);

namespace DocumentEvents
{
#ifdef _WIN32
// Installs both message hooks for the calling (user-interface) thread and logs their handles.
void InstallMessageHooks(HINSTANCE module);
#endif
// Shutdown: removes both hooks; from then on the hook procedures, the timer step, the pump and the
// notification procedures do nothing, and nothing queued is played.
void StopForShutdown();
bool IsShutDown();

// One timer step at the message time (GetTickCount milliseconds) of a WM_TIMER message.
void TimerStep(TUInt32 messageTime);
// WM_FONTCHANGE: every queued replacement becomes due one second from now.
void FontsChanged();
// The pump of the notification hook for a WM_TIMER message at messageTime. Neither the timer step
// nor the pump runs inside itself (a modal dialog's loop delivers timer messages).
void NotificationPump(TUInt32 messageTime);

void CheckForNewlyOpenedDocuments();
void HandleOpenedDocument(const TUTF8String& path, bool silently);
void HandleClosedDocuments();
// Queues Photoshop's replacement of substituted fonts for the document, due after "RMF5"
// milliseconds (one second for a retry).
void DeferredReplaceMissingFonts(TUInt32 documentHandle, bool retry);
// Plays "updateLayouts" and "replaceSubstitutes"; the second play's error.
OSErr ReplaceSubstitutedFonts();
// Whether the active document (or the given record's) appears to be opening from disk.
bool IsDocumentBeingOpened(TrackedDocumentPtr& record);

// The timer gate in seconds since 1970: the timer step runs once a second has passed since it.
TSInt64 GetTimerGate();
void SetTimerGate(TSInt64 seconds);

// For tests: the queued replacements as (handle, due tick, retry).
struct PendingReplacement
{
    TUInt32 documentHandle;
    TUInt32 dueTick;
    bool retry;
};
std::size_t GetPendingReplacementCount();
PendingReplacement GetPendingReplacement(std::size_t index);
} // namespace DocumentEvents
