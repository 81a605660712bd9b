#include "PanelHost.h"

namespace
{
PanelHost* sInstalled = nullptr;
} // namespace

// The host of a build: the plug-in's own on Windows, one that has nothing elsewhere.
PanelHost& DefaultPanelHost();

PanelHost& PanelHost::Get()
{
    return sInstalled != nullptr ? *sInstalled : DefaultPanelHost();
}

void PanelHost::Install(PanelHost* host)
{
    sInstalled = host;
}

#ifndef _WIN32
namespace
{
// No plug-in around the panel: nothing is enabled, connected or found.
class GNoPluginPanelHost final : public PanelHost
{
public:
    bool IsPluginEnabled() override { return false; }
    bool IsConnectedToCore() override { return false; }
    bool HasFramework() override { return false; }
    bool GetBoolPreference(const char*) override { return false; }
    void SetBoolPreference(const char*, bool) override {}
    TSInt32 GetLongPreference(const char*) override { return 0; }
    void SetLongPreference(const char*, TSInt32) override {}
    void SetCurrentWorkgroupID(TSInt32) override {}
    LPILoader* GetLPILoader() override { return nullptr; }
    bool HasFontManager() override { return false; }
    TSInt32 ProcessFontManagerNotifications() override { return 0; }
    bool GetFontInfoByID(TUInt32, GCFRef<CFMutableDictionaryRef>&) override { return false; }
    std::map<TUInt32, TSInt32> GetFontConflicts(const std::vector<TUInt32>&) override { return {}; }
    TSInt32 FindFontsInSameFamily(CFDictionaryRef, CFMutableArrayRef) override { return -1; }
    TSInt32 GetAllWorkgroupsForUser(CFMutableArrayRef) override { return -1; }
    bool CanActivateAcrossWorkgroups() override { return false; }
    CFStringRef DisplayNameKey() override { return CFSTR("DisplayName"); }
    void RefreshActiveFontList() override {}
    void* FindHostMainWindow() override { return nullptr; }
    void FocusWindow(void*) override {}
    void PostKeyMessage(void*, TUInt32, TUInt32) override {}
    TUTF8String TemporaryFileName() override { return TUTF8String(); }
};
} // namespace

PanelHost& DefaultPanelHost()
{
    static GNoPluginPanelHost sHost;
    return sHost;
}
#endif
