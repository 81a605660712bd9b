// The plug-in around the panels: its service flags, the framework's preferences, the font
// manager's interface library and connection, and Photoshop's main window.

#include "PanelHost.h"

#include "FontManagerInterface.h"
#include "FontRecordKeys.h"
#include "GStringEncodings.h"
#include "LPFInterface.h"
#include "LPILoader.h"
#include "PortolanGlobals.h"

#include <windows.h>

#include <cstdlib>
#include <stdio.h>

namespace
{
class GPluginPanelHost final : public PanelHost
{
public:
    bool IsPluginEnabled() override { return PortolanGlobals::IsPluginEnabled(); }
    bool IsConnectedToCore() override { return PortolanGlobals::GetConnectedToCore(); }

    bool HasFramework() override { return PortolanGlobals::GetSharedLPFInterface() != nullptr; }
    bool GetBoolPreference(const char* key) override
    {
        LPFInterface* framework = PortolanGlobals::GetSharedLPFInterface();
        return framework != nullptr && framework->GetPreferenceForKey(key);
    }
    void SetBoolPreference(const char* key, bool value) override
    {
        if (LPFInterface* framework = PortolanGlobals::GetSharedLPFInterface())
        {
            framework->SetPreferenceForKey(key, value);
        }
    }
    TSInt32 GetLongPreference(const char* key) override
    {
        LPFInterface* framework = PortolanGlobals::GetSharedLPFInterface();
        return framework != nullptr ? framework->GetLongPreferenceForKey(key) : 0;
    }
    void SetLongPreference(const char* key, TSInt32 value) override
    {
        if (LPFInterface* framework = PortolanGlobals::GetSharedLPFInterface())
        {
            framework->SetLongPreferenceForKey(key, value);
        }
    }
    void SetCurrentWorkgroupID(TSInt32 workgroupID) override
    {
        if (LPFInterface* framework = PortolanGlobals::GetSharedLPFInterface())
        {
            framework->SetCurrentWorkgroupID(workgroupID);
        }
    }

    // The panel never starts the font manager: it works with the library the plug-in loaded.
    LPILoader* GetLPILoader() override
    {
        return LPILoader::HasSharedInstance() ? LPILoader::GetSharedInstance() : nullptr;
    }
    bool HasFontManager() override { return FontManagerInterface::GetFontManager() != nullptr; }
    TSInt32 ProcessFontManagerNotifications() override
    {
        FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
        return fontManager != nullptr ? fontManager->ProcessNotifications() : 0;
    }
    bool GetFontInfoByID(TUInt32 fontID, GCFRef<CFMutableDictionaryRef>& outRecord) override
    {
        FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
        if (fontManager == nullptr)
        {
            return false;
        }
        GCFRef<CFMutableDictionaryRef> reference(CFDictionaryCreateMutable(
            kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
        if (!reference)
        {
            return false;
        }
        const TSInt32 databaseID = static_cast<TSInt32>(fontID);
        const TSInt32 allWorkgroups = FontManagerInterface::kAllWorkgroupsID;
        GCFRef<CFNumberRef> id(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &databaseID));
        GCFRef<CFNumberRef> workgroup(
            CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &allWorkgroups));
        if (!id || !workgroup)
        {
            return false;
        }
        CFDictionarySetValue(reference.Get(), kFT_DatabaseIDKey, id.Get());
        CFDictionarySetValue(reference.Get(), kFT_WorkgroupIDKey, workgroup.Get());
        FontInfoResult result;
        if (fontManager->GetFontInfoByID(reference.Get(), result) != 0 || result.GetFontInfo() == nullptr)
        {
            return false;
        }
        outRecord.Reset(static_cast<CFMutableDictionaryRef>(const_cast<void*>(CFRetain(result.GetFontInfo()))));
        return true;
    }
    std::map<TUInt32, TSInt32> GetFontConflicts(const std::vector<TUInt32>& fontIDs) override
    {
        FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
        return fontManager != nullptr ? fontManager->GetFontConflicts(fontIDs) : std::map<TUInt32, TSInt32>();
    }
    TSInt32 FindFontsInSameFamily(CFDictionaryRef font, CFMutableArrayRef outFonts) override
    {
        FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
        return fontManager != nullptr ? fontManager->FindFontsInSameFamily(
                                            font, nullptr, FontManagerInterface::kAllWorkgroupsID, outFonts)
                                      : -1;
    }
    TSInt32 GetAllWorkgroupsForUser(CFMutableArrayRef outWorkgroups) override
    {
        FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
        return fontManager != nullptr
                   ? fontManager->GetAllWorkgroupsForUser(outWorkgroups, false, false, true)
                   : -1;
    }
    bool CanActivateAcrossWorkgroups() override
    {
        FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
        return fontManager != nullptr && fontManager->CanActivateAcrossWorkgroups();
    }
    CFStringRef DisplayNameKey() override
    {
        if (!mDisplayNameKey)
        {
            char column[256] = {};
            LPILoader* loader = GetLPILoader();
            if (loader != nullptr && loader->pfGetDisplayNameColumnID != nullptr &&
                loader->pfGetDisplayNameColumnID(column, sizeof column) == 0)
            {
                column[sizeof column - 1] = '\0';
                mDisplayNameKey.Reset(CreateCFStringFromUTF8String(column));
            }
        }
        return mDisplayNameKey ? mDisplayNameKey.Get() : CFSTR("DisplayName");
    }

    void RefreshActiveFontList() override { PortolanGlobals::RefreshActiveFontList(nullptr, nullptr); }
    void* FindHostMainWindow() override { return PortolanGlobals::FindHostMainWindow(); }
    void FocusWindow(void* window) override { SetFocus(static_cast<HWND>(window)); }
    void PostKeyMessage(void* window, TUInt32 message, TUInt32 virtualKey) override
    {
        PostMessageW(static_cast<HWND>(window), message, virtualKey, 0);
    }
    TUTF8String TemporaryFileName() override
    {
        wchar_t* name = _wtempnam(nullptr, L"");
        if (name == nullptr)
        {
            return TUTF8String();
        }
        const TUTF8String path = OSMakeUTF8StringFromOSString(name);
        std::free(name);
        return path;
    }

private:
    GCFRef<CFStringRef> mDisplayNameKey;
};
} // namespace

PanelHost& DefaultPanelHost()
{
    static GPluginPanelHost sHost;
    return sHost;
}
