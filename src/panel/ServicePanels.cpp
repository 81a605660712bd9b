// The periodic panel service, run by the notification pump on the host's user-interface thread:
// the extension is started once (the launch request is remembered by a preference, across
// restarts), the panel is created after it, the font manager's queued notifications become panel
// broadcasts and every panel sends what it has queued.

#include "PanelHost.h"
#include "PanelManager.h"
#include "PanelMessageKeys.h"
#include "PlugPlugLibrary.h"

namespace
{
constexpr const char* kStartPanelEvent = "com.lumorand.startpanel";

bool sPanelLaunched = false;
bool sPanelCreated = false;
bool sLaunchFailureWritten = false;

// Asks the host to start the extension once: true when the launch is known (sent now, or once
// before).
bool LaunchPanel(PanelHost& host, PlugPlugLibrary& library)
{
    library.Load();
    const bool suppressed = host.GetBoolPreference(PanelPreference::kSuppressPanelLaunch);
    if (suppressed)
    {
        return true;
    }
    csxs::event::Event launch{};
    launch.type = kStartPanelEvent;
    launch.scope = csxs::event::kEventScope_Application;
    launch.appId = "test";
    launch.extensionId = nullptr;
    launch.data = "";
    const bool sent = library.DispatchEvent(launch) == csxs::event::kEventErrorCode_Success;
    // A launch that keeps failing is retried every pass: the preference is written once for it.
    if (sent || !sLaunchFailureWritten)
    {
        host.SetBoolPreference(PanelPreference::kSuppressPanelLaunch, sent);
        sLaunchFailureWritten = !sent;
    }
    if (!sent)
    {
        library.Unload();
    }
    return sent;
}
} // namespace

void ServicePanels()
{
    PanelHost& host = PanelHost::Get();
    PlugPlugLibrary& library = PlugPlugLibrary::GetSharedInstance();
    PanelManager& panels = PanelManager::GetSharedInstance();
    if (!sPanelLaunched && host.HasFramework())
    {
        sPanelLaunched = LaunchPanel(host, library);
    }
    if (sPanelLaunched && !sPanelCreated)
    {
        // A library that was missing or incomplete at launch is looked for again; a panel is made
        // only on a complete one (one that could not send would leave the panel page waiting).
        if (!library.IsComplete())
        {
            library.Load();
        }
        sPanelCreated = library.IsComplete() && panels.AddHTMLPanel(&library) == CoreErrorCodes::kSuccess;
    }
    if (host.HasFontManager())
    {
        host.ProcessFontManagerNotifications();
    }
    panels.SelectSocket(true);
    panels.PopNotifications();
}

void ResetServicePanelsForTesting()
{
    sPanelLaunched = false;
    sPanelCreated = false;
    sLaunchFailureWritten = false;
}
