// The periodic panel service, run by the notification pump on the host's user-interface thread:
// the font manager's queued notifications become panel broadcasts, and every panel sends what it
// has queued.

#include "FontManagerInterface.h"
#include "PanelManager.h"

void ServicePanels()
{
    if (FontManagerInterface* fontManager = FontManagerInterface::GetFontManager(); fontManager != nullptr)
    {
        fontManager->ProcessNotifications();
    }
    PanelManager& panels = PanelManager::GetSharedInstance();
    panels.SelectSocket(true);
    panels.PopNotifications();
}
